#include "platform/registry/registry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/system/debug_log.h"
#include "platform/system/streams.h"
#include "platform/system/temp_files.h"

namespace {

// ------------------------------------------------------------------------------------------ the store

struct RegValue {
  std::string name;
  uint32_t type = REG_NONE;
  std::vector<uint8_t> data;
};

struct RegKey {
  std::string name;
  std::vector<std::unique_ptr<RegKey>> subkeys;
  std::vector<RegValue> values;
};

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

// Splits a key path at backslashes, skipping empty segments.
std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> parts;
  std::string cur;
  for (char c : path) {
    if (c == '\\') {
      if (!cur.empty()) parts.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  if (!cur.empty()) parts.push_back(cur);
  return parts;
}

std::string JoinPath(const std::vector<std::string>& parts) {
  std::string s;
  for (const auto& p : parts) {
    if (!s.empty()) s += '\\';
    s += p;
  }
  return s;
}

const char* RootName(HKEY root) {
  switch (root) {
    case HKEY_CLASSES_ROOT: return "HKEY_CLASSES_ROOT";
    case HKEY_CURRENT_USER: return "HKEY_CURRENT_USER";
    case HKEY_LOCAL_MACHINE: return "HKEY_LOCAL_MACHINE";
    case HKEY_USERS: return "HKEY_USERS";
    case HKEY_CURRENT_CONFIG: return "HKEY_CURRENT_CONFIG";
    default: return nullptr;
  }
}

void DebugLogLine(const std::string& line) { OutputDebugString(line); }

class Store {
 public:
  std::mutex mutex;

  RegKey* Root(HKEY root) {
    EnsureLoaded();
    const char* name = RootName(root);
    if (!name) return nullptr;
    for (auto& k : roots_)
      if (k->name == name) return k.get();
    roots_.push_back(std::make_unique<RegKey>());
    roots_.back()->name = name;
    return roots_.back().get();
  }

  // Finds (or with create, makes) the key at path under root; nullptr when absent.
  RegKey* Find(HKEY root, const std::string& path, bool create) {
    RegKey* key = Root(root);
    if (!key) return nullptr;
    for (const auto& part : SplitPath(path)) {
      RegKey* next = nullptr;
      for (auto& sub : key->subkeys)
        if (SameName(sub->name, part)) next = sub.get();
      if (!next) {
        if (!create) return nullptr;
        key->subkeys.push_back(std::make_unique<RegKey>());
        next = key->subkeys.back().get();
        next->name = part;
      }
      key = next;
    }
    return key;
  }

  bool Delete(HKEY root, const std::string& path) {
    auto parts = SplitPath(path);
    if (parts.empty()) return false;
    std::string leaf = parts.back();
    parts.pop_back();
    RegKey* parent = Find(root, JoinPath(parts), false);
    if (!parent) return false;
    for (auto it = parent->subkeys.begin(); it != parent->subkeys.end(); ++it) {
      if (SameName((*it)->name, leaf)) {
        parent->subkeys.erase(it);
        return true;
      }
    }
    return false;
  }

  const std::string& FileName() {
    if (fileName_.empty()) {
      const char* xdg = std::getenv("XDG_CONFIG_HOME");
      std::string base;
      if (xdg && *xdg == '/') {
        base = xdg;
      } else {
        const char* home = std::getenv("HOME");
        base = std::string(home && *home ? home : "/tmp") + "/.config";
      }
      fileName_ = base + "/Brimvale/registry.txt";
    }
    return fileName_;
  }

  void SetFileName(const std::string& name) {
    fileName_ = name;
    roots_.clear();
    loaded_ = false;
  }

  // Writes the whole store beside the file and renames it over the file (never in place: a crash
  // never leaves a half-written file). A file that could not be read this run is never written over:
  // the values then stay in memory only. A write that fails keeps them in memory and the file as it
  // was.
  void Save() {
    const std::string& name = FileName();
    if (!writable_) {
      LogOnce("settings file \"" + name + "\" left as it is (" + leftAloneBecause_ + "); changes kept in memory");
      return;
    }
    std::string text(kHeader);
    text += '\n';
    for (auto& root : roots_) WriteKey(text, root->name, *root);
    try {
      std::error_code ec;
      std::filesystem::create_directories(std::filesystem::path(name).parent_path(), ec);
      TSafeFileStream file(name, false);
      file.WriteBuffer(text.data(), static_cast<int32_t>(text.size()));
      file.Commit();
      lastLogged_.clear();
    } catch (const Exception& e) {
      LogOnce("settings not saved, kept in memory: " + e.Message());
    }
  }

 private:
  static constexpr const char* kHeader = "Brimvale registry 1";
  static constexpr int64_t kMaxFileSize = int64_t(64) << 20;
  static constexpr int kMaxLoggedLines = 10;

  enum class ReadResult { Missing, Unreadable, TooLarge, Read };

  // A line for the debug log, unless it is the one written last (a store that cannot be saved would
  // otherwise say so at every closed key).
  void LogOnce(const std::string& line) {
    if (line == lastLogged_) return;
    lastLogged_ = line;
    DebugLogLine(line);
  }

  // The file is not written over during this run.
  void LeaveAlone(const std::string& why) {
    writable_ = false;
    leftAloneBecause_ = why;
  }

  void EnsureLoaded() {
    if (loaded_) return;
    loaded_ = true;
    roots_.clear();
    writable_ = true;
    leftAloneBecause_.clear();
    lastLogged_.clear();
    const std::string& name = FileName();
    std::string text, error;
    switch (ReadFile(name, text, error)) {
      case ReadResult::Missing:
        return;  // a first run
      case ReadResult::Unreadable:
        DebugLogLine("settings file \"" + name + "\" cannot be read (" + error + "); defaults used");
        LeaveAlone(error);
        return;
      case ReadResult::TooLarge:
        DebugLogLine("settings file \"" + name + "\" is too large; defaults used");
        KeepAside(name);
        return;
      case ReadResult::Read:
        break;
    }
    if (text.empty()) return;  // nothing to lose
    int skipped = 0;
    if (!Parse(name, text, skipped)) {
      roots_.clear();
      DebugLogLine("settings file \"" + name + "\" has no valid header; defaults used");
      KeepAside(name);
    } else if (skipped > 0) {
      // The next save drops the lines that could not be read: a copy keeps them.
      KeepAside(name);
    }
  }

  // Reads the whole file. A folder, a device or anything else that is not a plain file counts as
  // unreadable, as does a file this user may not read.
  static ReadResult ReadFile(const std::string& name, std::string& text, std::string& error) {
    int fd;
    do {
      fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
      if (errno == ENOENT) return ReadResult::Missing;
      error = SysErrorMessage(errno);
      return ReadResult::Unreadable;
    }
    struct Closer {
      int fd;
      ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st;
    if (::fstat(fd, &st) != 0) {
      error = SysErrorMessage(errno);
      return ReadResult::Unreadable;
    }
    if (!S_ISREG(st.st_mode)) {
      error = S_ISDIR(st.st_mode) ? "a folder in its place" : "not a plain file";
      return ReadResult::Unreadable;
    }
    if (st.st_size > kMaxFileSize) return ReadResult::TooLarge;
    text.resize(static_cast<size_t>(st.st_size));
    const int64_t got = FileReadAt(fd, text.data(), st.st_size, 0);
    if (got < 0) {
      error = SysErrorMessage(errno);
      return ReadResult::Unreadable;
    }
    text.resize(static_cast<size_t>(got));
    return ReadResult::Read;
  }

  // Copies the file to the first free name of name.corrupt, name.corrupt-2, ... (an earlier copy is
  // never overwritten), readable by this user only. When no copy can be made the file is left alone
  // for the rest of the run.
  void KeepAside(const std::string& name) {
    const int source = ::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat st;
    if (source < 0 || ::fstat(source, &st) != 0) {
      if (source >= 0) ::close(source);
      LeaveAlone("no copy could be kept aside");
      return;
    }
    std::string copyName;
    int copy = -1;
    for (int n = 1; n <= 1000 && copy < 0; ++n) {
      copyName = name + ".corrupt" + (n == 1 ? std::string() : "-" + std::to_string(n));
      copy = CreateTemporaryFile(copyName, false, 0600);
      if (copy < 0 && errno != EEXIST) break;
    }
    const bool copied = copy >= 0 && FileCopyRange(source, 0, copy, 0, st.st_size) && ::fsync(copy) == 0;
    const int err = errno;
    ::close(source);
    if (copy >= 0) ::close(copy);
    if (!copied) {
      if (copy >= 0) ::unlink(copyName.c_str());
      DebugLogLine("settings file \"" + name + "\": no copy kept aside (" + SysErrorMessage(err) + ")");
      LeaveAlone("no copy could be kept aside");
      return;
    }
    DebugLogLine("settings file \"" + name + "\" kept aside as \"" + copyName + "\"");
  }

  // Reads the store from text. False when the header is wrong; a line that cannot be read is skipped
  // (counted in skipped, and logged), the rest kept. Both line endings are read.
  bool Parse(const std::string& name, const std::string& text, int& skipped) {
    size_t pos = 0;
    const auto nextLine = [&](std::string& line) {
      if (pos >= text.size()) return false;
      size_t end = text.find('\n', pos);
      if (end == std::string::npos) end = text.size();
      line.assign(text, pos, end - pos);
      pos = end + 1;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return true;
    };
    std::string line;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) pos = 3;  // a byte-order mark an editor may add
    if (!nextLine(line) || line != kHeader) return false;
    RegKey* current = nullptr;
    const auto skip = [&](int lineNo, const char* why) {
      if (++skipped <= kMaxLoggedLines)
        DebugLogLine(Format("settings file \"%s\" line %d skipped: %s", name.c_str(), lineNo, why));
    };
    for (int lineNo = 2; nextLine(line); ++lineNo) {
      if (line.empty()) continue;
      if (line.front() == '[') {
        // The values below a key that cannot be read have no key: they are skipped with it.
        current = nullptr;
        if (line.back() != ']') {
          skip(lineNo, "bad key");
          continue;
        }
        auto parts = SplitPath(line.substr(1, line.size() - 2));
        HKEY root = 0;
        if (!parts.empty())
          for (HKEY r : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS, HKEY_CURRENT_CONFIG})
            if (parts[0] == RootName(r)) root = r;
        if (!root) {
          skip(lineNo, parts.empty() ? "empty key" : "unknown root");
          continue;
        }
        parts.erase(parts.begin());
        current = Find(root, JoinPath(parts), true);
        continue;
      }
      RegValue v;
      if (!current) {
        skip(lineNo, "value outside a key");
        continue;
      }
      if (!ParseValue(line, v)) {
        skip(lineNo, "bad value");
        continue;
      }
      bool replaced = false;
      for (auto& old : current->values)
        if (SameName(old.name, v.name)) old = v, replaced = true;
      if (!replaced) current->values.push_back(std::move(v));
    }
    if (skipped > kMaxLoggedLines)
      DebugLogLine(Format("settings file \"%s\": %d lines skipped in all", name.c_str(), skipped));
    return true;
  }

  static void AppendQuoted(std::string& out, const std::string& s) {
    out += '"';
    for (unsigned char c : s) {
      switch (c) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
          if (c < 0x20 || c == 0x7F) out += Format("\\x%02x", c);
          else out += static_cast<char>(c);
      }
    }
    out += '"';
  }

  static int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  }

  // Reads a quoted string at pos; pos ends after the closing quote.
  static bool ParseQuoted(const std::string& s, size_t& pos, std::string& out) {
    if (pos >= s.size() || s[pos] != '"') return false;
    ++pos;
    out.clear();
    while (pos < s.size()) {
      char c = s[pos++];
      if (c == '"') return true;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (pos >= s.size()) return false;
      char e = s[pos++];
      switch (e) {
        case '\\': out += '\\'; break;
        case '"': out += '"'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'x': {
          if (pos + 2 > s.size()) return false;
          int hi = HexDigit(s[pos]), lo = HexDigit(s[pos + 1]);
          if (hi < 0 || lo < 0) return false;
          out += static_cast<char>(hi * 16 + lo);
          pos += 2;
          break;
        }
        default: return false;
      }
    }
    return false;
  }

  static bool ParseHexBytes(const std::string& s, size_t pos, std::vector<uint8_t>& out) {
    out.clear();
    while (pos < s.size()) {
      if (pos + 2 > s.size()) return false;
      int hi = HexDigit(s[pos]), lo = HexDigit(s[pos + 1]);
      if (hi < 0 || lo < 0) return false;
      out.push_back(static_cast<uint8_t>(hi * 16 + lo));
      pos += 2;
      if (pos < s.size()) {
        if (s[pos] != ',') return false;
        ++pos;
      }
    }
    return true;
  }

  static bool ParseValue(const std::string& line, RegValue& v) {
    size_t pos = 0;
    if (line[0] == '@') {
      v.name.clear();
      pos = 1;
    } else if (!ParseQuoted(line, pos, v.name)) {
      return false;
    }
    if (pos >= line.size() || line[pos] != '=') return false;
    ++pos;
    if (pos < line.size() && line[pos] == '"') {
      std::string text;
      if (!ParseQuoted(line, pos, text) || pos != line.size()) return false;
      v.type = REG_SZ;
      v.data.assign(text.begin(), text.end());
      return true;
    }
    std::string rest = line.substr(pos);
    if (rest.rfind("dword:", 0) == 0) {
      std::string hex = rest.substr(6);
      if (hex.size() != 8) return false;
      uint32_t value = 0;
      for (char c : hex) {
        int d = HexDigit(c);
        if (d < 0) return false;
        value = value * 16 + static_cast<uint32_t>(d);
      }
      v.type = REG_DWORD;
      v.data.resize(4);
      std::memcpy(v.data.data(), &value, 4);
      return true;
    }
    if (rest.rfind("expand:", 0) == 0) {
      size_t p = pos + 7;
      std::string text;
      if (!ParseQuoted(line, p, text) || p != line.size()) return false;
      v.type = REG_EXPAND_SZ;
      v.data.assign(text.begin(), text.end());
      return true;
    }
    if (rest.rfind("hex:", 0) == 0) {
      v.type = REG_BINARY;
      return ParseHexBytes(line, pos + 4, v.data);
    }
    if (rest.rfind("hex(", 0) == 0) {
      size_t close = rest.find("):");
      if (close == std::string::npos || close == 4 || close > 12) return false;
      uint32_t type = 0;
      for (size_t i = 4; i < close; ++i) {
        int d = HexDigit(rest[i]);
        if (d < 0) return false;
        type = type * 16 + static_cast<uint32_t>(d);
      }
      v.type = type;
      return ParseHexBytes(line, pos + close + 2, v.data);
    }
    return false;
  }

  static void WriteKey(std::string& out, const std::string& path, const RegKey& key) {
    out += '[';
    out += path;
    out += "]\n";
    for (const auto& v : key.values) {
      if (v.name.empty()) out += '@';
      else AppendQuoted(out, v.name);
      out += '=';
      if (v.type == REG_SZ) {
        AppendQuoted(out, std::string(v.data.begin(), v.data.end()));
      } else if (v.type == REG_EXPAND_SZ) {
        out += "expand:";
        AppendQuoted(out, std::string(v.data.begin(), v.data.end()));
      } else if (v.type == REG_DWORD && v.data.size() == 4) {
        uint32_t value;
        std::memcpy(&value, v.data.data(), 4);
        out += Format("dword:%08x", value);
      } else {
        out += v.type == REG_BINARY ? std::string("hex:") : Format("hex(%x):", v.type);
        for (size_t i = 0; i < v.data.size(); ++i) {
          if (i) out += ',';
          out += Format("%02x", v.data[i]);
        }
      }
      out += '\n';
    }
    for (const auto& sub : key.subkeys) WriteKey(out, path + "\\" + sub->name, *sub);
  }

  std::string fileName_;
  std::vector<std::unique_ptr<RegKey>> roots_;
  bool loaded_ = false;
  bool writable_ = true;          // false: the file is not written over during this run
  std::string leftAloneBecause_;  // why, for the debug log
  std::string lastLogged_;
};

Store& TheStore() {
  static Store store;
  return store;
}

RegValue* FindValue(RegKey* key, const std::string& name) {
  if (!key) return nullptr;
  for (auto& v : key->values)
    if (SameName(v.name, name)) return &v;
  return nullptr;
}

TRegDataType DataTypeOf(uint32_t type) {
  switch (type) {
    case REG_SZ: return rdString;
    case REG_EXPAND_SZ: return rdExpandString;
    case REG_DWORD: return rdInteger;
    case REG_BINARY: return rdBinary;
    default: return rdUnknown;
  }
}

}  // namespace

std::string RegistryFileName() {
  Store& s = TheStore();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.FileName();
}

void SetRegistryFileName(const std::string& fileName) {
  Store& s = TheStore();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.SetFileName(fileName);
}

// ----------------------------------------------------------------------------------------- TRegistry

TRegistry::TRegistry() = default;

TRegistry::~TRegistry() { CloseKey(); }

void TRegistry::SetRootKey(HKEY root) {
  if (root == rootKey_) return;
  CloseKey();
  rootKey_ = root;
}

std::string TRegistry::ResolvePath(const std::string& key) const {
  bool absolute = !key.empty() && key[0] == '\\';
  std::vector<std::string> parts;
  if (!absolute && open_) parts = SplitPath(currentPath_);
  for (auto& p : SplitPath(key)) parts.push_back(p);
  return JoinPath(parts);
}

bool TRegistry::OpenKey(const std::string& key, bool canCreate) {
  std::string path = ResolvePath(key);
  Store& s = TheStore();
  bool existed;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    existed = s.Find(rootKey_, path, false) != nullptr;
    if (!existed && !canCreate) return false;
    if (!s.Find(rootKey_, path, true)) return false;
  }
  CloseKey();  // writes what the previous key changed
  if (!existed) dirty_ = true;
  currentPath_ = path;
  open_ = true;
  readOnly_ = false;
  return true;
}

bool TRegistry::OpenKeyReadOnly(const std::string& key) {
  std::string path = ResolvePath(key);
  Store& s = TheStore();
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!s.Find(rootKey_, path, false)) return false;
  }
  CloseKey();
  currentPath_ = path;
  open_ = true;
  readOnly_ = true;
  return true;
}

void TRegistry::CloseKey() {
  if (dirty_) {
    Store& s = TheStore();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.Save();
    dirty_ = false;
  }
  open_ = false;
  readOnly_ = false;
  currentPath_.clear();
}

bool TRegistry::CreateKey(const std::string& key) {
  std::string path = ResolvePath(key);
  Store& s = TheStore();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.Find(rootKey_, path, false)) return true;  // an existing key counts as created
  if (!s.Find(rootKey_, path, true)) return false;
  dirty_ = true;
  return true;
}

bool TRegistry::DeleteKey(const std::string& key) {
  std::string path = ResolvePath(key);
  Store& s = TheStore();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (!s.Delete(rootKey_, path)) return false;
  dirty_ = true;
  return true;
}

bool TRegistry::KeyExists(const std::string& key) {
  std::string path = ResolvePath(key);
  Store& s = TheStore();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.Find(rootKey_, path, false) != nullptr;
}

bool TRegistry::HasSubKeys() {
  Store& s = TheStore();
  std::lock_guard<std::mutex> lock(s.mutex);
  RegKey* k = open_ ? s.Find(rootKey_, currentPath_, false) : nullptr;
  return k && !k->subkeys.empty();
}

std::vector<std::string> TRegistry::GetKeyNames() {
  std::vector<std::string> names;
  Store& s = TheStore();
  std::lock_guard<std::mutex> lock(s.mutex);
  RegKey* k = open_ ? s.Find(rootKey_, currentPath_, false) : nullptr;
  if (k)
    for (auto& sub : k->subkeys) names.push_back(sub->name);
  return names;
}

bool TRegistry::GetKeyInfo(TRegKeyInfo& info) {
  info = TRegKeyInfo();
  Store& s = TheStore();
  std::lock_guard<std::mutex> lock(s.mutex);
  RegKey* k = open_ ? s.Find(rootKey_, currentPath_, false) : nullptr;
  if (!k) return false;
  info.NumSubKeys = static_cast<int32_t>(k->subkeys.size());
  info.NumValues = static_cast<int32_t>(k->values.size());
  for (auto& sub : k->subkeys) info.MaxSubKeyLen = std::max(info.MaxSubKeyLen, static_cast<int32_t>(sub->name.size()));
  for (auto& v : k->values) {
    info.MaxValueLen = std::max(info.MaxValueLen, static_cast<int32_t>(v.name.size()));
    info.MaxDataLen = std::max(info.MaxDataLen, static_cast<int32_t>(v.data.size()));
  }
  return true;
}

bool TRegistry::ValueExists(const std::string& name) {
  Store& s = TheStore();
  std::lock_guard<std::mutex> lock(s.mutex);
  return open_ && FindValue(s.Find(rootKey_, currentPath_, false), name) != nullptr;
}

bool TRegistry::DeleteValue(const std::string& name) {
  if (!open_ || readOnly_) return false;
  Store& s = TheStore();
  std::lock_guard<std::mutex> lock(s.mutex);
  RegKey* k = s.Find(rootKey_, currentPath_, false);
  if (!k) return false;
  for (auto it = k->values.begin(); it != k->values.end(); ++it) {
    if (SameName(it->name, name)) {
      k->values.erase(it);
      dirty_ = true;
      return true;
    }
  }
  return false;
}

std::vector<std::string> TRegistry::GetValueNames() {
  std::vector<std::string> names;
  Store& s = TheStore();
  std::lock_guard<std::mutex> lock(s.mutex);
  RegKey* k = open_ ? s.Find(rootKey_, currentPath_, false) : nullptr;
  if (k)
    for (auto& v : k->values) names.push_back(v.name);
  return names;
}

bool TRegistry::GetDataInfo(const std::string& name, TRegDataInfo& info) {
  info = TRegDataInfo();
  Store& s = TheStore();
  std::lock_guard<std::mutex> lock(s.mutex);
  RegValue* v = open_ ? FindValue(s.Find(rootKey_, currentPath_, false), name) : nullptr;
  if (!v) return false;
  info.RegData = DataTypeOf(v->type);
  info.DataSize = static_cast<int32_t>(v->data.size());
  return true;
}

TRegDataType TRegistry::GetDataType(const std::string& name) {
  TRegDataInfo info;
  return GetDataInfo(name, info) ? info.RegData : rdUnknown;
}

int32_t TRegistry::GetDataSize(const std::string& name) {
  TRegDataInfo info;
  return GetDataInfo(name, info) ? info.DataSize : -1;
}

void TRegistry::RenameValue(const std::string& oldName, const std::string& newName) {
  if (!open_ || readOnly_) return;
  Store& s = TheStore();
  std::lock_guard<std::mutex> lock(s.mutex);
  RegKey* k = s.Find(rootKey_, currentPath_, false);
  RegValue* v = FindValue(k, oldName);
  if (!v || FindValue(k, newName)) return;
  v->name = newName;
  dirty_ = true;
}

namespace {

// Copies a value's type and bytes out of the store, or raises the registry's read error.
RegValue GetValue(HKEY root, bool open, const std::string& path, const std::string& name) {
  Store& s = TheStore();
  std::lock_guard<std::mutex> lock(s.mutex);
  RegValue* v = open ? FindValue(s.Find(root, path, false), name) : nullptr;
  if (!v) throw ERegistryException(Format("Failed to get data for '%s'", name.c_str()));
  return *v;
}

[[noreturn]] void InvalidType(const std::string& name) {
  throw ERegistryException(Format("Invalid data type for '%s'", name.c_str()));
}

}  // namespace

std::string TRegistry::ReadString(const std::string& name) {
  RegValue v = GetValue(rootKey_, open_, currentPath_, name);
  if (v.type != REG_SZ && v.type != REG_EXPAND_SZ) InvalidType(name);
  std::string s(v.data.begin(), v.data.end());
  // A string written by another program may carry its terminating zero.
  size_t nul = s.find('\0');
  if (nul != std::string::npos) s.resize(nul);
  return s;
}

int32_t TRegistry::ReadInteger(const std::string& name) {
  RegValue v = GetValue(rootKey_, open_, currentPath_, name);
  if (v.type != REG_DWORD || v.data.size() != 4) InvalidType(name);
  int32_t value;
  std::memcpy(&value, v.data.data(), 4);
  return value;
}

bool TRegistry::ReadBool(const std::string& name) { return ReadInteger(name) != 0; }

double TRegistry::ReadFloat(const std::string& name) {
  RegValue v = GetValue(rootKey_, open_, currentPath_, name);
  if (v.type != REG_BINARY || v.data.size() != sizeof(double)) InvalidType(name);
  double value;
  std::memcpy(&value, v.data.data(), sizeof value);
  return value;
}

std::vector<uint8_t> TRegistry::ReadBinary(const std::string& name) {
  RegValue v = GetValue(rootKey_, open_, currentPath_, name);
  if (v.type != REG_BINARY && v.type != REG_NONE && DataTypeOf(v.type) != rdUnknown) InvalidType(name);
  return v.data;
}

int32_t TRegistry::ReadBinaryData(const std::string& name, void* buffer, int32_t bufSize) {
  std::vector<uint8_t> data = ReadBinary(name);
  if (bufSize < 0 || static_cast<size_t>(bufSize) < data.size())
    throw ERegistryException(Format("Failed to get data for '%s'", name.c_str()));
  if (!data.empty()) std::memcpy(buffer, data.data(), data.size());
  return static_cast<int32_t>(data.size());
}

namespace {

void PutValue(HKEY root, bool open, bool readOnly, const std::string& path, const std::string& name, uint32_t type,
              const void* data, size_t size, bool& dirty) {
  Store& s = TheStore();
  std::lock_guard<std::mutex> lock(s.mutex);
  RegKey* k = (open && !readOnly) ? s.Find(root, path, false) : nullptr;
  if (!k) throw ERegistryException(Format("Failed to set data for '%s'", name.c_str()));
  RegValue* v = FindValue(k, name);
  if (!v) {
    k->values.push_back(RegValue());
    v = &k->values.back();
    v->name = name;
  }
  v->type = type;
  const uint8_t* p = static_cast<const uint8_t*>(data);
  v->data.assign(p, p + size);
  dirty = true;
}

}  // namespace

void TRegistry::WriteString(const std::string& name, const std::string& value) {
  PutValue(rootKey_, open_, readOnly_, currentPath_, name, REG_SZ, value.data(), value.size(), dirty_);
}

void TRegistry::WriteExpandString(const std::string& name, const std::string& value) {
  PutValue(rootKey_, open_, readOnly_, currentPath_, name, REG_EXPAND_SZ, value.data(), value.size(), dirty_);
}

void TRegistry::WriteInteger(const std::string& name, int32_t value) {
  PutValue(rootKey_, open_, readOnly_, currentPath_, name, REG_DWORD, &value, 4, dirty_);
}

void TRegistry::WriteBool(const std::string& name, bool value) { WriteInteger(name, value ? 1 : 0); }

void TRegistry::WriteFloat(const std::string& name, double value) {
  PutValue(rootKey_, open_, readOnly_, currentPath_, name, REG_BINARY, &value, sizeof value, dirty_);
}

void TRegistry::WriteBinaryData(const std::string& name, const void* buffer, int32_t bufSize) {
  PutValue(rootKey_, open_, readOnly_, currentPath_, name, REG_BINARY, buffer,
           bufSize > 0 ? static_cast<size_t>(bufSize) : 0, dirty_);
}

// ---------------------------------------------------------------------------------- TRegistryIniFile

TRegistryIniFile::TRegistryIniFile(const std::string& fileName) : fileName_(fileName) {
  reg_.SetRootKey(HKEY_CURRENT_USER);
  reg_.OpenKey(fileName, true);
}

TRegistryIniFile::~TRegistryIniFile() = default;

std::string TRegistryIniFile::SectionPath(const std::string& section) const {
  return "\\" + JoinPath(SplitPath(fileName_)) + "\\" + section;
}

void TRegistryIniFile::WriteIn(const std::string& section, const std::function<void(TRegistry&)>& write) {
  TRegistry r;
  r.SetRootKey(reg_.RootKey());
  if (!r.OpenKey(SectionPath(section), true)) return;
  // The change is written to the file when this ini object closes (or UpdateFile), not per value.
  struct Hand {
    TRegistry& from;
    TRegistry& to;
    ~Hand() {
      to.dirty_ = to.dirty_ || from.dirty_;
      from.dirty_ = false;
    }
  } hand{r, reg_};
  write(r);
}

bool TRegistryIniFile::SectionExists(const std::string& section) { return reg_.KeyExists(SectionPath(section)); }

bool TRegistryIniFile::ValueExists(const std::string& section, const std::string& ident) {
  TRegistry r;
  r.SetRootKey(reg_.RootKey());
  return r.OpenKeyReadOnly(SectionPath(section)) && r.ValueExists(ident);
}

std::string TRegistryIniFile::ReadString(const std::string& section, const std::string& ident,
                                         const std::string& def) {
  TRegistry r;
  r.SetRootKey(reg_.RootKey());
  if (!r.OpenKeyReadOnly(SectionPath(section)) || !r.ValueExists(ident)) return def;
  try {
    if (r.GetDataType(ident) == rdInteger) return std::to_string(r.ReadInteger(ident));
    return r.ReadString(ident);
  } catch (const ERegistryException&) {
    return def;
  }
}

int32_t TRegistryIniFile::ReadInteger(const std::string& section, const std::string& ident, int32_t def) {
  TRegistry r;
  r.SetRootKey(reg_.RootKey());
  if (!r.OpenKeyReadOnly(SectionPath(section)) || !r.ValueExists(ident)) return def;
  try {
    if (r.GetDataType(ident) == rdString) {
      // A number kept as text: read as the framework's StrToIntDef would (decimal or $hex).
      std::string s = r.ReadString(ident);
      size_t b = s.find_first_not_of(' '), e = s.find_last_not_of(' ');
      if (b == std::string::npos) return def;
      s = s.substr(b, e - b + 1);
      int base = 10;
      size_t start = (s[0] == '-' || s[0] == '+') ? 1 : 0;
      if (start < s.size() && s[start] == '$') {
        s.erase(start, 1);
        base = 16;
      }
      errno = 0;
      char* end = nullptr;
      long long v = std::strtoll(s.c_str(), &end, base);
      if (errno || !end || *end || end == s.c_str() || v < INT32_MIN || v > UINT32_MAX) return def;
      return static_cast<int32_t>(v);
    }
    return r.ReadInteger(ident);
  } catch (const ERegistryException&) {
    return def;
  }
}

bool TRegistryIniFile::ReadBool(const std::string& section, const std::string& ident, bool def) {
  return ReadInteger(section, ident, def ? 1 : 0) != 0;
}

double TRegistryIniFile::ReadFloat(const std::string& section, const std::string& ident, double def) {
  TRegistry r;
  r.SetRootKey(reg_.RootKey());
  if (!r.OpenKeyReadOnly(SectionPath(section)) || !r.ValueExists(ident)) return def;
  try {
    if (r.GetDataType(ident) == rdBinary) return r.ReadFloat(ident);
    std::string s = r.ReadString(ident);
    char* end = nullptr;
    double v = std::strtod(s.c_str(), &end);
    return (end && *end == 0 && end != s.c_str()) ? v : def;
  } catch (const ERegistryException&) {
    return def;
  }
}

std::vector<uint8_t> TRegistryIniFile::ReadBinary(const std::string& section, const std::string& ident) {
  TRegistry r;
  r.SetRootKey(reg_.RootKey());
  if (!r.OpenKeyReadOnly(SectionPath(section)) || !r.ValueExists(ident)) return {};
  try {
    return r.ReadBinary(ident);
  } catch (const ERegistryException&) {
    return {};
  }
}

void TRegistryIniFile::WriteString(const std::string& section, const std::string& ident, const std::string& value) {
  WriteIn(section, [&](TRegistry& r) { r.WriteString(ident, value); });
}

void TRegistryIniFile::WriteInteger(const std::string& section, const std::string& ident, int32_t value) {
  WriteIn(section, [&](TRegistry& r) { r.WriteInteger(ident, value); });
}

void TRegistryIniFile::WriteBool(const std::string& section, const std::string& ident, bool value) {
  WriteInteger(section, ident, value ? 1 : 0);
}

void TRegistryIniFile::WriteFloat(const std::string& section, const std::string& ident, double value) {
  WriteIn(section, [&](TRegistry& r) { r.WriteFloat(ident, value); });
}

void TRegistryIniFile::WriteBinary(const std::string& section, const std::string& ident, const void* data,
                                   int32_t size) {
  WriteIn(section, [&](TRegistry& r) { r.WriteBinaryData(ident, data, size); });
}

std::vector<std::string> TRegistryIniFile::ReadSection(const std::string& section) {
  TRegistry r;
  r.SetRootKey(reg_.RootKey());
  if (!r.OpenKeyReadOnly(SectionPath(section))) return {};
  return r.GetValueNames();
}

std::vector<std::string> TRegistryIniFile::ReadSections() {
  TRegistry r;
  r.SetRootKey(reg_.RootKey());
  if (!r.OpenKeyReadOnly("\\" + JoinPath(SplitPath(fileName_)))) return {};
  return r.GetKeyNames();
}

void TRegistryIniFile::EraseSection(const std::string& section) {
  if (reg_.DeleteKey(SectionPath(section))) reg_.dirty_ = true;
}

void TRegistryIniFile::DeleteKey(const std::string& section, const std::string& ident) {
  TRegistry r;
  r.SetRootKey(reg_.RootKey());
  if (!r.OpenKey(SectionPath(section), false)) return;
  if (r.DeleteValue(ident)) reg_.dirty_ = true;
  r.dirty_ = false;
}

void TRegistryIniFile::UpdateFile() {
  if (!reg_.dirty_) return;
  Store& s = TheStore();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.Save();
  reg_.dirty_ = false;
}
