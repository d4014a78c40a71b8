#include "controls/xc_text_utils.h"

#include "platform/gdi/graphics.h"
#include "platform/system/locale_info.h"
#include "platform/ui/string_list.h"

TCharSet CharSetOf(std::string_view chars) {
  TCharSet set;
  for (char c : chars) set.set(static_cast<unsigned char>(c));
  return set;
}

std::string ReplaceAllText(const std::string& text, const std::string& search, const std::string& replacement) {
  // An empty search would match everywhere without moving on.
  if (search.empty()) return text;
  std::string result;
  size_t from = 0;
  while (true) {
    size_t at = text.find(search, from);
    if (at == std::string::npos) break;
    result.append(text, from, at - from);
    result += replacement;
    from = at + search.size();
  }
  result.append(text, from, std::string::npos);
  return result;
}

std::string RemoveChar(const std::string& text, char c) {
  std::string result;
  result.reserve(text.size());
  for (char x : text)
    if (x != c) result += x;
  return result;
}

std::string TrimLeadingSpaces(const std::string& text) {
  size_t i = text.find_first_not_of(' ');
  return i == std::string::npos ? std::string() : text.substr(i);
}

std::string TrimTrailingSpaces(const std::string& text) {
  size_t i = text.find_last_not_of(' ');
  return i == std::string::npos ? std::string() : text.substr(0, i + 1);
}

std::string TrimSpaces(const std::string& text) { return TrimTrailingSpaces(TrimLeadingSpaces(text)); }

std::string RepeatChar(char c, int32_t count) {
  return count <= 0 ? std::string() : std::string(static_cast<size_t>(count), c);
}

bool IsCharInSet(char c, const TCharSet& set) { return set.test(static_cast<unsigned char>(c)); }

std::string NextToken(const std::string& text, int32_t& position, const TCharSet& delimiters) {
  if (position < 1) position = 1;
  size_t start = static_cast<size_t>(position) - 1;
  if (start >= text.size()) {
    position = static_cast<int32_t>(text.size()) + 1;
    return std::string();
  }
  size_t end = start;
  while (end < text.size() && !IsCharInSet(text[end], delimiters)) ++end;
  // The delimiter stands at position end + 1: past it, or past the end.
  position = static_cast<int32_t>(end < text.size() ? end + 2 : text.size() + 1);
  return text.substr(start, end - start);
}

bool ContainsAnyChar(const std::string& text, const std::string& chars) {
  return !chars.empty() && text.find_first_of(chars) != std::string::npos;
}

std::string CleanNumberText(const std::string& text, char d, char t) {
  std::string s = TrimSpaces(text);
  if (d != t) s = RemoveChar(s, t);
  if (d != '.' && t != '.') s = ReplaceAllText(s, ".", std::string(1, d));
  if (d != ',' && t != ',') s = ReplaceAllText(s, ",", std::string(1, d));
  std::string kept;
  for (char c : s)
    if (c == '+' || c == '-' || (c >= '0' && c <= '9') || c == d || c == t) kept += c;
  if (kept.empty()) return "0";
  if (kept == "-") return "-0";
  return kept;
}

std::string CleanNumberText(const std::string& text) {
  return CleanNumberText(text, DecimalSeparator(), ThousandSeparator());
}

void DeleteBlankLines(TStrings* list) {
  if (!list) return;
  list->BeginUpdate();
  try {
    for (int i = list->Count() - 1; i >= 0; --i) {
      std::string line = list->Get(i);
      bool blank = true;
      for (char c : line)
        if (static_cast<unsigned char>(c) > 32) {
          blank = false;
          break;
        }
      if (blank) list->Delete(i);
    }
  } catch (...) {
    list->EndUpdate();
    throw;
  }
  list->EndUpdate();
}

size_t Utf8Length(std::string_view text) {
  size_t n = 0;
  for (char c : text)
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
  return n;
}

std::string Utf8Prefix(std::string_view text, size_t count) {
  size_t chars = 0, i = 0;
  for (; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
      if (chars == count) break;
      ++chars;
    }
  }
  return std::string(text.substr(0, i));
}

std::string TruncateTextToWidth(const std::string& text, const std::function<int32_t(const std::string&)>& measure,
                                int32_t width) {
  std::string result = text;
  const int64_t length = static_cast<int64_t>(Utf8Length(text));
  int64_t i = 1;
  while (measure(result) > width && i <= length) {
    ++i;
    int64_t keep = length - i;
    result = (keep > 0 ? Utf8Prefix(text, static_cast<size_t>(keep)) : std::string()) + "...";
  }
  return result;
}

std::string TruncateTextToWidth(const std::string& text, TCanvas* canvas, int32_t width) {
  if (!canvas) return text;
  return TruncateTextToWidth(text, [canvas](const std::string& s) { return canvas->TextWidth(s); }, width);
}

std::string ShortenPathToWidth(const std::string& text, TCanvas* canvas, int32_t width) {
  if (!canvas) return text;
  std::string shortened = text;
  TRect r = Rect(0, 0, width, canvas->TextHeight("Wq"));
  // DT_SINGLELINE, DT_NOPREFIX, DT_CALCRECT, DT_PATH_ELLIPSIS and DT_MODIFYSTRING.
  constexpr uint32_t kFormat = 0x14C20;
  if (DrawText(canvas->Handle(), shortened, &r, kFormat) == 0) return text;
  return shortened;
}
