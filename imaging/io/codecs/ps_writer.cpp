// PostScript Level 2 documents with DSC comments, one image per page.
#include <cstdio>
#include <ctime>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_geometry.h"
#include "imaging/core/ie_ps_encoders.h"
#include "imaging/core/ie_streams.h"
#include "imaging/io/codecs/ps_pdf_codec.h"
#include "imaging/io/io_params.h"
#include "platform/system/streams.h"

namespace {

// Appends Count bytes as ASCII85 text (closed by "~>" CR LF).
void AppendASCII85(std::string& out, const uint8_t* data, size_t count) {
  const size_t start = out.size();
  out.resize(start + static_cast<size_t>(ASCII85EncodedSizeBound(static_cast<int64_t>(count))));
  const uint8_t* src = data;
  char* dst = out.data() + start;
  int32_t column = 0;
  const int32_t n = ASCII85Encode(src, CodedBlockCount(count), dst, column);
  out.resize(start + static_cast<size_t>(n));
}

// Appends Count bytes run-length coded, then as ASCII85 text.
void AppendRunLengthASCII85(std::string& out, const uint8_t* data, size_t count, std::vector<uint8_t>& code) {
  code.resize(static_cast<size_t>(RunLengthEncodedSizeBound(static_cast<int64_t>(count))));
  const int32_t n = RunLengthEncode(data, CodedBlockCount(count), code.data());
  AppendASCII85(out, code.data(), static_cast<size_t>(n));
}

void Line(std::string& out, const std::string& text) { out += text + "\r\n"; }

// The "%%Pages: " line with the count left-aligned in a field of six.
std::string PagesLine(int32_t count) {
  std::string field = std::to_string(count);
  if (field.size() < 6) field.append(6 - field.size(), ' ');
  return "%%Pages: " + field;
}

std::string BeginData(size_t n) { return "%%BeginData:      " + std::to_string(n) + " ASCII Bytes"; }

}  // namespace

std::string PSCreationDate(int64_t UnixSeconds) {
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const auto t = static_cast<std::time_t>(UnixSeconds);
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s %s %02d %02d:%02d:%02d %04d", kDays[tm.tm_wday % 7], kMonths[tm.tm_mon % 12],
                tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, tm.tm_year + 1900);
  return buf;
}

std::string PSTitleText(const std::string& Title) {
  bool plain = true;
  for (char c : Title)
    if (static_cast<uint8_t>(c) < 32 || static_cast<uint8_t>(c) > 126) plain = false;
  if (plain) return Title;
  std::string out = "(";
  for (char c : Title) {
    const auto b = static_cast<uint8_t>(c);
    if (b < 32 || b > 126 || c == '(' || c == ')' || c == '\\') {
      char buf[5];
      std::snprintf(buf, sizeof buf, "\\%03o", b);
      out += buf;
    } else {
      out += c;
    }
  }
  return out + ")";
}

std::unique_ptr<TIEPSDocument> PSBeginDocument(TStream& Stream, TIOParamsVals& Params,
                                               TIEProgressRecord& Progress) {
  const int32_t paperW = Params.PsPaperWidth, paperH = Params.PsPaperHeight;
  if (paperW < 1 || paperW > kMaxPaperSide || paperH < 1 || paperH > kMaxPaperSide) {
    Progress.Abort();
    return nullptr;
  }
  auto doc = std::make_unique<TIEPSDocument>();
  StreamWriteLineCRLF(Stream, "%!PS-Adobe-3.0");
  StreamWriteLineCRLF(Stream, "%%Creator: ZodazUr by ViDudazuvaza");
  StreamWriteLineCRLF(Stream, "%%Title: " + PSTitleText(Params.PsTitle));
  StreamWriteLineCRLF(Stream, "%%CreationDate: " + PSCreationDate(std::time(nullptr)));
  StreamWriteLineCRLF(Stream, "%%DocumentData: Clean7Bit");
  StreamWriteLineCRLF(Stream, "%%LanguageLevel: 2");
  doc->PagesPosition = Stream.Position();
  StreamWriteLineCRLF(Stream, PagesLine(0));
  StreamWriteLineCRLF(Stream,
                      "%%BoundingBox: 0 0 " + std::to_string(paperW - 1) + " " + std::to_string(paperH - 1));
  StreamWriteLineCRLF(Stream, "%%EndComments");
  doc->NextPagePosition = Stream.Position();
  return doc;
}

void PSAddPage(TIEPSDocument& Document, TStream& Stream, TIEBitmap& Bitmap, TIEProgressRecord& Progress,
               TIOParamsVals& Params) {
  if (Progress.IsAborting()) return;
  std::unique_ptr<TIEBitmap> copy;
  TIEBitmap* page = PageBitmap(Bitmap, copy, Params, Progress);
  if (!page) return;
  const bool bilevel = page->PixelFormat() == ie1g;
  const int32_t width = page->Width(), height = page->Height();
  const std::string w = std::to_string(width), h = std::to_string(height);

  // The pixel data and the operator lines that read it.
  std::string data, ops;
  std::vector<uint8_t> code;
  const uint8_t compression = Params.PsCompression;
  if (!bilevel && compression == 3) {
    bool grey = false;
    const std::vector<uint8_t> jpeg = JpegCodedPage(*page, Params, Progress, grey);
    AppendASCII85(data, jpeg.data(), jpeg.size());
    Line(ops, "currentfile /ASCII85Decode filter << >> /DCTDecode filter");
    Line(ops, grey ? "false 1" : "false 3");
    Line(ops, BeginData(data.size()));
    Line(ops, "colorimage");
  } else if (!bilevel) {
    std::vector<uint8_t> channel(static_cast<size_t>(width));
    data.reserve(static_cast<size_t>(width) * 3 * static_cast<size_t>(height));
    for (int32_t y = 0; y < height && !Progress.IsAborting(); ++y) {
      const auto* bgr = static_cast<const uint8_t*>(page->GetRow(y));
      for (int c = 2; c >= 0; --c) {  // red, green, blue
        for (int32_t x = 0; x < width; ++x) channel[static_cast<size_t>(x)] = bgr[x * 3 + c];
        AppendRunLengthASCII85(data, channel.data(), channel.size(), code);
      }
      Progress.Report(static_cast<int32_t>(int64_t{y} * 100 / height));
    }
    for (const char* s : {"rstr", "gstr", "bstr"}) Line(ops, std::string("/") + s + " " + w + " string def");
    for (const char* s : {"rstr", "gstr", "bstr"})
      Line(ops, std::string("{currentfile /ASCII85Decode filter /RunLengthDecode filter ") + s + " readstring pop}");
    Line(ops, "true 3");
    Line(ops, BeginData(data.size()));
    Line(ops, "colorimage");
  } else if (compression >= 1 && compression <= 3) {
    const bool g4 = compression == 1;
    const std::vector<uint8_t> fax = CCITTCodedRows(*page, g4, Progress);
    AppendASCII85(data, fax.data(), fax.size());
    Line(ops, std::string("currentfile /ASCII85Decode filter << /K ") + (g4 ? "-1" : "1") +
                  " /BlackIs1 true /Columns " + w + " /Rows " + h +
                  " /EndOfLine false /Uncompressed true /EncodedByteAlign false /EndOfBlock false >>"
                  " /CCITTFaxDecode filter");
    Line(ops, BeginData(data.size()));
    Line(ops, "image");
  } else {
    const std::vector<uint8_t> rows = PackedBilevelRows(*page, Progress);
    AppendRunLengthASCII85(data, rows.data(), rows.size(), code);
    Line(ops, "currentfile /ASCII85Decode filter /RunLengthDecode filter");
    Line(ops, BeginData(data.size()));
    Line(ops, "image");
  }
  if (Progress.IsAborting()) return;

  const int32_t n = Document.PageCount + 1;
  int32_t fitW = 0, fitH = 0;
  ScaleToFit(width, height, Params.PsPaperWidth, Params.PsPaperHeight, fitW, fitH);
  std::string head;
  Line(head, "%%Page: " + std::to_string(n) + " " + std::to_string(n));
  Line(head, "0 " + std::to_string(Params.PsPaperHeight) + " translate");
  Line(head, std::to_string(fitW) + " -" + std::to_string(fitH) + " scale");
  Line(head, w + " " + h + " " + std::to_string(Params.BitsPerSample));
  Line(head, "[ " + w + " 0 0 " + h + " 0 0 ]");

  Stream.SetPosition(Document.PagesPosition);
  StreamWriteLineCRLF(Stream, PagesLine(n));
  Stream.SetPosition(Document.NextPagePosition);
  StreamWriteStr(Stream, head);
  StreamWriteStr(Stream, ops);
  StreamWriteStr(Stream, data);
  StreamWriteLineCRLF(Stream, "%%EndData");
  StreamWriteLineCRLF(Stream, "showpage");
  Document.NextPagePosition = Stream.Position();
  Document.PageCount = n;
}

void PSEndDocument(std::unique_ptr<TIEPSDocument>& Document, TStream& Stream) {
  if (!Document) return;
  Stream.SetPosition(Document->NextPagePosition);
  StreamWriteLineCRLF(Stream, "%%Trailer");
  StreamWriteLineCRLF(Stream, "%%EOF");
  Document.reset();
}

void WritePSStream(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress) {
  std::unique_ptr<TIEPSDocument> doc = PSBeginDocument(Stream, Params, Progress);
  if (!doc) return;
  PSAddPage(*doc, Stream, Bitmap, Progress, Params);
  if (Progress.IsAborting()) return;
  PSEndDocument(doc, Stream);
}
