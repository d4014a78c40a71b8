#pragma once
// File-name and command-line routines of the controls: valid names, the long and short forms of a
// name or path, version numbers, and command lines split into tokens.
//
// Paths use "/". There are no 8.3 names here: the short form of a name is its long form.
#include <cstdint>
#include <string>

// Not empty and none of < > " ? * | (nor a NUL byte); "/" is the delimiter and is accepted.
bool IsValidFileName(const std::string& name);
// The last component of the path as the file system has it, when the path exists; "" otherwise
// (and for a path that ends in "/").
std::string LongNameOf(const std::string& path);
std::string ShortNameOf(const std::string& path);
// Each component replaced, from the end towards the start, by LongNameOf (ShortNameOf) of the path
// up to it; the part before the first "/" stays; a component that does not exist becomes empty, so
// its "/" stays with nothing after it.
std::string LongPathOf(const std::string& path);
std::string ShortPathOf(const std::string& path);
// The high 32 bits of a file's version (major in the high word, minor in the low word): 0, files
// here carry no version information.
uint32_t FileVersionMS(const std::string& fileName);
// The shell's version: every shell feature the controls ask for is there (6.0).
uint32_t ShellVersion();

// Command lines. A token: blank and control characters (1 to 32) skipped, any "" opening it
// skipped, then the characters up to the next blank or control character, where a double quote
// starts a run copied without its quotes up to the next double quote (blanks inside belong to
// the token).
int32_t CountCommandLineParams(const std::string& commandLine);
// Token number index (0 is the program), or "" past the end.
std::string CommandLineParam(const std::string& commandLine, int32_t index);
// Program = token 0; arguments = the other tokens joined by single blanks, one that holds a blank
// put between double quotes.
void SplitProgramAndArguments(const std::string& commandLine, std::string& program, std::string& arguments);
