#pragma once
// Shell routines of the utility library.
#include <string>

// The form of a path the shell shows (localized folder names). Paths here have no drive part and
// folders no localized names: the path comes back unchanged.
std::string LocalizedDisplayPath(const std::string& path);
// Frees a shell item identifier the shell's allocator made and clears it; none (null) answers true.
// No identifier here comes from a shell allocator, so any other answers false and stays.
bool FreeShellItemId(void*& itemId);
