#pragma once
// The clipboard in the platform's shape, on the toolkit's clipboard: open it (one user at a time),
// empty it, put data under a format, read data by format, enumerate the formats, register formats of
// the program's own by name. Data goes in as global memory blocks (GlobalAlloc; the clipboard owns a
// block once it is set) and comes out as blocks the clipboard keeps until it is emptied or changes;
// CF_BITMAP takes and gives a bitmap object (HBITMAP).
//
// What this program puts on the clipboard is given back exactly as it was put; text, pictures and
// other programs' PNG data come from the toolkit's clipboard as CF_TEXT (CR LF lines, zero-terminated),
// CF_DIB/CF_BITMAP (also from image files another program offers alone, PNG or BMP bytes), the
// registered format "PNG" and CF_ENHMETAFILE (a block of the EMF bytes another program offers as
// "image/emf" or "image/x-emf"). The program's registered formats travel between programs of this
// system under their names.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/gdi/clipboard_formats.h"
#include "platform/gdi/gdi.h"
#include "platform/system/classes.h"
#include "platform/ui/messages.h"

// Opens the clipboard for this thread; false while another thread has it open.
bool OpenClipboard(HWND owner);
bool CloseClipboard();
// Removes everything (the clipboard must be open); this program then owns the clipboard.
bool EmptyClipboard();
// Puts data under a format (the clipboard must be open and should have been emptied); answers the
// data, or null on failure (the caller then still owns it).
HANDLE SetClipboardData(UINT format, HANDLE data);
// The data under a format, or null; valid while the clipboard is open.
HANDLE GetClipboardData(UINT format);
bool IsClipboardFormatAvailable(UINT format);
int CountClipboardFormats();
// The format after format (0: the first), 0 after the last.
UINT EnumClipboardFormats(UINT format);
// The number of a named format (0xC000 and up), the same for the same name (without regard to case);
// 0 for an empty name.
UINT RegisterClipboardFormat(const char* name);
inline UINT RegisterClipboardFormatA(const char* name) { return RegisterClipboardFormat(name); }
// The name of a registered format into buffer (maxCount bytes with the terminating zero); answers its
// length, 0 for a format without a name.
int GetClipboardFormatName(UINT format, char* buffer, int maxCount);
inline int GetClipboardFormatNameA(UINT format, char* buffer, int maxCount) {
  return GetClipboardFormatName(format, buffer, maxCount);
}

class TGraphic;

// All of this is for the user-interface thread.

// The framework's clipboard object: the same clipboard with text and pictures as properties. Each
// operation opens and closes the clipboard itself unless it is open through Open already.
class TClipboard : public TPersistent {
 public:
  void Open();
  void Close();
  void Clear();
  bool HasFormat(UINT format);
  int FormatCount();
  UINT Formats(int index);
  std::string AsText();
  void SetAsText(const std::string& text);
  // A copy of a block of the clipboard's format (empty when there is none).
  std::vector<uint8_t> GetAsBytes(UINT format);
  void SetAsBytes(UINT format, const void* data, size_t size);
  HANDLE GetAsHandle(UINT format);
  void SetAsHandle(UINT format, HANDLE value);
  // A bitmap goes on as CF_BITMAP and CF_DIB; another picture (or a TPicture's) in the clipboard form
  // its class gives.
  void Assign(TPersistent* source) override;

 protected:
  // Reads the clipboard's picture (CF_DIB or CF_BITMAP) into a bitmap; a TPicture takes the first
  // format on the clipboard that a registered picture class reads.
  void AssignTo(TPersistent* dest) override;

 private:
  // Opens for one operation when not open already; false when the clipboard cannot be had.
  void Adding();
  int openCount_ = 0;
  bool emptied_ = false;
};

// The one clipboard object of the program.
TClipboard* Clipboard();
