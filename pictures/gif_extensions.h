#pragma once
// The extension blocks of a frame ("!" and a label): graphic control, plain text, comment and
// application extensions (the looping extension and any other application's data), the registries
// that map a label or an application identifier to the class that reads the block, and the list that
// reads a frame's extensions.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "pictures/gif_item.h"
#include "platform/gdi/color.h"

class TGIFSubImage;
class TGIFExtension;

// A class of extension as the registries know it: its name, how to make one for a frame, and, given
// the stream after the label, which class should read the block (itself when no other; null when the
// block cannot be read).
struct TGIFExtensionClass {
  const char* Name;
  std::unique_ptr<TGIFExtension> (*Create)(TGIFSubImage* SubImage);
  const TGIFExtensionClass* (*Resolve)(TStream& Stream);
};

constexpr uint8_t bsExtensionIntroducer = 0x21;  // "!"
constexpr uint8_t bsImageDescriptor = 0x2C;      // ","
constexpr uint8_t bsTrailer = 0x3B;              // ";"

class TGIFExtension : public TGIFItem {
 public:
  explicit TGIFExtension(TGIFSubImage* SubImage);
  TGIFSubImage* SubImage() const { return subImage_; }
  virtual uint8_t ExtensionType() const = 0;
  virtual const TGIFExtensionClass& Class() const = 0;
  int32_t Version() const override { return 2; }
  // "!", the label, then the body.
  void SaveToStream(TStream& Stream) override;
  // Checks "!" ("Invalid extension introducer") and the label ("Internal error: Extension Instance
  // does not match Extension Label"), then reads the body.
  void LoadFromStream(TStream& Stream) override;

 protected:
  virtual void SaveBody(TStream& Stream) = 0;
  virtual void LoadBody(TStream& Stream) = 0;

 private:
  TGIFSubImage* subImage_;  // not owned
};

// A frame's extensions in file order.
class TGIFExtensionList : public TGIFList<TGIFExtension> {
 public:
  explicit TGIFExtensionList(TGIFSubImage* SubImage);
  // Reads extension blocks up to the "," or ";" that ends them, which is left unread. A block whose
  // label no class reads fails with "Unknown extension type"; a byte that starts no block ends the
  // list with the warning "Invalid extension introducer".
  void LoadFromStream(TStream& Stream, TGIFSubImage* Parent);

 private:
  TGIFSubImage* subImage_;
};

// Label F9: disposal, delay, user input and transparent colour of the frame.
class TGIFGraphicControlExtension : public TGIFExtension {
 public:
  static const TGIFExtensionClass ClassInfo;
  explicit TGIFGraphicControlExtension(TGIFSubImage* SubImage) : TGIFExtension(SubImage) {}
  uint8_t ExtensionType() const override { return 0xF9; }
  const TGIFExtensionClass& Class() const override { return ClassInfo; }

  bool Transparent() const { return (packed_ & 1) != 0; }
  void SetTransparent(bool Value);
  uint8_t TransparentColorIndex() const { return transparentIndex_; }
  // An index not below the entries of the frame's colour map (when it has any) warns
  // "Invalid color index" and stores 0.
  void SetTransparentColorIndex(uint8_t Value);
  // The colour at the transparent index in the frame's colour map.
  TColor TransparentColor();
  // Hundredths of a second.
  uint16_t Delay() const { return delay_; }
  void SetDelay(uint16_t Value) { delay_ = Value; }
  bool UserInput() const { return (packed_ & 2) != 0; }
  void SetUserInput(bool Value) { packed_ = static_cast<uint8_t>(Value ? packed_ | 2 : packed_ & ~2); }
  // 0..7: 0 none, 1 leave, 2 restore the background, 3 restore the previous picture.
  uint8_t Disposal() const { return (packed_ >> 2) & 7; }
  void SetDisposal(uint8_t Value) { packed_ = static_cast<uint8_t>((packed_ & ~0x1C) | ((Value & 7) << 2)); }
  uint8_t Packed() const { return packed_; }

 protected:
  void SaveBody(TStream& Stream) override;
  void LoadBody(TStream& Stream) override;

 private:
  uint8_t packed_ = 0;
  uint16_t delay_ = 0;
  uint8_t transparentIndex_ = 0;
};

// Label 01: text drawn in a grid of character cells.
class TGIFTextExtension : public TGIFExtension {
 public:
  static const TGIFExtensionClass ClassInfo;
  explicit TGIFTextExtension(TGIFSubImage* SubImage) : TGIFExtension(SubImage) {}
  uint8_t ExtensionType() const override { return 0x01; }
  const TGIFExtensionClass& Class() const override { return ClassInfo; }

  uint16_t Left = 0;
  uint16_t Top = 0;
  uint16_t GridWidth = 0;
  uint16_t GridHeight = 0;
  uint8_t CharWidth = 0;
  uint8_t CharHeight = 0;
  uint8_t ForegroundColorIndex = 0;
  uint8_t BackgroundColorIndex = 0;
  std::vector<std::string> Text;  // one line per data sub-block

 protected:
  void SaveBody(TStream& Stream) override;
  void LoadBody(TStream& Stream) override;

 private:
  uint8_t blockSize_ = 12;
};

// Label FE: comment lines.
class TGIFCommentExtension : public TGIFExtension {
 public:
  static const TGIFExtensionClass ClassInfo;
  explicit TGIFCommentExtension(TGIFSubImage* SubImage) : TGIFExtension(SubImage) {}
  uint8_t ExtensionType() const override { return 0xFE; }
  const TGIFExtensionClass& Class() const override { return ClassInfo; }
  std::vector<std::string> Text;  // one line per data sub-block

 protected:
  void SaveBody(TStream& Stream) override;
  void LoadBody(TStream& Stream) override;
};

// One data sub-block of an application extension.
struct TGIFBlock {
  std::vector<uint8_t> Data;  // 1..255 bytes
};

// Label FF: an 11-byte application identifier (8 characters and a 3-character authentication code)
// and the application's data. This base reads no data of its own: a block whose identifier no class
// reads, and that is not of the standard size, fails with "Unsupported Application Extension block
// size".
class TGIFApplicationExtension : public TGIFExtension {
 public:
  static const TGIFExtensionClass ClassInfo;
  explicit TGIFApplicationExtension(TGIFSubImage* SubImage) : TGIFExtension(SubImage) {}
  uint8_t ExtensionType() const override { return 0xFF; }
  const TGIFExtensionClass& Class() const override { return ClassInfo; }

  std::array<char, 11> Identifier{};
  std::string IdentifierText() const { return std::string(Identifier.data(), Identifier.size()); }
  void SetIdentifier(const std::string& Text);

 protected:
  void SaveBody(TStream& Stream) override;
  void LoadBody(TStream& Stream) override;
  virtual void SaveData(TStream& Stream);
  virtual void LoadData(TStream& Stream);
};

// Application data kept as it was read.
class TGIFUnknownAppExtension : public TGIFApplicationExtension {
 public:
  static const TGIFExtensionClass ClassInfo;
  explicit TGIFUnknownAppExtension(TGIFSubImage* SubImage) : TGIFApplicationExtension(SubImage) {}
  const TGIFExtensionClass& Class() const override { return ClassInfo; }
  std::vector<TGIFBlock> Blocks;

 protected:
  void SaveData(TStream& Stream) override;
  void LoadData(TStream& Stream) override;
};

// The looping extension ("NETSCAPE2.0" or "ANIMEXTS1.0"): how often the animation plays (0: without
// end) and a buffer size.
class TGIFAppExtNSLoop : public TGIFApplicationExtension {
 public:
  static const TGIFExtensionClass ClassInfo;
  explicit TGIFAppExtNSLoop(TGIFSubImage* SubImage);
  const TGIFExtensionClass& Class() const override { return ClassInfo; }
  uint16_t Loops = 0;
  uint32_t BufferSize = 0;

 protected:
  void SaveData(TStream& Stream) override;
  void LoadData(TStream& Stream) override;
};

// The registries, built on first use with the standard classes; a later registration of the same
// label or identifier wins. FreeExtensionRegistries (at the class's shut-down) empties them.
void RegisterExtension(uint8_t Label, const TGIFExtensionClass* Class);
void RegisterAppExtension(const std::string& Identifier, const TGIFExtensionClass* Class);
const TGIFExtensionClass* FindExtension(uint8_t Label);
const TGIFExtensionClass* FindAppExtension(const char* Identifier);
void FreeExtensionRegistries();
