#pragma once
// The default pictures of the file and folder edits' buttons: a file and a folder, each in a classic
// and a themed look, 14 x 12 on magenta (transparent). They are bitmap resources registered at the
// library's start-up and loaded, each once, into one image list of the process.
class TCustomImageList;

constexpr const char* kFilenameEditGlyph = "XcFilenameEditGLYPH";
constexpr const char* kFilenameEditXPGlyph = "XcFilenameEditXPGLYPH";
constexpr const char* kDirectoryEditGlyph = "XcDirectoryEditGLYPH";
constexpr const char* kDirectoryEditXPGlyph = "XcDirectoryEditXPGLYPH";

// Registers the four pictures (start-up).
void RegisterEditGlyphResources();
// The process's 14 x 12 image list of the pictures, made on first use.
TCustomImageList* DefaultEditImages();
// The picture's index in that list, loaded on its first use; -1 when it cannot be loaded.
int DefaultEditImageIndex(const char* resource);
// Frees the list (shut-down).
void FreeDefaultEditImages();
