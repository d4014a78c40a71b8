#include "platform/gdi/picture.h"

#include <mutex>

#include "platform/gdi/metafile.h"
#include "platform/system/streams.h"

namespace {

struct PictureFormat {
  std::string extension;  // lower case, without the dot
  std::string description;
  std::string className;
  TGraphicFactory factory;
};

std::mutex& RegistryLock() {
  static std::mutex m;
  return m;
}

std::vector<PictureFormat>& Registry() {
  static std::vector<PictureFormat> formats = {
      {"bmp", "Bitmaps", "TBitmap", [] { return std::unique_ptr<TGraphic>(new TBitmap()); }},
      {"emf", "Enhanced Metafiles", "TMetafile", [] { return std::unique_ptr<TGraphic>(new TMetafile()); }},
      {"wmf", "Metafiles", "TMetafile", [] { return std::unique_ptr<TGraphic>(new TMetafile()); }}};
  return formats;
}

struct ClipboardPictureFormat {
  uint32_t format;
  std::string className;
  TGraphicFactory factory;
};

std::vector<ClipboardPictureFormat>& ClipboardRegistry() {
  static std::vector<ClipboardPictureFormat> formats = {
      {CF_BITMAP, "TBitmap", [] { return std::unique_ptr<TGraphic>(new TBitmap()); }},
      {CF_ENHMETAFILE, "TMetafile", [] { return std::unique_ptr<TGraphic>(new TMetafile()); }}};
  return formats;
}

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return s;
}

}  // namespace

TPicture::TPicture() = default;

TPicture::~TPicture() {
  if (graphic_) graphic_->OnChange = nullptr;
}

void TPicture::Changed() {
  if (OnChange) OnChange(this);
}

void TPicture::TakeGraphic(std::unique_ptr<TGraphic> graphic) {
  if (graphic_) graphic_->OnChange = nullptr;
  graphic_ = std::move(graphic);
  if (graphic_) graphic_->OnChange = [this](TObject*) { Changed(); };
  Changed();
}

void TPicture::SetGraphic(TGraphic* value) {
  if (!value) {
    TakeGraphic(nullptr);
    return;
  }
  if (value == graphic_.get()) return;
  std::unique_ptr<TGraphic> copy = CreateGraphic(value->ClassName());
  if (!copy) throw EInvalidGraphic(Format("Unknown picture class %s", value->ClassName().c_str()));
  copy->Assign(value);
  TakeGraphic(std::move(copy));
}

TBitmap* TPicture::Bitmap() {
  if (!dynamic_cast<TBitmap*>(graphic_.get())) TakeGraphic(std::make_unique<TBitmap>());
  return static_cast<TBitmap*>(graphic_.get());
}

void TPicture::LoadFromFile(const std::string& fileName) {
  std::string ext = ExtractFileExt(fileName);
  if (!ext.empty() && ext[0] == '.') ext.erase(0, 1);
  TGraphicFactory factory;
  {
    std::lock_guard<std::mutex> lock(RegistryLock());
    for (const PictureFormat& f : Registry())
      if (f.extension == Lower(ext)) factory = f.factory;
  }
  if (!factory) throw EInvalidGraphic(Format("Unknown picture file extension (.%s)", ext.c_str()));
  std::unique_ptr<TGraphic> graphic = factory();
  graphic->LoadFromFile(fileName);
  TakeGraphic(std::move(graphic));
}

void TPicture::SaveToFile(const std::string& fileName) {
  if (graphic_) graphic_->SaveToFile(fileName);
}

void TPicture::LoadFromClipboardFormat(uint32_t format, HANDLE data, HPALETTE palette) {
  TGraphicFactory factory;
  {
    std::lock_guard<std::mutex> lock(RegistryLock());
    for (const ClipboardPictureFormat& f : ClipboardRegistry())
      if (f.format == format) factory = f.factory;
  }
  if (!factory) throw EInvalidGraphic("Unsupported clipboard format");
  std::unique_ptr<TGraphic> graphic = factory();
  graphic->LoadFromClipboardFormat(format, data, palette);
  TakeGraphic(std::move(graphic));
}

void TPicture::SaveToClipboardFormat(uint32_t& format, HANDLE& data, HPALETTE& palette) {
  format = 0;
  data = nullptr;
  palette = nullptr;
  if (graphic_) graphic_->SaveToClipboardFormat(format, data, palette);
}

void TPicture::Assign(TPersistent* source) {
  if (!source) {
    SetGraphic(nullptr);
    return;
  }
  if (auto* p = dynamic_cast<TPicture*>(source)) {
    if (p != this) SetGraphic(p->Graphic());
    return;
  }
  if (auto* g = dynamic_cast<TGraphic*>(source)) {
    SetGraphic(g);
    return;
  }
  TPersistent::Assign(source);
}

void TPicture::RegisterFileFormat(const std::string& extension, const std::string& description,
                                  const std::string& className, TGraphicFactory factory) {
  std::lock_guard<std::mutex> lock(RegistryLock());
  std::string ext = Lower(extension);
  if (!ext.empty() && ext[0] == '.') ext.erase(0, 1);
  auto& formats = Registry();
  for (PictureFormat& f : formats)
    if (f.extension == ext) {
      f = PictureFormat{ext, description, className, std::move(factory)};
      return;
    }
  formats.push_back(PictureFormat{ext, description, className, std::move(factory)});
}

void TPicture::RegisterClipboardFormat(uint32_t format, const std::string& className, TGraphicFactory factory) {
  std::lock_guard<std::mutex> lock(RegistryLock());
  auto& formats = ClipboardRegistry();
  for (ClipboardPictureFormat& f : formats)
    if (f.format == format) {
      f = ClipboardPictureFormat{format, className, std::move(factory)};
      return;
    }
  formats.push_back(ClipboardPictureFormat{format, className, std::move(factory)});
}

bool TPicture::SupportsClipboardFormat(uint32_t format) {
  std::lock_guard<std::mutex> lock(RegistryLock());
  for (const ClipboardPictureFormat& f : ClipboardRegistry())
    if (f.format == format) return true;
  return false;
}

void TPicture::UnregisterGraphicClass(const std::string& className) {
  std::lock_guard<std::mutex> lock(RegistryLock());
  std::erase_if(Registry(), [&](const PictureFormat& f) { return f.className == className; });
  std::erase_if(ClipboardRegistry(), [&](const ClipboardPictureFormat& f) { return f.className == className; });
}

std::unique_ptr<TGraphic> TPicture::CreateGraphic(const std::string& className) {
  TGraphicFactory factory;
  {
    std::lock_guard<std::mutex> lock(RegistryLock());
    for (const PictureFormat& f : Registry())
      if (f.className == className) factory = f.factory;
  }
  return factory ? factory() : nullptr;
}

std::string TPicture::GraphicFilter(const std::string& className) {
  std::lock_guard<std::mutex> lock(RegistryLock());
  std::string all, entries;
  int count = 0;
  for (const PictureFormat& f : Registry()) {
    if (!className.empty() && f.className != className) continue;
    std::string mask = "*." + f.extension;
    all += (count ? ";" : "") + mask;
    entries += "|" + f.description + " (" + mask + ")|" + mask;
    ++count;
  }
  if (count == 0) return std::string();
  if (count == 1) return entries.substr(1);
  return "All (" + all + ")|" + all + entries;
}

std::string TPicture::GraphicExtension(const std::string& className) {
  std::lock_guard<std::mutex> lock(RegistryLock());
  for (const PictureFormat& f : Registry())
    if (f.className == className) return f.extension;
  return std::string();
}
