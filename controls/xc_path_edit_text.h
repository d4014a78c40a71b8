#pragma once
// The text handling of the file and folder edits, as pure functions of the text and of what the
// file system says (a probe that tests replace): the file name read from the edit, the text shown
// for a name, the cutting of pasted lines, dropped names and the folder edit's ";" lists.
#include <functional>
#include <string>

// What the edits ask of the file system.
struct TXcPathProbe {
  std::function<bool(const std::string& path)> IsFile;
  std::function<bool(const std::string& path)> IsFolder;
  // The long (and short) form of a path's components (LongPathOf, ShortPathOf).
  std::function<std::string(const std::string& path)> LongPath;
  std::function<std::string(const std::string& path)> ShortPath;
};
// The real file system's answers.
const TXcPathProbe& FileSystemProbe();

// The file name a text stands for: an existing file as it is, an existing folder with a trailing
// "/", a text in double quotes (with AddQuotes) as its first quoted token, any other text as typed
// (a name with blanks that does not exist yet stays whole).
std::string NormalizeFileName(const std::string& text, bool addQuotes, const TXcPathProbe& probe);
// The text shown for a name: in double quotes, with AddQuotes, when it holds a blank and does not
// start with a double quote.
std::string FileNameText(const std::string& name, bool addQuotes);
// The text cut before its first line break (a line feed or a carriage return); cut tells whether
// there was one.
std::string CutAtLineBreak(const std::string& text, bool& cut);

// A path dropped on a folder edit: an existing file gives its folder; either loses a trailing "/"
// (the root stays "/").
std::string DroppedFolder(const std::string& path, const TXcPathProbe& probe);
// The folder edit's text after a folder is added: appended after ";" when the edit holds several
// folders and has text, else the folder alone.
std::string AddFolderToList(const std::string& text, const std::string& folder, bool multipleDirs);
// Each ";"-separated entry (or the whole text with multipleDirs off) converted, and the non-empty
// results joined with ";".
std::string ConvertFolderList(const std::string& text, bool multipleDirs,
                              const std::function<std::string(const std::string&)>& convert);
// Where the folder dialog starts: the path, else the initial folder, else "/"; a path that is no
// existing folder starts at "/".
std::string FolderDialogStart(const std::string& path, const std::string& initialDir, const TXcPathProbe& probe);
