#include "imaging/core/ie_text_draw.h"

#include <algorithm>

#include "imaging/core/ie_gdiplus.h"
#include "platform/gdi/bitmap.h"

int32_t TextWidthW(TCanvas* Canvas, const std::string& Text) { return Canvas->TextWidth(Text); }

int32_t TextHeightW(TCanvas* Canvas, const std::string& Text) { return Canvas->TextHeight(Text); }

TFontStyles LogFontToFontStyles(const LOGFONT& LogFont) {
  TFontStyles styles;
  if (LogFont.lfWeight >= 700) styles.Include(fsBold);
  if (LogFont.lfItalic) styles.Include(fsItalic);
  if (LogFont.lfUnderline) styles.Include(fsUnderline);
  if (LogFont.lfStrikeOut) styles.Include(fsStrikeOut);
  return styles;
}

void DrawHintBox(TCanvas* Canvas, int32_t& X, int32_t& Y, TColor LightColor, TColor DarkColor, int32_t MaxHeight,
                 int32_t MaxWidth, TBitmap* SaveBitmap, TBrush* Brush, TFont* Font, const std::string& Text) {
  if (Font) Canvas->Font()->Assign(*Font);
  if (Brush) Canvas->Brush()->Assign(*Brush);
  const int32_t width = Canvas->TextWidth(Text) + 12;
  const int32_t height = Canvas->TextHeight(Text) + 12;
  X = std::min(std::max(X, 0), MaxWidth - width - 1);
  Y = std::min(std::max(Y, 0), MaxHeight - height - 1);
  if (SaveBitmap) {
    SaveBitmap->SetPixelFormat(pf24bit);
    SaveBitmap->SetSize(width, height);
    SaveBitmap->Canvas()->CopyRect(Rect(0, 0, width, height), Canvas, Rect(X, Y, X + width, Y + height));
  }
  TRect box = Rect(X + 6, Y + 6, X + width, Y + height);
  Canvas->FillRect(box);
  Frame3D(Canvas, box, LightColor, DarkColor, 1);
  Canvas->TextOut(X + 9, Y + 9, Text);
}

void DrawInteractionHint(TCanvas* Canvas, int32_t& X, int32_t& Y, const std::string& Text,
                         const std::string& HintText) {
  TIECanvas canvas(Canvas);
  TFont* font = canvas.Font();
  font->SetName("Arial");
  font->SetSize(9);
  font->SetColor(clBlack);
  const int32_t width = std::max(canvas.TextWidth(Text), canvas.TextWidth(HintText)) + 12;
  const int32_t height = canvas.TextHeight(HintText) + 12;
  X = std::max(X, 0);
  Y = std::max(Y, 0);
  canvas.Brush()->SetColor(0x60FFFF);
  canvas.Brush()->SetStyle(bsSolid);
  canvas.Brush()->SetTransparency(128);
  canvas.FillRect(Rect(X + 6, Y + 6, X + width, Y + height));
  TRect frame = Rect(X + 6, Y + 6, X + width, Y + height);
  Frame3D(Canvas, frame, 0x808080, clWhite, 1);
  Canvas->Brush()->SetStyle(bsClear);
  canvas.TextOut(X + 9, Y + 9, HintText);
}
