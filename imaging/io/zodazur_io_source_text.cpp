// TZodazUrIO: the image as program source text (Pascal, C, Base64) or as characters (text art).
#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>

#include "imaging/core/ie_base64.h"
#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_rgb.h"
#include "imaging/io/format_registry.h"
#include "imaging/io/zodazur_io.h"
#include "platform/system/streams.h"

namespace {

// The base name of the file made into an identifier: every character that cannot stand in one
// becomes "_", and a leading digit gets a "_" before it ("logo.png" gives "logo_png").
std::string IdentifierFromFileName(const std::string& fileName) {
  std::string name = ExtractFileName(fileName);
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') c = '_';
  if (name.empty()) return "image";
  if (std::isdigit(static_cast<unsigned char>(name[0]))) name.insert(name.begin(), '_');
  return name;
}

void AppendHex(std::string& text, uint8_t b) {
  static const char kDigits[] = "0123456789ABCDEF";
  text += kDigits[b >> 4];
  text += kDigits[b & 15];
}

// The byte list of the Pascal and C kinds: every byte but the last with its separator, lines
// written when the buffer passes 70 characters, then the last byte and the closing text.
void AppendByteList(std::string& text, const uint8_t* data, int64_t size, const char* prefix, const char* indent,
                    const char* closing) {
  std::string line;
  for (int64_t i = 0; i + 1 < size; ++i) {
    line += prefix;
    AppendHex(line, data[i]);
    line += ',';
    if (line.size() > 70) {
      text += indent + line + '\n';
      line.clear();
    }
  }
  text += indent + line;
  if (size > 0) {
    text += prefix;
    AppendHex(text, data[size - 1]);
  }
  text += closing;
  text += '\n';
}

// The characters of the text art, dark to light.
constexpr char kTextArtRamp[9] = {'W', '@', '#', '*', '+', ':', '.', ',', ' '};

}  // namespace

void TZodazUrIO::SaveToSourceText(const std::string& FileName, TIEFileFormatId Format, uint8_t Kind) {
  if (!InWorkerThread()) WaitThreads(false);
  TIEProgressRecord progress;
  FillProgressRecord(progress);
  std::string text;
  if (Kind <= 2) {
    TMemoryStream encoded;
    SaveToStreamNow(encoded, Format);
    if (Aborting() || encoded.Size() == 0) {
      IOFail(progress, "the image could not be encoded for its source text");
      return;
    }
    const auto* data = static_cast<const uint8_t*>(encoded.Memory());
    const int64_t size = encoded.Size();
    const std::string name = IdentifierFromFileName(FileName);
    const std::string sizeName = name + "_Size";
    if (Kind == 0) {
      text += "const\n";
      text += "  " + sizeName + " = " + std::to_string(size) + ";\n";
      text += "  " + name + " : array [0.." + sizeName + "-1] of byte = (\n";
      AppendByteList(text, data, size, "$", "    ", ");");
    } else if (Kind == 1) {
      text += "// Size=" + std::to_string(size) + "\n";
      AppendByteList(text, data, size, "0x", "", "");
    } else {
      encoded.Seek(0, soBeginning);
      Base64EncodeStreamToText(encoded, text, 76);
    }
  } else if (Kind == 3) {
    if (!CheckBitmap(PixelFormatSet(ie24RGB))) {
      IOFail(progress, "text art needs a 24-bit image");
      return;
    }
    TIEBitmap& bitmap = *IEBitmap();
    for (int32_t y = 0; y < bitmap.Height(); ++y) {
      const auto* row = static_cast<const TIERGB*>(bitmap.GetRow(y));
      for (int32_t x = 0; x < bitmap.Width(); ++x) {
        const int32_t grey = RGBToGray(row[x]);
        const auto index = static_cast<int32_t>(std::trunc(grey / 255.0 * 9));
        text += kTextArtRamp[std::clamp(index, 0, 8)];
      }
      text += '\n';
    }
  } else {
    IOFail(progress, "unknown kind of source text");
    return;
  }
  try {
    TSafeFileStream file(FileName);
    file.WriteBuffer(text.data(), static_cast<int32_t>(text.size()));
    file.Commit();
  } catch (const std::exception& e) {
    IOFail(progress, e.what());
    return;
  }
  Params().FileName = FileName;
}
