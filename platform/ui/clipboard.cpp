#include "platform/ui/clipboard.h"

#include <QtCore/QMimeData>
#include <QtCore/QThread>
#include <QtGui/QClipboard>
#include <QtGui/QGuiApplication>
#include <QtGui/QImage>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>

#include "platform/gdi/bitmap.h"
#include "platform/gdi/packed_dib.h"
#include "platform/gdi/picture.h"
#include "platform/system/memory.h"
#include "platform/ui/string_list.h"

namespace {

constexpr UINT kFirstRegistered = 0xC000;
const char kMimePrefix[] = "application/x-brimvale-clipboard-";

struct ClipboardState {
  std::mutex lock;
  std::thread::id owner;  // the thread that has it open
  int openCount = 0;
  // The data by format, in the order it was put; blocks of GlobalAlloc, or the bitmap for CF_BITMAP.
  std::vector<std::pair<UINT, void*>> data;
  bool changed = false;
  // The toolkit's data the blocks stand for: its address and the count of the toolkit's changes
  // then (data put anew may come at the address of data that went).
  const QMimeData* seen = nullptr;
  uint64_t seenChanges = 0;
  uint64_t changes = 0;
  bool watching = false;
  std::vector<std::string> names;   // registered names, from kFirstRegistered on

  // The blocks still held at exit go with the process's clipboard.
  ~ClipboardState();
};

ClipboardState& State() {
  static ClipboardState s;
  return s;
}

// The data this program last handed to the toolkit's clipboard, while the toolkit still holds it
// (its destructor clears this when the toolkit lets it go). A plain pointer, so that the toolkit may
// free the data at any point of the exit.
const QMimeData* published = nullptr;

class TPublishedMimeData : public QMimeData {
 public:
  ~TPublishedMimeData() override {
    if (published == this) published = nullptr;
  }
};

// True while the clipboard is open and this program has emptied it or put data since it opened:
// until it is closed and handed on, what was put is the clipboard's content.
bool Filling() {
  ClipboardState& s = State();
  std::lock_guard<std::mutex> g(s.lock);
  return s.openCount > 0 && s.changed;
}

bool OpenHere() {
  ClipboardState& s = State();
  std::lock_guard<std::mutex> g(s.lock);
  return s.openCount > 0 && s.owner == std::this_thread::get_id();
}

bool OnGuiThread() {
  auto* app = QGuiApplication::instance();
  return app && QThread::currentThread() == app->thread();
}

void FreeData(UINT format, void* block) {
  if (format == CF_BITMAP) DeleteObject(static_cast<HBITMAP>(block));
  else GlobalFree(block);
}

// The drawing layer's object table is never destroyed, so a bitmap can still be deleted here.
ClipboardState::~ClipboardState() {
  for (auto& [f, block] : data) FreeData(f, block);
}

void* Find(UINT format) {
  for (auto& [f, block] : State().data)
    if (f == format) return block;
  return nullptr;
}

void Put(UINT format, void* block) {
  auto& data = State().data;
  for (auto& [f, old] : data)
    if (f == format) {
      if (old != block) FreeData(f, old);
      old = block;
      return;
    }
  data.emplace_back(format, block);
}

void ClearData() {
  for (auto& [f, block] : State().data) FreeData(f, block);
  State().data.clear();
}

void* BlockOf(const void* bytes, size_t size) {
  void* block = GlobalAlloc(GMEM_MOVEABLE, size);
  if (block && size) std::memcpy(block, bytes, size);
  return block;
}

std::string NameOf(UINT format) {
  auto& names = State().names;
  if (format < kFirstRegistered || format - kFirstRegistered >= names.size()) return std::string();
  return names[format - kFirstRegistered];
}

UINT Register(const std::string& name) {
  auto& names = State().names;
  for (size_t i = 0; i < names.size(); ++i)
    if (SameText(names[i], name)) return static_cast<UINT>(kFirstRegistered + i);
  names.push_back(name);
  return static_cast<UINT>(kFirstRegistered + names.size() - 1);
}

// A packed DIB (24 bits, bottom-up) of a toolkit image.
std::vector<uint8_t> PackedDibOf(const QImage& image) {
  QImage rgb = image.convertToFormat(QImage::Format_RGB32);
  BITMAPINFO info{};
  info.bmiHeader.biWidth = rgb.width();
  info.bmiHeader.biHeight = -rgb.height();
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bmp) return {};
  for (int y = 0; y < rgb.height(); ++y)
    std::memcpy(static_cast<uint8_t*>(bits) + static_cast<size_t>(y) * rgb.width() * 4, rgb.constScanLine(y),
                static_cast<size_t>(rgb.width()) * 4);
  std::vector<uint8_t> packed = PackedDIBFromBitmap(bmp, 24);
  DeleteObject(bmp);
  return packed;
}

// The toolkit image of a packed DIB (null for invalid data).
QImage ImageOf(const void* dib, size_t size) {
  HBITMAP bmp = BitmapFromPackedDIB(dib, size);
  if (!bmp) return QImage();
  std::vector<uint8_t> top = PackedDIBFromBitmap(bmp, 32, true);
  DeleteObject(bmp);
  const BITMAPINFO* info = nullptr;
  const void* bits = nullptr;
  if (!ParsePackedDIB(top.data(), top.size(), &info, &bits)) return QImage();
  int w = info->bmiHeader.biWidth, h = std::abs(info->bmiHeader.biHeight);
  return QImage(static_cast<const uchar*>(bits), w, h, w * 4, QImage::Format_RGB32).copy();
}

// Counts the toolkit's clipboard changes from the first use on.
void Watch() {
  ClipboardState& s = State();
  if (s.watching) return;
  s.watching = true;
  QObject::connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, [] { ++State().changes; });
}

// Brings the blocks up to what the toolkit's clipboard holds now (another program may have changed
// it); what this program put there stays as it was put.
void Sync() {
  if (!OnGuiThread()) return;
  Watch();
  ClipboardState& s = State();
  // Data being put replaces whatever the toolkit held before, also when the toolkit's notice of an
  // earlier change comes only now.
  if (Filling()) return;
  const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
  // The toolkit still holds our own data: the blocks are that data exactly, whatever notices of a
  // change arrive late (a desktop clipboard reports our own set after the fact). Its change count
  // does not tell, and rebuilding the blocks from it would lose what the toolkit cannot carry
  // (the bitmap, the DIB's own depth, bytes after a text's end).
  if (mime && mime == published) {
    s.seen = mime;
    s.seenChanges = s.changes;
    return;
  }
  if (mime == s.seen && s.changes == s.seenChanges) return;
  ClearData();
  s.seen = mime;
  s.seenChanges = s.changes;
  if (!mime) return;
  if (mime->hasText()) {
    std::string text = mime->text().toStdString(), crlf;
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) crlf += '\r';
      crlf += text[i];
    }
    Put(CF_TEXT, BlockOf(crlf.c_str(), crlf.size() + 1));
  }
  // A picture as the toolkit gives it, else the first image file another program offers (a program
  // may offer only its PNG or BMP bytes).
  QImage image;
  if (mime->hasImage()) image = qvariant_cast<QImage>(mime->imageData());
  for (const QString& f : mime->formats()) {
    if (!image.isNull()) break;
    if (f.startsWith(QLatin1String("image/"))) image.loadFromData(mime->data(f));
  }
  if (!image.isNull()) {
    std::vector<uint8_t> dib = PackedDibOf(image);
    if (!dib.empty()) Put(CF_DIB, BlockOf(dib.data(), dib.size()));
  }
  // An enhanced metafile another program offers, as its bytes (the first of its two names).
  for (const QString& f : mime->formats()) {
    if (f != QLatin1String("image/emf") && f != QLatin1String("image/x-emf")) continue;
    QByteArray bytes = mime->data(f);
    if (!bytes.isEmpty()) Put(CF_ENHMETAFILE, BlockOf(bytes.constData(), static_cast<size_t>(bytes.size())));
    break;
  }
  for (const QString& f : mime->formats()) {
    std::string name;
    if (f == QLatin1String("image/png")) name = "PNG";
    else if (f.startsWith(QLatin1String(kMimePrefix))) name = f.mid(static_cast<int>(std::strlen(kMimePrefix))).toStdString();
    if (name.empty()) continue;
    QByteArray bytes = mime->data(f);
    Put(Register(name), BlockOf(bytes.constData(), static_cast<size_t>(bytes.size())));
  }
}

// Hands what this program put to the toolkit's clipboard, for other programs.
void Publish() {
  ClipboardState& s = State();
  if (!s.changed || !OnGuiThread()) return;
  s.changed = false;
  auto* mime = new TPublishedMimeData;
  for (auto& [format, block] : s.data) {
    size_t size = format == CF_BITMAP ? 0 : GlobalSize(block);
    auto* bytes = static_cast<const char*>(block);
    if (format == CF_TEXT) {
      std::string text(bytes, strnlen(bytes, size)), lf;
      for (char c : text)
        if (c != '\r') lf += c;
      mime->setText(QString::fromStdString(lf));
    } else if (format == CF_DIB) {
      QImage image = ImageOf(block, size);
      if (!image.isNull()) mime->setImageData(image);
    } else if (format == CF_ENHMETAFILE) {
      const QByteArray bytes(static_cast<const char*>(block), static_cast<int>(size));
      mime->setData(QStringLiteral("image/emf"), bytes);
      mime->setData(QStringLiteral("image/x-emf"), bytes);
    } else if (format >= kFirstRegistered) {
      std::string name = NameOf(format);
      QString type = SameText(name, "PNG") ? QStringLiteral("image/png")
                                           : QString::fromLatin1(kMimePrefix) + QString::fromStdString(name);
      mime->setData(type, QByteArray(bytes, static_cast<int>(size)));
    }
  }
  Watch();
  QGuiApplication::clipboard()->setMimeData(mime);
  s.seen = QGuiApplication::clipboard()->mimeData();
  s.seenChanges = s.changes;
  published = s.seen == mime ? mime : nullptr;
}

}  // namespace

bool OpenClipboard(HWND) {
  ClipboardState& s = State();
  std::lock_guard<std::mutex> g(s.lock);
  if (s.openCount > 0 && s.owner != std::this_thread::get_id()) return false;
  s.owner = std::this_thread::get_id();
  ++s.openCount;
  return true;
}

bool CloseClipboard() {
  ClipboardState& s = State();
  {
    std::lock_guard<std::mutex> g(s.lock);
    if (s.openCount == 0 || s.owner != std::this_thread::get_id()) return false;
    if (--s.openCount > 0) return true;
  }
  Publish();
  return true;
}

bool EmptyClipboard() {
  if (!OpenHere()) return false;
  ClearData();
  State().changed = true;
  return true;
}

HANDLE SetClipboardData(UINT format, HANDLE data) {
  if (!OpenHere() || !data || format == 0) return nullptr;
  if (format == CF_BITMAP) {
    // A bitmap is also there as a DIB, as on the platform.
    std::vector<uint8_t> dib = PackedDIBFromBitmap(static_cast<HBITMAP>(data), 0);
    if (dib.empty()) return nullptr;
    Put(CF_DIB, BlockOf(dib.data(), dib.size()));
  }
  Put(format, data);
  State().changed = true;
  return data;
}

HANDLE GetClipboardData(UINT format) {
  if (!OpenHere()) return nullptr;
  Sync();
  if (void* block = Find(format)) return block;
  if (format == CF_BITMAP) {
    // Made from the DIB on demand; the clipboard keeps it.
    void* dib = Find(CF_DIB);
    if (!dib) return nullptr;
    HBITMAP bmp = BitmapFromPackedDIB(dib, GlobalSize(dib));
    if (bmp) State().data.emplace_back(CF_BITMAP, bmp);
    return bmp;
  }
  return nullptr;
}

bool IsClipboardFormatAvailable(UINT format) {
  Sync();
  if (Find(format)) return true;
  return format == CF_BITMAP && Find(CF_DIB);
}

int CountClipboardFormats() {
  Sync();
  int n = static_cast<int>(State().data.size());
  if (Find(CF_DIB) && !Find(CF_BITMAP)) ++n;
  return n;
}

UINT EnumClipboardFormats(UINT format) {
  if (!OpenHere()) return 0;
  Sync();
  std::vector<UINT> formats;
  for (auto& [f, block] : State().data) formats.push_back(f);
  if (Find(CF_DIB) && !Find(CF_BITMAP)) formats.push_back(CF_BITMAP);
  if (format == 0) return formats.empty() ? 0 : formats.front();
  auto it = std::find(formats.begin(), formats.end(), format);
  return it == formats.end() || it + 1 == formats.end() ? 0 : *(it + 1);
}

UINT RegisterClipboardFormat(const char* name) {
  if (!name || !*name) return 0;
  std::lock_guard<std::mutex> g(State().lock);
  return Register(name);
}

int GetClipboardFormatName(UINT format, char* buffer, int maxCount) {
  std::string name;
  {
    std::lock_guard<std::mutex> g(State().lock);
    name = NameOf(format);
  }
  if (name.empty() || !buffer || maxCount <= 0) return 0;
  size_t n = std::min(name.size(), static_cast<size_t>(maxCount - 1));
  std::memcpy(buffer, name.data(), n);
  buffer[n] = '\0';
  return static_cast<int>(n);
}

// ------------------------------------------------------------------------------------------ TClipboard

TClipboard* Clipboard() {
  static TClipboard clipboard;
  return &clipboard;
}

void TClipboard::Open() {
  if (openCount_ == 0) {
    // Another user may hold it for a moment: a few tries, then the framework's error.
    bool opened = false;
    for (int i = 0; i < 10 && !(opened = OpenClipboard(nullptr)); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (!opened) throw Exception("Cannot open clipboard");
    emptied_ = false;
  }
  ++openCount_;
}

void TClipboard::Close() {
  if (openCount_ == 0) return;
  if (--openCount_ == 0) CloseClipboard();
}

void TClipboard::Clear() {
  Open();
  EmptyClipboard();
  emptied_ = true;
  Close();
}

void TClipboard::Adding() {
  if (!emptied_) {
    EmptyClipboard();
    emptied_ = true;
  }
}

bool TClipboard::HasFormat(UINT format) { return IsClipboardFormatAvailable(format); }

int TClipboard::FormatCount() { return CountClipboardFormats(); }

UINT TClipboard::Formats(int index) {
  Open();
  UINT f = 0;
  for (int i = 0; i <= index; ++i) {
    f = EnumClipboardFormats(f);
    if (f == 0) break;
  }
  Close();
  if (f == 0) throw EStringListError(Format("List index out of bounds (%d)", index));
  return f;
}

std::string TClipboard::AsText() {
  std::vector<uint8_t> bytes = GetAsBytes(CF_TEXT);
  auto* p = reinterpret_cast<const char*>(bytes.data());
  return std::string(p, strnlen(p, bytes.size()));
}

void TClipboard::SetAsText(const std::string& text) { SetAsBytes(CF_TEXT, text.c_str(), text.size() + 1); }

std::vector<uint8_t> TClipboard::GetAsBytes(UINT format) {
  Open();
  std::vector<uint8_t> out;
  if (void* block = GetClipboardData(format); block && format != CF_BITMAP) {
    auto* p = static_cast<const uint8_t*>(block);
    out.assign(p, p + GlobalSize(block));
  }
  Close();
  return out;
}

void TClipboard::SetAsBytes(UINT format, const void* data, size_t size) {
  void* block = BlockOf(data, size);
  if (!block) throw EOutOfMemory("Out of memory");
  SetAsHandle(format, block);
}

HANDLE TClipboard::GetAsHandle(UINT format) {
  Open();
  HANDLE h = GetClipboardData(format);
  Close();
  return h;
}

void TClipboard::SetAsHandle(UINT format, HANDLE value) {
  Open();
  try {
    Adding();
    if (!SetClipboardData(format, value)) {
      if (format == CF_BITMAP) DeleteObject(static_cast<HBITMAP>(value));
      else GlobalFree(value);
      throw Exception("Cannot open clipboard");
    }
  } catch (...) {
    Close();
    throw;
  }
  Close();
}

void TClipboard::Assign(TPersistent* source) {
  if (auto* bitmap = dynamic_cast<TBitmap*>(source)) {
    std::vector<uint8_t> dib = PackedDIBFromBitmap(bitmap->Handle(), 0);
    HBITMAP copy = dib.empty() ? nullptr : BitmapFromPackedDIB(dib.data(), dib.size());
    if (!copy) throw EOutOfMemory("Out of memory");
    SetAsHandle(CF_BITMAP, copy);
    return;
  }
  // Any other picture gives its own clipboard form (a picture holder, the picture it holds).
  TGraphic* graphic = dynamic_cast<TGraphic*>(source);
  if (auto* picture = dynamic_cast<TPicture*>(source)) graphic = picture->Graphic();
  if (graphic) {
    if (dynamic_cast<TBitmap*>(graphic)) {
      Assign(graphic);
      return;
    }
    uint32_t format = 0;
    HANDLE data = nullptr;
    HPALETTE palette = nullptr;
    // Open across both steps, so that formats the picture puts on the clipboard itself stay beside
    // the one it gives.
    Open();
    try {
      graphic->SaveToClipboardFormat(format, data, palette);
      // The clipboard keeps no palettes: colour tables travel inside the data.
      if (palette) DeleteObject(palette);
      if (data) SetAsHandle(format, data);
    } catch (...) {
      Close();
      throw;
    }
    Close();
    return;
  }
  TPersistent::Assign(source);
}

void TClipboard::AssignTo(TPersistent* dest) {
  if (auto* bitmap = dynamic_cast<TBitmap*>(dest)) {
    std::vector<uint8_t> dib = GetAsBytes(CF_DIB);
    HBITMAP bmp = dib.empty() ? nullptr : BitmapFromPackedDIB(dib.data(), dib.size());
    if (!bmp) throw EInvalidGraphic("Unsupported clipboard format");
    bitmap->SetHandle(bmp);
    return;
  }
  if (auto* picture = dynamic_cast<TPicture*>(dest)) {
    // The first format on the clipboard that a picture class reads.
    Open();
    try {
      for (UINT f = EnumClipboardFormats(0); f; f = EnumClipboardFormats(f)) {
        if (!TPicture::SupportsClipboardFormat(f)) continue;
        picture->LoadFromClipboardFormat(f, GetClipboardData(f), nullptr);
        Close();
        return;
      }
    } catch (...) {
      Close();
      throw;
    }
    Close();
    throw EInvalidGraphic("Unsupported clipboard format");
  }
  TPersistent::AssignTo(dest);
}
