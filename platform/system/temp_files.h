#pragma once
// Temporary files and positional file access.
//
// The engine keeps large pixel stores in temporary files that the operating system deletes when they
// are closed. Here such a file is created exclusively (an existing file is never opened or replaced)
// and its name is removed at once: the open handle is then the only way to the data, no other
// process can open it, and nothing is left behind when the handle is closed or the process dies.
#include <cstdint>
#include <string>

// The operating system's folder for temporary files, with a trailing '/': $TMPDIR when it names a folder,
// else /tmp.
std::string GetTempPath();

// A random name in folder: folder + prefix + "-" + 8 upper-case hexadecimal digits of a number below
// 2^31 - 1 + ".tmp". A non-empty folder without a trailing '/' gets one. Thread-safe.
std::string RandomTempFileName(const std::string& folder, const std::string& prefix);

// Creates fileName for reading and writing, with permission bits mode (by default readable by this
// user only; the process's umask applies). Fails (EEXIST) rather than open a file that already
// exists. With deleteOnClose the name is removed straight away. Returns the handle, or -1 with errno
// set.
int CreateTemporaryFile(const std::string& fileName, bool deleteOnClose, int mode = 0600);

// Draws names with RandomTempFileName until one can be created (a bounded number of tries) and
// creates it with CreateTemporaryFile. Returns the handle and sets *fileName, or -1 with errno set.
int CreateUniqueTemporaryFile(const std::string& folder, const std::string& prefix, bool deleteOnClose,
                              std::string* fileName, int mode = 0600);

// Positional I/O on a file handle, independent of the handle's position. They retry interrupted and
// partial transfers and return the number of bytes moved (fewer only at the end of the file for
// reads), or -1 with errno set on an error.
int64_t FileReadAt(int handle, void* buffer, int64_t count, int64_t position);
int64_t FileWriteAt(int handle, const void* buffer, int64_t count, int64_t position);

// Sets the file's size. When it grows, the disk space is also reserved (so a full disk is reported
// here, not at a later write): by fallocate, or on file systems without it by writing the zeros. The
// new bytes read as zeros. Returns false with errno set, and the file at its old size, when the size
// cannot be had.
bool FileSetSize(int handle, int64_t size);
// Test seam: with false, FileSetSize acts as on a file system without fallocate.
void SetFallocateAvailableForTesting(bool available);

// Copies count bytes from one file to another at the given positions (in the kernel where it can).
// Returns false with errno set on an error or when the source ends early.
bool FileCopyRange(int source, int64_t sourcePosition, int dest, int64_t destPosition, int64_t count);
