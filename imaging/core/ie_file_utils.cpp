#include "imaging/core/ie_file_utils.h"

#include <sys/stat.h>

#include "imaging/core/ie_settings.h"
#include "platform/system/streams.h"
#include "platform/system/temp_files.h"

bool IEFileExists(const std::string& FileName) {
  if (UseRTLFileExists) return FileExists(FileName);
  struct stat st;
  return ::stat(FileName.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

std::string MakeTempFileName() {
  std::string folder = TempDirectory;
  if (folder.empty())
    folder = GetTempPath();
  else if (folder.back() != '/')
    folder += '/';
  return MakeTempFileNameIn("ietemp", folder);
}

std::string MakeTempFileNameIn(const std::string& Prefix, const std::string& Folder) {
  // The folder and prefix go in as one prefix, so that the folder stays as given.
  std::string name = RandomTempFileName(std::string(), Folder + Prefix);
  // 2^31 names: a free one comes at once unless the folder is nearly full of them.
  for (int tries = 0; tries < 10000 && IEFileExists(name); ++tries) name = RandomTempFileName(std::string(), Folder + Prefix);
  return name;
}
