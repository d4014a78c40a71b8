#pragma once
// The PostScript Level 2 and PDF 1.4 writers: documents of one image per page, each image scaled
// to fit the paper and placed at its top left. A document is begun, given pages and ended; the
// one-page stream writers do the three steps at once.
//
// Pages take ie24RGB and ie1g bitmaps as they are; any other bitmap is written through an ie24RGB
// copy. ie1g rows (1 = white) go to the fax coders unchanged, with /BlackIs1 true.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "imaging/core/ie_progress.h"
#include "imaging/io/codecs/pdf_objects.h"

class TIEBitmap;
class TIOParamsVals;
class TMemoryStream;
class TStream;

// ---- PostScript (lines end CR LF) ----

struct TIEPSDocument {
  int64_t PagesPosition = 0;     // the "%%Pages: " line
  int64_t NextPagePosition = 0;  // where the next page (or the trailer) goes
  int32_t PageCount = 0;
};

// Writes the header (PsTitle, PsPaperWidth x PsPaperHeight). Nil, with the abort flag set, for a
// paper side outside 1..14400 points.
std::unique_ptr<TIEPSDocument> PSBeginDocument(TStream& Stream, TIOParamsVals& Params,
                                               TIEProgressRecord& Progress);
// One page (PsCompression: 0 run-length, 1 CCITT G4, 2 CCITT G3 2-D, 3 JPEG; bilevel pages take
// 3 as G3 2-D and values above 3 as run-length, colour pages anything but 3 as run-length).
void PSAddPage(TIEPSDocument& Document, TStream& Stream, TIEBitmap& Bitmap, TIEProgressRecord& Progress,
               TIOParamsVals& Params);
// The trailer; frees the document. Nil does nothing.
void PSEndDocument(std::unique_ptr<TIEPSDocument>& Document, TStream& Stream);
void WritePSStream(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress);

// The "%%CreationDate: " value for a time: "ddd mmm dd hh:nn:ss yyyy" with English names.
std::string PSCreationDate(int64_t UnixSeconds);
// The "%%Title: " value: the title as it is when every byte is 32..126, else a DSC string "(...)"
// with the other bytes and ( ) \ as \ooo escapes.
std::string PSTitleText(const std::string& Title);

// ---- PDF (lines end LF) ----

struct TIEPDFDocument {
  TIEPDFObjectList Objects;                      // every indirect object, in numbering order
  std::vector<TIEPDFDictionaryObject*> Pages;    // the page dictionaries
  std::vector<TIEPDFStreamObject*> Images;       // the image streams
  std::vector<TIEPDFStreamObject*> Contents;     // the page content streams
  TIEPDFDictionaryObject* Resources = nullptr;   // shared by all pages
  TIEPDFDictionaryObject* Catalog = nullptr;
  std::vector<std::unique_ptr<TIEPDFObject>> Owned;  // the listed objects
};

std::unique_ptr<TIEPDFDocument> PDFBeginDocument();
// One page (PdfCompression: 0 none, 1 run-length, 2 CCITT G4, 3 CCITT G3 2-D, 4 JPEG, 5 LZW). A
// bilevel page takes 4 as 3 (the record then holds 3); bilevel values above 5, 5 without an LZW
// coder and colour values other than 4 and 5 store the rows uncompressed. A paper side outside
// 1..14400 points sets the abort flag and adds nothing.
void PDFAddImagePage(TIEPDFDocument& Document, TIEBitmap& Bitmap, TIOParamsVals& Params,
                     TIEProgressRecord& Progress);
// Writes the whole file and frees the document; nil does nothing. Sets the abort flag when the
// file grows past what the cross-reference table can address.
void PDFEndDocument(std::unique_ptr<TIEPDFDocument>& Document, TStream& Stream, TIOParamsVals& Params,
                    TIEProgressRecord& Progress);
void WritePDFStream(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress);

// ---- shared by both writers ----

// The largest paper side, in points (200 inches, PDF's own page limit).
constexpr int32_t kMaxPaperSide = 14400;
// The bitmap a page shows: Bitmap itself when it is ie24RGB or ie1g, else an ie24RGB copy kept in
// Copy. Sets the record's BitsPerSample and SamplesPerPixel (1 and 1, or 8 and 3) and the progress
// per row. Nil, with the abort flag set, for an empty bitmap or when no copy can be had.
TIEBitmap* PageBitmap(TIEBitmap& Bitmap, std::unique_ptr<TIEBitmap>& Copy, TIOParamsVals& Params,
                      TIEProgressRecord& Progress);
// The bilevel rows from the top, (width + 7) div 8 bytes each.
std::vector<uint8_t> PackedBilevelRows(TIEBitmap& Bitmap, TIEProgressRecord& Progress);
// The bilevel rows through the G4 (G4 true) or G3 2-D fax coder, a closing call after the last.
// Sets the abort flag when the coder fails.
std::vector<uint8_t> CCITTCodedRows(TIEBitmap& Bitmap, bool G4, TIEProgressRecord& Progress);
// The bitmap as a JPEG with the record's options; CMYK and YCCK colour spaces are written as YCbCr
// (what a three- or one-component image operator reads). Grey tells whether it has one component.
std::vector<uint8_t> JpegCodedPage(TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress,
                                   bool& Grey);
// Count as the int32 the block coders take; raises Exception "Page data too large" for a block they
// cannot code in one piece (a page of more than 1 GiB of data).
int32_t CodedBlockCount(size_t Count);
// The bytes a memory stream holds.
std::vector<uint8_t> MemoryStreamBytes(TMemoryStream& Stream);
