// The control library's routines that take typed text: number cleaning under both separator pairs,
// command lines, replacing, tokens, range comparison with any start and count, file-name checks and
// fitting a text to a width. The first eight bytes give a start index and a count; the rest is split
// at 0x01 bytes into the text, a search text and a replacement. Nothing may crash, hang or read
// outside a string, and every output stays bounded by its input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "controls/xc_file_utils.h"
#include "controls/xc_text_utils.h"
#include "controls/xrl/xrl_strings.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

int32_t Int32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return static_cast<int32_t>(v);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 8) return 0;
  const int32_t start = Int32(data), count = Int32(data + 4);
  std::string rest(reinterpret_cast<const char*>(data + 8), size - 8);
  std::string parts[3];
  size_t at = 0;
  for (int i = 0; i < 3; ++i) {
    size_t cut = i < 2 ? rest.find('\x01', at) : std::string::npos;
    parts[i] = rest.substr(at, cut == std::string::npos ? std::string::npos : cut - at);
    if (cut == std::string::npos) break;
    at = cut + 1;
  }
  const std::string& text = parts[0];
  const std::string& search = parts[1];
  const std::string& replacement = parts[2];

  for (auto [d, t] : {std::pair{',', '.'}, std::pair{'.', ','}}) {
    std::string clean = CleanNumberText(text, d, t);
    Check(clean.size() <= std::max<size_t>(text.size(), 2));
  }

  std::string program, arguments;
  SplitProgramAndArguments(rest, program, arguments);
  Check(program.size() <= rest.size());
  // Each argument may gain its two quotes and a blank between.
  Check(arguments.size() <= 4 * rest.size() + 4);
  int32_t n = CountCommandLineParams(rest);
  Check(n >= 0 && static_cast<size_t>(n) <= rest.size());
  Check(CommandLineParam(rest, count % 64).size() <= rest.size());

  // (The output of a long text full of matches with a long replacement is that long: skipped.)
  if (search.empty() || (text.size() / search.size()) * replacement.size() < (size_t{1} << 24)) {
    std::string replaced = ReplaceAllText(text, search, replacement);
    if (!search.empty()) Check(replaced.size() <= text.size() + (text.size() / search.size()) * replacement.size());
    else Check(replaced == text);
  }

  int32_t pos = start;
  TCharSet delims = CharSetOf(search);
  for (int i = 0; i < 1000; ++i) {
    int32_t before = pos;
    std::string token = NextToken(text, pos, delims);
    Check(token.size() <= text.size());
    Check(pos >= 1 && static_cast<size_t>(pos) <= text.size() + 1);
    if (pos == before || static_cast<size_t>(pos) > text.size()) break;
  }

  int32_t compared = CompareRange(text, search, start, (count & 1) != 0, count);
  Check(compared >= -255 && compared <= 255);
  EnsureNoSuffix(search, text);

  IsValidFileName(text);
  // Fitting measures the text once per character it drops: captions, not books.
  const std::string caption = text.substr(0, 4096);
  std::string fitted = TruncateTextToWidth(caption, [](const std::string& s) { return static_cast<int32_t>(s.size()); },
                                           static_cast<int32_t>(count % 4096));
  Check(fitted.size() <= caption.size() + 3);
  return 0;
}
