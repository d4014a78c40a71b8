#include "controls/xc_file_utils.h"

#include <sys/stat.h>

namespace {

// The shell's version as the folder dialog asks for it: 6.0.
constexpr uint32_t kShellVersion = 0x00060000;

template <class NameOf>
std::string PathOf(const std::string& path, NameOf nameOf) {
  size_t first = path.find('/');
  if (first == std::string::npos) return path;
  // From the end towards the start, each component by the name of the path up to it.
  std::string result;
  size_t end = path.size();
  while (end > first) {
    size_t slash = path.rfind('/', end - 1);
    std::string component = nameOf(path.substr(0, end));
    result = "/" + component + result;
    end = slash;
  }
  return path.substr(0, first) + result;
}

// Reads one token from pos (see the header); pos ends past it.
std::string ReadToken(const std::string& line, size_t& pos) {
  auto at = [&](size_t i) { return i < line.size() ? static_cast<unsigned char>(line[i]) : 0u; };
  // A NUL ends the text, as it does a C string.
  while (at(pos) >= 1 && at(pos) <= 32) ++pos;
  while (at(pos) == '"' && at(pos + 1) == '"') pos += 2;
  std::string token;
  while (at(pos) > 32) {
    if (at(pos) == '"') {
      ++pos;
      while (at(pos) != 0 && at(pos) != '"') token += line[pos++];
      if (at(pos) == '"') ++pos;
    } else {
      token += line[pos++];
    }
  }
  return token;
}

}  // namespace

bool IsValidFileName(const std::string& name) {
  if (name.empty()) return false;
  for (char c : name)
    if (c == '<' || c == '>' || c == '"' || c == '?' || c == '*' || c == '|' || c == '\0') return false;
  return true;
}

std::string LongNameOf(const std::string& path) {
  if (path.empty() || path.back() == '/') return std::string();
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return std::string();
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ShortNameOf(const std::string& path) { return LongNameOf(path); }

std::string LongPathOf(const std::string& path) { return PathOf(path, LongNameOf); }

std::string ShortPathOf(const std::string& path) { return PathOf(path, ShortNameOf); }

uint32_t FileVersionMS(const std::string&) { return 0; }

uint32_t ShellVersion() { return kShellVersion; }

int32_t CountCommandLineParams(const std::string& commandLine) {
  size_t pos = 0;
  int32_t count = 0;
  while (!ReadToken(commandLine, pos).empty()) ++count;
  return count;
}

std::string CommandLineParam(const std::string& commandLine, int32_t index) {
  if (index < 0) return std::string();
  size_t pos = 0;
  std::string token;
  for (int32_t i = 0; i <= index; ++i) {
    token = ReadToken(commandLine, pos);
    if (token.empty()) return std::string();
  }
  return token;
}

void SplitProgramAndArguments(const std::string& commandLine, std::string& program, std::string& arguments) {
  const std::string line = commandLine;  // the outputs may be the line itself
  program.clear();
  arguments.clear();
  size_t pos = 0;
  std::string token = ReadToken(line, pos);
  if (token.empty()) return;
  program = token;
  bool first = true;
  while (!(token = ReadToken(line, pos)).empty()) {
    if (!first) arguments += ' ';
    first = false;
    arguments += token.find(' ') != std::string::npos ? "\"" + token + "\"" : token;
  }
}
