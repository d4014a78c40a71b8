#pragma once
// TPicture: a holder of one picture of any registered picture class, and the registries of picture
// classes by file extension and by clipboard format (the framework's graphic-class registry). TBitmap
// is registered for ".bmp" and CF_BITMAP from the start; picture classes of the program (GIF, PNG ...)
// register themselves at start-up with RegisterFileFormat and RegisterClipboardFormat.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/gdi/bitmap.h"

using TGraphicFactory = std::function<std::unique_ptr<TGraphic>()>;

class TPicture : public TPersistent {
 public:
  TPicture();
  ~TPicture() override;
  TPicture(const TPicture&) = delete;
  TPicture& operator=(const TPicture&) = delete;

  // The picture held, or null.
  TGraphic* Graphic() const { return graphic_.get(); }
  // Holds a copy of the picture (a new object of its class); null empties the picture.
  void SetGraphic(TGraphic* value);
  // The picture as a bitmap: a picture of another class is replaced by an empty bitmap.
  TBitmap* Bitmap();
  void SetBitmap(TBitmap* value) { SetGraphic(value); }
  int32_t Width() const { return graphic_ ? graphic_->Width() : 0; }
  int32_t Height() const { return graphic_ ? graphic_->Height() : 0; }

  // Loads a file with the picture class registered for its extension; raises EInvalidGraphic
  // "Unknown picture file extension (.%s)" for an extension without one. On failure the picture
  // stays as it was.
  void LoadFromFile(const std::string& fileName);
  void SaveToFile(const std::string& fileName);
  // Loads clipboard data with the picture class registered for its format; raises EInvalidGraphic
  // "Unsupported clipboard format" for a format without one. On failure the picture stays as it was.
  void LoadFromClipboardFormat(uint32_t format, HANDLE data, HPALETTE palette);
  // The held picture's clipboard data (see TGraphic); an empty picture gives format 0 and no data.
  void SaveToClipboardFormat(uint32_t& format, HANDLE& data, HPALETTE& palette);
  // From a picture or another graphic (copied); other sources raise the standard error.
  void Assign(TPersistent* source) override;

  TNotifyEvent OnChange;

  // Registers a picture class for an extension (without the dot, any case); the class name is the
  // one ClassName() reports for its objects, so that pictures of it can be copied.
  static void RegisterFileFormat(const std::string& extension, const std::string& description,
                                 const std::string& className, TGraphicFactory factory);
  // Registers a picture class for a clipboard format (a later registration of the format replaces it).
  static void RegisterClipboardFormat(uint32_t format, const std::string& className, TGraphicFactory factory);
  static bool SupportsClipboardFormat(uint32_t format);
  // Removes a class from both registries.
  static void UnregisterGraphicClass(const std::string& className);
  // A new object of a registered class (by ClassName), or null.
  static std::unique_ptr<TGraphic> CreateGraphic(const std::string& className);
  // The open-dialog filter of the registered classes (or of one class): "All (*.bmp;*.gif)|*.bmp;
  // *.gif|Bitmaps (*.bmp)|*.bmp|...".
  static std::string GraphicFilter(const std::string& className = std::string());
  // The default extension of a class ("bmp"), or empty.
  static std::string GraphicExtension(const std::string& className);

 protected:
  virtual void Changed();

 private:
  void TakeGraphic(std::unique_ptr<TGraphic> graphic);
  std::unique_ptr<TGraphic> graphic_;
};
