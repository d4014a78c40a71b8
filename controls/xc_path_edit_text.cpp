#include "controls/xc_path_edit_text.h"

#include "controls/xc_file_utils.h"
#include "controls/xrl/xrl_file_utils.h"
#include "platform/system/streams.h"

const TXcPathProbe& FileSystemProbe() {
  static const TXcPathProbe probe{IsExistingFile, IsExistingDirectory, LongPathOf, ShortPathOf};
  return probe;
}

std::string NormalizeFileName(const std::string& text, bool addQuotes, const TXcPathProbe& probe) {
  if (probe.IsFile(text)) return text;
  if (probe.IsFolder(text)) return IncludeTrailingPathDelimiter(text);
  if (!addQuotes || text.empty() || text[0] != '"') return text;
  // A quoted name loses its quotes; it may name what exists too.
  std::string token = CommandLineParam(text, 0);
  if (!token.empty() && probe.IsFolder(token) && !probe.IsFile(token)) return IncludeTrailingPathDelimiter(token);
  return token;
}

std::string FileNameText(const std::string& name, bool addQuotes) {
  if (addQuotes && name.find(' ') != std::string::npos && (name.empty() || name[0] != '"')) return '"' + name + '"';
  return name;
}

std::string CutAtLineBreak(const std::string& text, bool& cut) {
  // At the first line break of either kind: a text from the clipboard may end its lines with CR LF,
  // and a carriage return left in a name names no file.
  size_t at = text.find_first_of("\r\n");
  cut = at != std::string::npos;
  return cut ? text.substr(0, at) : text;
}

std::string DroppedFolder(const std::string& path, const TXcPathProbe& probe) {
  std::string folder = probe.IsFile(path) ? ExtractFilePath(path) : path;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

std::string AddFolderToList(const std::string& text, const std::string& folder, bool multipleDirs) {
  if (multipleDirs && !text.empty()) return text + ";" + folder;
  return folder;
}

std::string ConvertFolderList(const std::string& text, bool multipleDirs,
                              const std::function<std::string(const std::string&)>& convert) {
  if (!multipleDirs) return convert(text);
  std::string out;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(';', start);
    if (end == std::string::npos) end = text.size();
    std::string converted = convert(text.substr(start, end - start));
    if (!converted.empty()) {
      if (!out.empty()) out += ';';
      out += converted;
    }
    start = end + 1;
  }
  return out;
}

std::string FolderDialogStart(const std::string& path, const std::string& initialDir, const TXcPathProbe& probe) {
  std::string dir = path.empty() ? initialDir : path;
  if (dir.empty() || !probe.IsFolder(dir)) return "/";
  return dir;
}
