#include "pictures/gif_extensions.h"

#include <cstring>
#include <mutex>

#include "pictures/gif_errors.h"
#include "pictures/gif_frame.h"
#include "pictures/gif_stream_io.h"
#include "platform/system/streams.h"

namespace {

template <class T>
std::unique_ptr<TGIFExtension> Make(TGIFSubImage* subImage) {
  return std::make_unique<T>(subImage);
}

const TGIFExtensionClass* ResolveSelf(const TGIFExtensionClass* self) { return self; }

// ---- Registries ---------------------------------------------------------------------------------

struct TLabelRecord {
  uint8_t label;
  const TGIFExtensionClass* cls;
};
struct TAppRecord {
  std::array<char, 11> identifier;
  const TGIFExtensionClass* cls;
};

struct TRegistries {
  std::mutex lock;
  bool built = false;
  std::vector<TLabelRecord> labels;
  std::vector<TAppRecord> apps;
};

TRegistries& Registries() {
  static TRegistries r;
  return r;
}

std::array<char, 11> IdentifierOf(const std::string& text) {
  std::array<char, 11> id{};
  std::memcpy(id.data(), text.data(), std::min<size_t>(11, text.size()));
  return id;
}

void BuildLocked(TRegistries& r) {
  if (r.built) return;
  r.built = true;
  r.labels = {{0x01, &TGIFTextExtension::ClassInfo},
              {0xF9, &TGIFGraphicControlExtension::ClassInfo},
              {0xFE, &TGIFCommentExtension::ClassInfo},
              {0xFF, &TGIFApplicationExtension::ClassInfo}};
  r.apps = {{IdentifierOf("NETSCAPE2.0"), &TGIFAppExtNSLoop::ClassInfo},
            {IdentifierOf("ANIMEXTS1.0"), &TGIFAppExtNSLoop::ClassInfo}};
}

// After the label of an application extension: the block size, then the identifier decides.
const TGIFExtensionClass* ResolveApplication(TStream& Stream) {
  const int64_t start = Stream.Position();
  uint8_t size = 0;
  if (Stream.Read(&size, 1) != 1) return nullptr;
  if (size == 10) {
    char id[10];
    if (Stream.Read(id, 10) != 10) return nullptr;
    return &TGIFUnknownAppExtension::ClassInfo;
  }
  if (size >= 11) {
    char id[11];
    if (Stream.Read(id, 11) == 11) {
      if (const TGIFExtensionClass* cls = FindAppExtension(id)) return cls;
      if (size == 11) return &TGIFUnknownAppExtension::ClassInfo;
    }
  }
  // Any other size: this class reads (and refuses) the block.
  Stream.Seek(start, soBeginning);
  return &TGIFApplicationExtension::ClassInfo;
}

}  // namespace

const TGIFExtensionClass TGIFGraphicControlExtension::ClassInfo = {
    "TGIFGraphicControlExtension", &Make<TGIFGraphicControlExtension>,
    [](TStream&) { return ResolveSelf(&TGIFGraphicControlExtension::ClassInfo); }};
const TGIFExtensionClass TGIFTextExtension::ClassInfo = {
    "TGIFTextExtension", &Make<TGIFTextExtension>, [](TStream&) { return ResolveSelf(&TGIFTextExtension::ClassInfo); }};
const TGIFExtensionClass TGIFCommentExtension::ClassInfo = {
    "TGIFCommentExtension", &Make<TGIFCommentExtension>,
    [](TStream&) { return ResolveSelf(&TGIFCommentExtension::ClassInfo); }};
const TGIFExtensionClass TGIFApplicationExtension::ClassInfo = {"TGIFApplicationExtension",
                                                                 &Make<TGIFApplicationExtension>, &ResolveApplication};
const TGIFExtensionClass TGIFUnknownAppExtension::ClassInfo = {
    "TGIFUnknownAppExtension", &Make<TGIFUnknownAppExtension>,
    [](TStream&) { return ResolveSelf(&TGIFUnknownAppExtension::ClassInfo); }};
const TGIFExtensionClass TGIFAppExtNSLoop::ClassInfo = {
    "TGIFAppExtNSLoop", &Make<TGIFAppExtNSLoop>, [](TStream&) { return ResolveSelf(&TGIFAppExtNSLoop::ClassInfo); }};

void RegisterExtension(uint8_t Label, const TGIFExtensionClass* Class) {
  TRegistries& r = Registries();
  std::lock_guard<std::mutex> g(r.lock);
  BuildLocked(r);
  r.labels.push_back({Label, Class});
}

void RegisterAppExtension(const std::string& Identifier, const TGIFExtensionClass* Class) {
  TRegistries& r = Registries();
  std::lock_guard<std::mutex> g(r.lock);
  BuildLocked(r);
  r.apps.push_back({IdentifierOf(Identifier), Class});
}

const TGIFExtensionClass* FindExtension(uint8_t Label) {
  TRegistries& r = Registries();
  std::lock_guard<std::mutex> g(r.lock);
  BuildLocked(r);
  for (auto it = r.labels.rbegin(); it != r.labels.rend(); ++it)
    if (it->label == Label) return it->cls;
  return nullptr;
}

const TGIFExtensionClass* FindAppExtension(const char* Identifier) {
  TRegistries& r = Registries();
  std::lock_guard<std::mutex> g(r.lock);
  BuildLocked(r);
  for (auto it = r.apps.rbegin(); it != r.apps.rend(); ++it)
    if (std::memcmp(it->identifier.data(), Identifier, 11) == 0) return it->cls;
  return nullptr;
}

void FreeExtensionRegistries() {
  TRegistries& r = Registries();
  std::lock_guard<std::mutex> g(r.lock);
  r.labels.clear();
  r.apps.clear();
  r.built = false;
}

// ---- TGIFExtension ------------------------------------------------------------------------------

TGIFExtension::TGIFExtension(TGIFSubImage* SubImage)
    : TGIFItem(SubImage ? SubImage->Image() : nullptr), subImage_(SubImage) {}

void TGIFExtension::SaveToStream(TStream& Stream) {
  WriteByte(Stream, bsExtensionIntroducer);
  WriteByte(Stream, ExtensionType());
  SaveBody(Stream);
}

void TGIFExtension::LoadFromStream(TStream& Stream) {
  uint8_t head[2];
  ReadCheck(Stream, head, 2);
  if (head[0] != bsExtensionIntroducer) GIFError(sBadExtensionIntroducer);
  if (head[1] != ExtensionType()) GIFError(sBadExtensionInstance);
  LoadBody(Stream);
}

// ---- TGIFExtensionList --------------------------------------------------------------------------

TGIFExtensionList::TGIFExtensionList(TGIFSubImage* SubImage)
    : TGIFList<TGIFExtension>(SubImage ? SubImage->Image() : nullptr), subImage_(SubImage) {}

void TGIFExtensionList::LoadFromStream(TStream& Stream, TGIFSubImage* Parent) {
  uint8_t b = 0;
  if (Stream.Read(&b, 1) != 1) return;
  while (b != bsImageDescriptor && b != bsTrailer) {
    if (b != bsExtensionIntroducer) {
      Warning(GIFWarningSeverity, sBadExtensionIntroducer);
      break;
    }
    // The label's class, then whatever class that one says should read this block.
    const int64_t label = Stream.Position();
    const TGIFExtensionClass* cls = nullptr;
    uint8_t type = 0;
    if (Stream.Read(&type, 1) == 1) cls = FindExtension(type);
    for (int32_t hops = 0; cls && hops < 16; ++hops) {
      Stream.Seek(label + 1, soBeginning);
      const TGIFExtensionClass* next = cls->Resolve(Stream);
      if (next == cls) break;
      cls = next;
    }
    Stream.Seek(label, soBeginning);
    if (!cls) GIFError(sUnknownExtension);
    Stream.Seek(-1, soCurrent);
    std::unique_ptr<TGIFExtension> extension = cls->Create(Parent ? Parent : subImage_);
    extension->LoadFromStream(Stream);
    Add(std::move(extension));
    if (Stream.Read(&b, 1) != 1) return;
  }
  Stream.Seek(-1, soCurrent);
}

// ---- Graphic control ------------------------------------------------------------------------------

void TGIFGraphicControlExtension::SetTransparent(bool Value) {
  packed_ = static_cast<uint8_t>(Value ? packed_ | 1 : packed_ & ~1);
}

void TGIFGraphicControlExtension::SetTransparentColorIndex(uint8_t Value) {
  TGIFColorMap* map = SubImage() ? SubImage()->ActiveColorMap() : nullptr;
  if (map && map->Count() > 0 && Value >= map->Count()) {
    Warning(GIFWarningSeverity, sInvalidColor);
    Value = 0;
  }
  transparentIndex_ = Value;
}

TColor TGIFGraphicControlExtension::TransparentColor() {
  TGIFColorMap* map = SubImage() ? SubImage()->ActiveColorMap() : nullptr;
  if (!map) GIFError(sEmptyColorMap);
  return map->Colors(transparentIndex_);
}

void TGIFGraphicControlExtension::SaveBody(TStream& Stream) {
  const uint8_t body[6] = {4, packed_, static_cast<uint8_t>(delay_), static_cast<uint8_t>(delay_ >> 8),
                           transparentIndex_, 0};
  Stream.WriteBuffer(body, 6);
}

void TGIFGraphicControlExtension::LoadBody(TStream& Stream) {
  const int64_t start = Stream.Position();
  uint8_t body[6] = {};
  const int32_t got = Stream.Read(body, 6);
  packed_ = body[1];
  delay_ = static_cast<uint16_t>(body[2] | body[3] << 8);
  transparentIndex_ = body[4];
  if (got < 6) {
    // What was read stays, but a cut block makes no frame transparent.
    Warning(GIFWarningSeverity, sPrematureEOF);
    packed_ &= ~1;
    return;
  }
  // A block of another size than 4 ends where its own size and its sub-blocks say.
  if (body[0] != 4) {
    Stream.Seek(start + 1 + body[0], soBeginning);
    for (int32_t n = ReadByte(Stream); n != 0; n = ReadByte(Stream)) Stream.Seek(n, soCurrent);
  }
}

// ---- Plain text and comments ------------------------------------------------------------------------

void TGIFTextExtension::SaveBody(TStream& Stream) {
  uint8_t body[13] = {blockSize_};
  const uint16_t words[4] = {Left, Top, GridWidth, GridHeight};
  for (int i = 0; i < 4; ++i) {
    body[1 + 2 * i] = static_cast<uint8_t>(words[i]);
    body[2 + 2 * i] = static_cast<uint8_t>(words[i] >> 8);
  }
  body[9] = CharWidth;
  body[10] = CharHeight;
  body[11] = ForegroundColorIndex;
  body[12] = BackgroundColorIndex;
  Stream.WriteBuffer(body, 13);
  WriteStrings(Stream, Text);
}

void TGIFTextExtension::LoadBody(TStream& Stream) {
  uint8_t body[13];
  ReadCheck(Stream, body, 13);
  blockSize_ = body[0];
  Left = static_cast<uint16_t>(body[1] | body[2] << 8);
  Top = static_cast<uint16_t>(body[3] | body[4] << 8);
  GridWidth = static_cast<uint16_t>(body[5] | body[6] << 8);
  GridHeight = static_cast<uint16_t>(body[7] | body[8] << 8);
  CharWidth = body[9];
  CharHeight = body[10];
  ForegroundColorIndex = body[11];
  BackgroundColorIndex = body[12];
  ReadStrings(Stream, Text);
}

void TGIFCommentExtension::SaveBody(TStream& Stream) { WriteStrings(Stream, Text); }

void TGIFCommentExtension::LoadBody(TStream& Stream) { ReadStrings(Stream, Text); }

// ---- Application extensions ---------------------------------------------------------------------

void TGIFApplicationExtension::SetIdentifier(const std::string& Text) { Identifier = IdentifierOf(Text); }

void TGIFApplicationExtension::SaveBody(TStream& Stream) {
  WriteByte(Stream, 11);
  Stream.WriteBuffer(Identifier.data(), 11);
  SaveData(Stream);
}

void TGIFApplicationExtension::LoadBody(TStream& Stream) {
  const uint8_t size = ReadByte(Stream);
  if (size < 10) GIFError(sBadAppExtensionSize);
  Identifier.fill(0);
  // A 10-byte identifier (an old form) reads as one with a zero last byte.
  ReadCheck(Stream, Identifier.data(), std::min<int32_t>(size, 11));
  if (size > 11) Stream.Seek(size - 11, soCurrent);
  LoadData(Stream);
}

void TGIFApplicationExtension::SaveData(TStream&) { GIFError(sBadAppExtensionSize); }

void TGIFApplicationExtension::LoadData(TStream&) { GIFError(sBadAppExtensionSize); }

void TGIFUnknownAppExtension::SaveData(TStream& Stream) {
  for (const TGIFBlock& block : Blocks) {
    if (block.Data.empty()) continue;
    WriteByte(Stream, static_cast<uint8_t>(block.Data.size()));
    Stream.WriteBuffer(block.Data.data(), static_cast<int32_t>(block.Data.size()));
  }
  WriteByte(Stream, 0);
}

void TGIFUnknownAppExtension::LoadData(TStream& Stream) {
  Blocks.clear();
  for (uint8_t size = ReadByte(Stream); size != 0; size = ReadByte(Stream)) {
    TGIFBlock block;
    block.Data.resize(size);
    ReadCheck(Stream, block.Data.data(), size);
    Blocks.push_back(std::move(block));
  }
}

TGIFAppExtNSLoop::TGIFAppExtNSLoop(TGIFSubImage* SubImage) : TGIFApplicationExtension(SubImage) {
  SetIdentifier("NETSCAPE2.0");
}

void TGIFAppExtNSLoop::SaveData(TStream& Stream) {
  const uint8_t loop[4] = {3, 1, static_cast<uint8_t>(Loops), static_cast<uint8_t>(Loops >> 8)};
  Stream.WriteBuffer(loop, 4);
  if (BufferSize != 0) {
    const uint8_t buffer[6] = {5, 2, static_cast<uint8_t>(BufferSize), static_cast<uint8_t>(BufferSize >> 8),
                               static_cast<uint8_t>(BufferSize >> 16), static_cast<uint8_t>(BufferSize >> 24)};
    Stream.WriteBuffer(buffer, 6);
  }
  WriteByte(Stream, 0);
}

void TGIFAppExtNSLoop::LoadData(TStream& Stream) {
  for (uint8_t size = ReadByte(Stream); size != 0; size = ReadByte(Stream)) {
    const uint8_t id = ReadByte(Stream);
    if ((id & 7) == 1) {
      if (size < 3) GIFError(sInvalidData);
      uint8_t v[2];
      ReadCheck(Stream, v, 2);
      Loops = static_cast<uint16_t>(v[0] | v[1] << 8);
      Stream.Seek(size - 3, soCurrent);
    } else if ((id & 7) == 2) {
      if (size < 5) GIFError(sInvalidData);
      uint8_t v[4];
      ReadCheck(Stream, v, 4);
      BufferSize = static_cast<uint32_t>(v[0] | v[1] << 8 | v[2] << 16 | static_cast<uint32_t>(v[3]) << 24);
      Stream.Seek(size - 5, soCurrent);
    } else {
      Stream.Seek(size - 1, soCurrent);
    }
  }
}
