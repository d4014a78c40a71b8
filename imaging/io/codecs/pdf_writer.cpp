// PDF 1.4 documents of one image per page.
#include <ctime>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_geometry.h"
#include "imaging/core/ie_ps_encoders.h"
#include "imaging/core/ie_streams.h"
#include "imaging/io/codecs/ps_pdf_codec.h"
#include "imaging/io/io_params.h"
#include "platform/system/streams.h"

namespace {

template <class T, class... Args>
std::unique_ptr<T> Make(Args&&... args) {
  return std::make_unique<T>(std::forward<Args>(args)...);
}

std::unique_ptr<TIEPDFNumericObject> Number(double v) { return Make<TIEPDFNumericObject>(v); }
std::unique_ptr<TIEPDFNameObject> Name(const char* n) { return Make<TIEPDFNameObject>(n); }

// Lists Object in the document, which keeps it until the file is written.
template <class T>
T* List(TIEPDFDocument& doc, std::unique_ptr<T> object) {
  T* raw = object.get();
  AddPDFObject(doc.Objects, raw);
  doc.Owned.push_back(std::move(object));
  return raw;
}

template <class T>
T* Keep(TIEPDFDocument& doc, std::unique_ptr<T> object) {
  T* raw = object.get();
  doc.Owned.push_back(std::move(object));
  return raw;
}

// The image stream of a bilevel page.
std::unique_ptr<TIEPDFStreamObject> BilevelImage(TIEBitmap& bitmap, TIOParamsVals& params,
                                                 TIEProgressRecord& progress) {
  auto image = Make<TIEPDFStreamObject>();
  auto& dict = *image->Dictionary;
  const int32_t width = bitmap.Width(), height = bitmap.Height();
  if (params.PdfCompression == 4) params.PdfCompression = 3;
  switch (params.PdfCompression) {
    case 1: {
      const std::vector<uint8_t> rows = PackedBilevelRows(bitmap, progress);
      image->Data.resize(static_cast<size_t>(RunLengthEncodedSizeBound(static_cast<int64_t>(rows.size()))));
      image->Data.resize(static_cast<size_t>(
          RunLengthEncode(rows.data(), CodedBlockCount(rows.size()), image->Data.data())));
      auto filter = Make<TIEPDFArrayObject>();
      filter->Add(Name("RunLengthDecode"));
      dict.Add("Filter", std::move(filter));
      break;
    }
    case 2:
    case 3: {
      const bool g4 = params.PdfCompression == 2;
      image->Data = CCITTCodedRows(bitmap, g4, progress);
      dict.Add("Filter", Name("CCITTFaxDecode"));
      auto parms = Make<TIEPDFDictionaryObject>();
      parms->Add("K", Number(g4 ? -1 : 1));
      parms->Add("BlackIs1", Make<TIEPDFBooleanObject>(true));
      parms->Add("Columns", Number(width));
      parms->Add("Rows", Number(height));
      parms->Add("EndOfLine", Make<TIEPDFBooleanObject>(false));
      parms->Add("Uncompressed", Make<TIEPDFBooleanObject>(true));
      parms->Add("EncodedByteAlign", Make<TIEPDFBooleanObject>(false));
      parms->Add("EndOfBlock", Make<TIEPDFBooleanObject>(false));
      dict.Add("DecodeParms", std::move(parms));
      break;
    }
    case 5:
      if (params.TiffLZWCompressor) {
        TMemoryStream out;
        void* state = nullptr;
        const int32_t rowBytes = (width + 7) / 8;
        for (int32_t y = 0; y < height && !progress.IsAborting(); ++y) {
          params.TiffLZWCompressor(static_cast<const uint8_t*>(bitmap.GetRow(y)), rowBytes, out, state);
          progress.Report(static_cast<int32_t>(int64_t{y} * 100 / height));
        }
        params.TiffLZWCompressor(nullptr, 0, out, state);
        image->Data = MemoryStreamBytes(out);
        dict.Add("Filter", Name("LZWDecode"));
        break;
      }
      [[fallthrough]];
    default:
      // 0, and what cannot be coded: the rows as they are.
      image->Data = PackedBilevelRows(bitmap, progress);
  }
  dict.Add("ColorSpace", Name("DeviceGray"));
  dict.Add("BitsPerComponent", Number(1));
  return image;
}

// Row Y of an ie24RGB bitmap in R, G, B order.
void RGBRow(TIEBitmap& bitmap, int32_t y, std::vector<uint8_t>& row) {
  const auto* bgr = static_cast<const uint8_t*>(bitmap.GetRow(y));
  const size_t width = static_cast<size_t>(bitmap.Width());
  row.resize(width * 3);
  for (size_t x = 0; x < width; ++x) {
    row[x * 3] = bgr[x * 3 + 2];
    row[x * 3 + 1] = bgr[x * 3 + 1];
    row[x * 3 + 2] = bgr[x * 3];
  }
}

// The image stream of a colour page.
std::unique_ptr<TIEPDFStreamObject> ColourImage(TIEBitmap& bitmap, TIOParamsVals& params,
                                                TIEProgressRecord& progress) {
  auto image = Make<TIEPDFStreamObject>();
  auto& dict = *image->Dictionary;
  const int32_t height = bitmap.Height();
  std::vector<uint8_t> row;
  const char* colorSpace = "DeviceRGB";
  if (params.PdfCompression == 5 && params.TiffLZWCompressor) {
    TMemoryStream out;
    void* state = nullptr;
    for (int32_t y = 0; y < height && !progress.IsAborting(); ++y) {
      RGBRow(bitmap, y, row);
      params.TiffLZWCompressor(row.data(), static_cast<int32_t>(row.size()), out, state);
      progress.Report(static_cast<int32_t>(int64_t{y} * 100 / height));
    }
    params.TiffLZWCompressor(nullptr, 0, out, state);
    image->Data = MemoryStreamBytes(out);
    dict.Add("Filter", Name("LZWDecode"));
  } else if (params.PdfCompression == 4) {
    bool grey = false;
    image->Data = JpegCodedPage(bitmap, params, progress, grey);
    dict.Add("Filter", Name("DCTDecode"));
    if (grey) colorSpace = "DeviceGray";
  } else {
    image->Data.reserve(static_cast<size_t>(bitmap.Width()) * 3 * static_cast<size_t>(height));
    for (int32_t y = 0; y < height; ++y) {
      RGBRow(bitmap, y, row);
      image->Data.insert(image->Data.end(), row.begin(), row.end());
      progress.Report(static_cast<int32_t>(int64_t{y} * 100 / height));
    }
  }
  dict.Add("ColorSpace", Name(colorSpace));
  dict.Add("BitsPerComponent", Number(8));
  return image;
}

std::string LocalTimeStamp() {
  const std::time_t now = std::time(nullptr);
  std::tm t{};
  localtime_r(&now, &t);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y%m%d%H%M%S", &t);
  return buf;
}

}  // namespace

std::unique_ptr<TIEPDFDocument> PDFBeginDocument() {
  auto doc = std::make_unique<TIEPDFDocument>();
  doc->Catalog = Keep(*doc, CreatePDFCatalog(doc->Objects));
  auto resources = Make<TIEPDFDictionaryObject>();
  auto procSet = Make<TIEPDFArrayObject>();
  procSet->Add(Name("PDF"));
  procSet->Add(Name("ImageB"));
  resources->Add("ProcSet", std::move(procSet));
  resources->Add("XObject", Make<TIEPDFDictionaryObject>());
  doc->Resources = List(*doc, std::move(resources));
  return doc;
}

void PDFAddImagePage(TIEPDFDocument& Document, TIEBitmap& Bitmap, TIOParamsVals& Params,
                     TIEProgressRecord& Progress) {
  const int32_t paperW = Params.PdfPaperWidth, paperH = Params.PdfPaperHeight;
  if (paperW < 1 || paperW > kMaxPaperSide || paperH < 1 || paperH > kMaxPaperSide) {
    Progress.Abort();
    return;
  }
  std::unique_ptr<TIEBitmap> copy;
  TIEBitmap* page = PageBitmap(Bitmap, copy, Params, Progress);
  if (!page) return;
  const bool bilevel = page->PixelFormat() == ie1g;
  const int32_t width = page->Width(), height = page->Height();

  std::unique_ptr<TIEPDFStreamObject> image =
      bilevel ? BilevelImage(*page, Params, Progress) : ColourImage(*page, Params, Progress);
  if (Progress.IsAborting()) return;
  auto& dict = *image->Dictionary;
  dict.Insert(0, "Type", Name("XObject"));
  dict.Insert(1, "Subtype", Name("Image"));
  dict.Add("Width", Number(width));
  dict.Add("Height", Number(height));
  TIEPDFStreamObject* listed = List(Document, std::move(image));
  Document.Images.push_back(listed);
  const size_t k = Document.Images.size();

  int32_t fitW = 0, fitH = 0;
  ScaleToFit(width, height, paperW, paperH, fitW, fitH);
  const std::string content = "q\n" + std::to_string(fitW) + " 0 0 " + std::to_string(fitH) + " 0 " +
                              std::to_string(paperH - fitH) + " cm\n/lm" + std::to_string(k) + " Do\nQ";
  TIEPDFStreamObject* contents = List(Document, Make<TIEPDFStreamObject>(content.data(), content.size()));
  Document.Contents.push_back(contents);

  static_cast<TIEPDFDictionaryObject*>(Document.Resources->Find("XObject"))
      ->Add("lm" + std::to_string(k), Make<TIEPDFRefObject>(listed->ObjectNumber, 0));

  auto mediaBox = Make<TIEPDFArrayObject>();
  mediaBox->Add(Number(0));
  mediaBox->Add(Number(0));
  mediaBox->Add(Number(paperW));
  mediaBox->Add(Number(paperH));
  Keep(Document, CreatePDFPage(Document.Objects, Document.Pages, Document.Resources, contents->ObjectNumber,
                               std::move(mediaBox)));
}

void PDFEndDocument(std::unique_ptr<TIEPDFDocument>& Document, TStream& Stream, TIOParamsVals& Params,
                    TIEProgressRecord& Progress) {
  if (!Document) return;
  std::unique_ptr<TIEPDFDocument> doc = std::move(Document);
  Keep(*doc, CreatePDFPages(doc->Objects, doc->Pages));
  auto info = Make<TIEPDFDictionaryObject>();
  const std::pair<const char*, const std::string*> fields[] = {
      {"Title", &Params.PdfTitle},      {"Author", &Params.PdfAuthor},   {"Subject", &Params.PdfSubject},
      {"Keywords", &Params.PdfKeywords}, {"Creator", &Params.PdfCreator}, {"Producer", &Params.PdfProducer}};
  for (const auto& [key, value] : fields)
    if (!value->empty()) info->Add(key, Make<TIEPDFStringObject>(*value));
  info->Add("CreationDate", Make<TIEPDFStringObject>("D:" + LocalTimeStamp()));
  TIEPDFDictionaryObject* listedInfo = List(*doc, std::move(info));
  WritePDFHeader(Stream);
  WritePDFObjects(Stream, doc->Objects);
  if (!WritePDFXrefTrailer(Stream, doc->Objects, *listedInfo)) Progress.Abort();
}

void WritePDFStream(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress) {
  std::unique_ptr<TIEPDFDocument> doc = PDFBeginDocument();
  PDFAddImagePage(*doc, Bitmap, Params, Progress);
  if (Progress.IsAborting()) return;
  PDFEndDocument(doc, Stream, Params, Progress);
}
