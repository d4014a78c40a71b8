#pragma once
// The settings store in the registry's shape: root keys, key paths, named values of the registry's
// types, and the ini-style wrapper TRegistryIniFile whose sections are subkeys of one key.
//
// All keys of all roots live in one text file under the user's config folder
// ($XDG_CONFIG_HOME/Brimvale/registry.txt, or ~/.config/...). The file is read once, when the store is
// first used, and rewritten whole (beside the target, then renamed over it; a symbolic link is written
// through and stays a link) whenever a key that was changed is closed, so a crash never leaves a
// half-written file. Lines may end in LF or CRLF.
//
// A user's settings are never lost, and every such event puts a line in the debug log:
// - A line that cannot be read is skipped; the rest of the file is kept. A file whose header is wrong
//   (or that is too large) gives an empty store. Either way a copy of the file is first kept aside as
//   registry.txt.corrupt (or .corrupt-2, -3, ...: an earlier copy is never overwritten).
// - A file that cannot be read (permissions, a folder in its place), or one of which no copy could be
//   kept aside, is not written over during the run: reads answer their defaults (or what was written
//   since), and writes stay in memory.
// - A write that fails (a full disk, a read-only folder) leaves the file as it was; the values stay in
//   memory for the rest of the run.
//
// Key paths use backslashes; empty segments (doubled, leading or trailing separators) are skipped, and
// names compare without regard to ASCII case, as the registry's do.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/system/exception.h"

class ERegistryException : public Exception { using Exception::Exception; };

using HKEY = uintptr_t;
constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000u;
constexpr HKEY HKEY_CURRENT_USER = 0x80000001u;
constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002u;
constexpr HKEY HKEY_USERS = 0x80000003u;
constexpr HKEY HKEY_CURRENT_CONFIG = 0x80000005u;

// Registry value types.
constexpr uint32_t REG_NONE = 0;
constexpr uint32_t REG_SZ = 1;
constexpr uint32_t REG_EXPAND_SZ = 2;
constexpr uint32_t REG_BINARY = 3;
constexpr uint32_t REG_DWORD = 4;
constexpr uint32_t REG_MULTI_SZ = 7;
constexpr uint32_t REG_QWORD = 11;

enum TRegDataType { rdUnknown, rdString, rdExpandString, rdInteger, rdBinary };

struct TRegDataInfo {
  TRegDataType RegData = rdUnknown;
  int32_t DataSize = 0;
};

struct TRegKeyInfo {
  int32_t NumSubKeys = 0;
  int32_t MaxSubKeyLen = 0;
  int32_t NumValues = 0;
  int32_t MaxValueLen = 0;
  int32_t MaxDataLen = 0;
};

// Where the store lives. Setting a name (tests do) drops what was loaded and reads that file on next use.
std::string RegistryFileName();
void SetRegistryFileName(const std::string& fileName);

class TRegistry {
 public:
  TRegistry();
  virtual ~TRegistry();
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  HKEY RootKey() const { return rootKey_; }
  void SetRootKey(HKEY root);
  // The key opened last, relative to the root; empty when none is open.
  const std::string& CurrentPath() const { return currentPath_; }
  bool HasCurrentKey() const { return open_; }
  // When set, Open/CreateKey write the store back only at close (always the case here).
  bool LazyWrite() const { return lazyWrite_; }
  void SetLazyWrite(bool v) { lazyWrite_ = v; }

  // Opens a key relative to the current key, or to the root when the path starts with a backslash or
  // no key is open. With canCreate a missing key is created; otherwise false is answered.
  bool OpenKey(const std::string& key, bool canCreate);
  bool OpenKeyReadOnly(const std::string& key);
  // Writes the store back when this object changed it, and closes the current key.
  void CloseKey();
  bool CreateKey(const std::string& key);
  bool DeleteKey(const std::string& key);
  bool KeyExists(const std::string& key);
  bool HasSubKeys();
  std::vector<std::string> GetKeyNames();
  bool GetKeyInfo(TRegKeyInfo& info);

  bool ValueExists(const std::string& name);
  bool DeleteValue(const std::string& name);
  std::vector<std::string> GetValueNames();
  TRegDataType GetDataType(const std::string& name);
  int32_t GetDataSize(const std::string& name);  // -1 when the value does not exist
  bool GetDataInfo(const std::string& name, TRegDataInfo& info);
  void RenameValue(const std::string& oldName, const std::string& newName);

  // Readers raise ERegistryException "Failed to get data for '%s'" when the value is missing and
  // "Invalid data type for '%s'" when it holds another type.
  std::string ReadString(const std::string& name);
  int32_t ReadInteger(const std::string& name);
  bool ReadBool(const std::string& name);
  double ReadFloat(const std::string& name);
  int32_t ReadBinaryData(const std::string& name, void* buffer, int32_t bufSize);
  std::vector<uint8_t> ReadBinary(const std::string& name);

  // Writers raise ERegistryException "Failed to set data for '%s'" when no key is open.
  void WriteString(const std::string& name, const std::string& value);
  void WriteExpandString(const std::string& name, const std::string& value);
  void WriteInteger(const std::string& name, int32_t value);
  void WriteBool(const std::string& name, bool value);
  void WriteFloat(const std::string& name, double value);
  void WriteBinaryData(const std::string& name, const void* buffer, int32_t bufSize);

 protected:
  // The full path of a key given relative to the current one (as OpenKey resolves it).
  std::string ResolvePath(const std::string& key) const;

 private:
  HKEY rootKey_ = HKEY_CURRENT_USER;
  std::string currentPath_;
  bool open_ = false;
  bool readOnly_ = false;
  bool lazyWrite_ = true;
  bool dirty_ = false;
  friend class TRegistryIniFile;
};

// The registry as an ini file: the file name is a key path under the current user's root; sections
// are its subkeys, idents their values. Readers never raise: a missing value, a missing section or a
// value of an unusable type answers the default. Writers create the key and section as needed.
class TRegistryIniFile {
 public:
  explicit TRegistryIniFile(const std::string& fileName);
  virtual ~TRegistryIniFile();
  TRegistryIniFile(const TRegistryIniFile&) = delete;
  TRegistryIniFile& operator=(const TRegistryIniFile&) = delete;

  const std::string& FileName() const { return fileName_; }
  TRegistry& RegIniFile() { return reg_; }

  bool SectionExists(const std::string& section);
  bool ValueExists(const std::string& section, const std::string& ident);
  std::string ReadString(const std::string& section, const std::string& ident, const std::string& def);
  int32_t ReadInteger(const std::string& section, const std::string& ident, int32_t def);
  bool ReadBool(const std::string& section, const std::string& ident, bool def);
  double ReadFloat(const std::string& section, const std::string& ident, double def);
  std::vector<uint8_t> ReadBinary(const std::string& section, const std::string& ident);

  void WriteString(const std::string& section, const std::string& ident, const std::string& value);
  void WriteInteger(const std::string& section, const std::string& ident, int32_t value);
  void WriteBool(const std::string& section, const std::string& ident, bool value);
  void WriteFloat(const std::string& section, const std::string& ident, double value);
  void WriteBinary(const std::string& section, const std::string& ident, const void* data, int32_t size);

  std::vector<std::string> ReadSection(const std::string& section);  // value names
  std::vector<std::string> ReadSections();                            // subkey names
  void EraseSection(const std::string& section);
  void DeleteKey(const std::string& section, const std::string& ident);
  // Writes pending changes to the file now.
  void UpdateFile();

 private:
  std::string SectionPath(const std::string& section) const;
  void WriteIn(const std::string& section, const std::function<void(TRegistry&)>& write);
  std::string fileName_;
  TRegistry reg_;
};
