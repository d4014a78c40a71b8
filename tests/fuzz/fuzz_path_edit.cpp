// The file and folder edits' text rules over a fake file system: the file name read from a text
// (normalising and validation), the text shown for it, the cutting of pasted lines, dropped names
// and the folder edit's ";" lists with their long and short forms. The first byte holds the
// switches (bit 0 AddQuotes, bit 1 several folders); the rest is split at 0x01 bytes into the text,
// the names of existing files and of existing folders (each list split at 0x02). Nothing may crash
// or hang, and every output stays bounded by its input.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "controls/xc_file_utils.h"
#include "controls/xc_path_edit_text.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

std::vector<std::string> Split(const std::string& s, char at) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= s.size()) {
    size_t end = s.find(at, start);
    if (end == std::string::npos) end = s.size();
    parts.push_back(s.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

bool In(const std::vector<std::string>& names, const std::string& s) {
  return std::find(names.begin(), names.end(), s) != names.end();
}

// The long form as the file system gives it: each component that exists stays, one that does not
// becomes empty (its "/" stays).
std::string FakeLongPath(const std::vector<std::string>& files, const std::vector<std::string>& folders,
                         const std::string& path) {
  std::string out, upTo;
  std::vector<std::string> parts = Split(path, '/');
  for (size_t i = 0; i < parts.size(); ++i) {
    upTo += (i ? "/" : "") + parts[i];
    if (i) out += '/';
    if (i == 0 || In(files, upTo) || In(folders, upTo)) out += parts[i];
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const bool addQuotes = data[0] & 1, multiple = data[0] & 2;
  std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
  std::vector<std::string> parts = Split(rest, '\x01');
  const std::string text = parts[0];
  const std::vector<std::string> files = parts.size() > 1 ? Split(parts[1], '\x02') : std::vector<std::string>();
  const std::vector<std::string> folders = parts.size() > 2 ? Split(parts[2], '\x02') : std::vector<std::string>();
  TXcPathProbe probe;
  probe.IsFile = [&](const std::string& s) { return In(files, s); };
  probe.IsFolder = [&](const std::string& s) { return In(folders, s); };
  probe.LongPath = [&](const std::string& s) { return FakeLongPath(files, folders, s); };
  probe.ShortPath = probe.LongPath;

  const std::string name = NormalizeFileName(text, addQuotes, probe);
  Check(name.size() <= text.size() + 1);
  IsValidFileName(name);
  const std::string shown = FileNameText(name, addQuotes);
  Check(shown.size() <= name.size() + 2);

  bool cut = false;
  const std::string line = CutAtLineBreak(text, cut);
  Check(line.size() <= text.size());
  Check(cut == (text.find_first_of("\r\n") != std::string::npos));
  Check(line.find_first_of("\r\n") == std::string::npos);

  const std::string dropped = DroppedFolder(text, probe);
  Check(dropped.size() <= text.size());
  const std::string list = AddFolderToList(line, dropped, multiple);
  Check(list.size() <= line.size() + dropped.size() + 1);
  for (const auto& convert : {probe.LongPath, probe.ShortPath}) {
    const std::string converted = ConvertFolderList(list, multiple, convert);
    Check(converted.size() <= list.size());
  }
  const std::string start = FolderDialogStart(line, dropped, probe);
  Check(start == "/" || In(folders, start));
  return 0;
}
