#pragma once
// File existence and names for the engine's temporary files. Names are UTF-8 paths. A file's size
// by name is the platform's FileSizeByName (64 bits, -1 when there is no such file).
#include <string>

// True when the file exists and is not a folder (with UseRTLFileExists the run-time library's test,
// else the system's attribute query; both answer alike here).
bool IEFileExists(const std::string& FileName);
inline bool FileExistsW(const std::string& FileName) { return IEFileExists(FileName); }

// A free name for a temporary file: MakeTempFileNameIn("ietemp", folder) in TempDirectory (a
// missing "/" at its end added) or, when that is empty, the system's temporary folder.
std::string MakeTempFileName();
// Folder + Prefix + "-" + 8 upper-case hexadecimal digits of a random number 0..2147483646 +
// ".tmp", drawn again while a file of that name exists. Folder is used as it stands (a folder
// without a trailing "/" joins the prefix). The file is not created: the caller creates it, and
// should create it exclusively (another process may draw the same name meanwhile).
std::string MakeTempFileNameIn(const std::string& Prefix, const std::string& Folder);
