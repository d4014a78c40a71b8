#include "controls/xc_edit_glyphs.h"

#include <map>
#include <memory>
#include <string>

#include "controls/xc_bitmap_utils.h"
#include "platform/gdi/bitmap.h"
#include "platform/ui/image_list.h"

namespace {

constexpr int kWidth = 14, kHeight = 12;
constexpr TColor kMagenta = TColorOf(0x00FF00FF);

// A sheet with a folded corner: K its outline, W its paper, G the text lines (themed: B blue lines).
constexpr const char* kFile[kHeight] = {
    "MMMKKKKKKKMMMM", "MMMKWWWWWKKMMM", "MMMKWWWWWKWKMM", "MMMKWGGGWKKKKM", "MMMKWWWWWWWWKM", "MMMKWGGGGGGWKM",
    "MMMKWWWWWWWWKM", "MMMKWGGGGGGWKM", "MMMKWWWWWWWWKM", "MMMKWGGGGGGWKM", "MMMKWWWWWWWWKM", "MMMKKKKKKKKKKM",
};
constexpr const char* kFileXP[kHeight] = {
    "MMMDDDDDDDMMMM", "MMMDWWWWWDDMMM", "MMMDWWWWWDLDMM", "MMMDWBBBWDDDDM", "MMMDWWWWWWWWDM", "MMMDWBBBBBBWDM",
    "MMMDWWWWWWWWDM", "MMMDWBBBBBBWDM", "MMMDWWWWWWWWDM", "MMMDWBBBBBBWDM", "MMMDLLLLLLLLDM", "MMMDDDDDDDDDDM",
};
// A folder: K its outline, Y its body, O the shaded back (themed: D outline, L light front).
constexpr const char* kFolder[kHeight] = {
    "MMMMMMMMMMMMMM", "MKKKKMMMMMMMMM", "KOOOOKKKKKKKMM", "KOOOOOOOOOOKMM", "KOKKKKKKKKKKKK", "KOKYYYYYYYYYYK",
    "KKYYYYYYYYYYKM", "KKYYYYYYYYYYKM", "KYYYYYYYYYYKMM", "KYYYYYYYYYYKMM", "KKKKKKKKKKKMMM", "MMMMMMMMMMMMMM",
};
constexpr const char* kFolderXP[kHeight] = {
    "MMMMMMMMMMMMMM", "MDDDDMMMMMMMMM", "DOOOODDDDDDDMM", "DOOOOOOOOOODMM", "DODDDDDDDDDDDD", "DODLLLLLLLLLLD",
    "DDLYYYYYYYYYDM", "DDYYYYYYYYYYDM", "DYYYYYYYYYYDMM", "DYYYYYYYYYYDMM", "DDDDDDDDDDDMMM", "MMMMMMMMMMMMMM",
};

COLORREF ColorOfLetter(char c) {
  switch (c) {
    case 'M': return RGB(0xFF, 0x00, 0xFF);
    case 'K': return RGB(0x00, 0x00, 0x00);
    case 'W': return RGB(0xFF, 0xFF, 0xFF);
    case 'G': return RGB(0x80, 0x80, 0x80);
    case 'B': return RGB(0x31, 0x6A, 0xC5);
    case 'D': return RGB(0x3C, 0x4C, 0x78);
    case 'L': return RGB(0xFF, 0xF4, 0xC8);
    case 'Y': return RGB(0xFF, 0xD8, 0x50);
    case 'O': return RGB(0xC8, 0xA0, 0x28);
    default: return RGB(0, 0, 0);
  }
}

std::unique_ptr<TImageList> g_images;
std::map<std::string, int> g_indexes;

}  // namespace

void RegisterEditGlyphResources() {
  const struct {
    const char* name;
    const char* const* rows;
  } pictures[] = {{kFilenameEditGlyph, kFile},
                  {kFilenameEditXPGlyph, kFileXP},
                  {kDirectoryEditGlyph, kFolder},
                  {kDirectoryEditXPGlyph, kFolderXP}};
  for (const auto& p : pictures) {
    std::vector<uint8_t> file = BitmapFileFromRows(p.rows, kWidth, kHeight, ColorOfLetter);
    RegisterBitmapResource(p.name, file.data(), file.size());
  }
}

TCustomImageList* DefaultEditImages() {
  if (!g_images) g_images = std::make_unique<TImageList>(nullptr, kWidth, kHeight);
  return g_images.get();
}

int DefaultEditImageIndex(const char* resource) {
  auto it = g_indexes.find(resource);
  if (it != g_indexes.end()) return it->second;
  int index = -1;
  try {
    TBitmap picture;
    picture.LoadFromResourceName(0, resource);
    index = DefaultEditImages()->AddMasked(&picture, kMagenta);
  } catch (const Exception&) {
    index = -1;
  }
  g_indexes[resource] = index;
  return index;
}

void FreeDefaultEditImages() {
  g_images.reset();
  g_indexes.clear();
}
