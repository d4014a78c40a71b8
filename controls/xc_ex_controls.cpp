#include "controls/xc_ex_controls.h"

#include "platform/ui/forms.h"
#include "platform/ui/window_dc.h"

// ------------------------------------------------------------------------------------ free routines

namespace {

struct DialogCodeFlag {
  TDialogCode code;
  LRESULT flag;
};
constexpr DialogCodeFlag kDialogCodeFlags[] = {
    {dcsWantAllKeys, DLGC_WANTALLKEYS}, {dcsWantArrows, DLGC_WANTARROWS}, {dcsWantChars, DLGC_WANTCHARS},
    {dcsButton, DLGC_BUTTON},           {dcsHasSetSel, DLGC_HASSETSEL},   {dcsWantTab, DLGC_WANTTAB},
};

// The drawing tools of a fresh canvas, to which the erase canvas returns before each use.
struct DefaultTools {
  TFont font;
  TPen pen;
  TBrush brush;
};

const DefaultTools& Defaults() {
  static const DefaultTools tools;
  return tools;
}

bool SameFont(TFont* a, const TFont& b) {
  return a->Name() == b.Name() && a->Height() == b.Height() && a->Style() == b.Style() && a->Color() == b.Color() &&
         a->Charset() == b.Charset() && a->Pitch() == b.Pitch() && a->Orientation() == b.Orientation() &&
         a->Quality() == b.Quality();
}

// Puts the canvas's font, pen and brush back as a fresh canvas has them; what is already so stays
// untouched (nothing made anew).
void ResetTools(TCanvas* c) {
  const DefaultTools& d = Defaults();
  if (!SameFont(c->Font(), d.font)) c->Font()->Assign(d.font);
  TPen* p = c->Pen();
  if (p->Color() != d.pen.Color() || p->Width() != d.pen.Width() || p->Style() != d.pen.Style() ||
      p->Mode() != d.pen.Mode())
    p->Assign(d.pen);
  TBrush* b = c->Brush();
  if (b->Color() != d.brush.Color() || b->Style() != d.brush.Style() || b->Bitmap() != d.brush.Bitmap())
    b->Assign(d.brush);
}

}  // namespace

TDialogCodeSet DialogCodesFromFlags(LRESULT flags) {
  TDialogCodeSet codes;
  for (const DialogCodeFlag& f : kDialogCodeFlags)
    if (flags & f.flag) codes.Include(f.code);
  return codes;
}

LRESULT FlagsFromDialogCodes(TDialogCodeSet codes) {
  LRESULT flags = 0;
  for (const DialogCodeFlag& f : kDialogCodeFlags)
    if (codes.Contains(f.code)) flags |= f.flag;
  return flags;
}

void DrawHighlightFrame(HDC dc, TRect rect, TColor controlColor, bool hot) {
  HBRUSH brush = CreateSolidBrush(ColorToRGB(hot ? HighlightFrameColor : PlainFrameColor));
  FrameRect(dc, &rect, brush);
  DeleteObject(brush);
  InflateRect(rect, -1, -1);
  brush = CreateSolidBrush(ColorToRGB(hot ? HighlightFrameColor : controlColor));
  FrameRect(dc, &rect, brush);
  DeleteObject(brush);
}

void ResolveHintColor(THintInfo& info, TControl* control, TColor color) {
  if (color == clNone) {
    info.HintColor = Application->HintColor();
  } else if (color == clDefault) {
    // The parent's own rule decides, on a copy of the record.
    if (TWinControl* parent = control ? control->Parent() : nullptr) {
      THintInfo copy = info;
      parent->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&copy));
      info.HintColor = copy.HintColor;
    }
  } else {
    info.HintColor = color;
  }
}

// -------------------------------------------------------------------------------------- TXcExControl

template <class Base>
TXcExControl<Base>::TXcExControl(TComponent* owner) : Base(owner) {}

template <class Base>
bool TXcExControl<Base>::RouteCommon(TMessage& m) {
  // Asked apart, so that the notifications below make one dense jump table.
  if (m.Msg == QuerySubclassRefusal) {
    m.Result = dynamic_cast<ISubclassRefusalMarker*>(this) ? 1 : 0;
    return true;
  }
  switch (m.Msg) {
    case CM_DIALOGCHAR: {
      auto key = static_cast<uint16_t>(m.WParam & 0xFFFF);
      m.Result = HandleDialogChar(key, KeyDataToShiftState(m.LParam), std::string(1, static_cast<char>(key))) ? 1 : 0;
      return true;
    }
    case CM_FOCUSCHANGED: HandleFocusChange(reinterpret_cast<TControl*>(m.LParam)); return true;
    case CM_PARENTFONTCHANGED: HandleParentFontChange(); return true;
    case CM_PARENTCOLORCHANGED: HandleParentColorChange(); return true;
    case CM_HITTEST: m.Result = HandleHitTest(GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)) ? 1 : 0; return true;
    case CM_VISIBLECHANGED: HandleVisibleChange(); return true;
    case CM_ENABLEDCHANGED: HandleEnabledChange(); return true;
    case CM_COLORCHANGED: HandleColorChange(); return true;
    case CM_FONTCHANGED: HandleFontChange(); return true;
    case CM_TEXTCHANGED: HandleTextChange(); return true;
    case CM_MOUSEENTER: HandleMouseEntry(reinterpret_cast<TControl*>(m.LParam)); return true;
    case CM_MOUSELEAVE: HandleMouseExit(reinterpret_cast<TControl*>(m.LParam)); return true;
    case CM_PARENTSHOWHINTCHANGED: HandleParentShowHintChange(); return true;
    case CM_HINTSHOW: m.Result = HandleHintShow(*reinterpret_cast<THintInfo*>(m.LParam)) ? 1 : 0; return true;
    default: return false;
  }
}

template <class Base>
void TXcExControl<Base>::WndProc(TMessage& m) {
  if (!RouteCommon(m)) Base::WndProc(m);
}

template <class Base>
void TXcExControl<Base>::HandleTextChange() {
  DeliverToBase(CM_TEXTCHANGED, 0, 0);
}

template <class Base>
bool TXcExControl<Base>::HandleDialogChar(uint16_t key, TShiftState shift, const std::string&) {
  return DeliverToBase(CM_DIALOGCHAR, key, KeyDataFromShift(shift)) != 0;
}

template <class Base>
bool TXcExControl<Base>::HandleHitTest(int x, int y) {
  return DeliverToBase(CM_HITTEST, 0, MAKELPARAM(x, y)) != 0;
}

template <class Base>
void TXcExControl<Base>::HandleFocusChange(TControl* control) {
  DeliverToBase(CM_FOCUSCHANGED, 0, reinterpret_cast<LPARAM>(control));
}

template <class Base>
void TXcExControl<Base>::HandleVisibleChange() {
  DeliverToBase(CM_VISIBLECHANGED, 0, 0);
}

template <class Base>
void TXcExControl<Base>::HandleEnabledChange() {
  DeliverToBase(CM_ENABLEDCHANGED, 0, 0);
}

template <class Base>
void TXcExControl<Base>::HandleColorChange() {
  DeliverToBase(CM_COLORCHANGED, 0, 0);
}

template <class Base>
void TXcExControl<Base>::HandleFontChange() {
  DeliverToBase(CM_FONTCHANGED, 0, 0);
}

template <class Base>
void TXcExControl<Base>::HandleParentFontChange() {
  DeliverToBase(CM_PARENTFONTCHANGED, 0, 0);
}

template <class Base>
void TXcExControl<Base>::HandleParentColorChange() {
  DeliverToBase(CM_PARENTCOLORCHANGED, 0, 0);
  if (OnParentColorChange) OnParentColorChange(this);
}

template <class Base>
void TXcExControl<Base>::HandleParentShowHintChange() {
  DeliverToBase(CM_PARENTSHOWHINTCHANGED, 0, 0);
}

template <class Base>
bool TXcExControl<Base>::HandleHintShow(THintInfo& info) {
  ResolveHintColor(info, this, hintColor_);
  if (customHintWindowClass_) info.HintWindowClass = customHintWindowClass_;
  return DeliverToBase(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&info)) != 0;
}

template <class Base>
void TXcExControl<Base>::HandleMouseEntry(TControl* control) {
  this->mouseInside_ = true;
  if (this->OnMouseEnter) this->OnMouseEnter(this);
  // The framework's handling keeps the flag and tells the parent, without firing the event again.
  typename Base::TMouseEventsMuted muted(this);
  DeliverToBase(CM_MOUSEENTER, 0, reinterpret_cast<LPARAM>(control));
}

template <class Base>
void TXcExControl<Base>::HandleMouseExit(TControl* control) {
  this->mouseInside_ = false;
  {
    typename Base::TMouseEventsMuted muted(this);
    DeliverToBase(CM_MOUSELEAVE, 0, reinterpret_cast<LPARAM>(control));
  }
  if (this->OnMouseLeave) this->OnMouseLeave(this);
}

// ------------------------------------------------------------------------------------- TXcExWindowed

template <class Base>
TXcExWindowed<Base>::TXcExWindowed(TComponent* owner) : TXcExControl<Base>(owner) {}

template <class Base>
TXcExWindowed<Base>::~TXcExWindowed() = default;

template <class Base>
void TXcExWindowed<Base>::SetDotNetHighlighting(bool value) {
  if (value == dotNetHighlighting_) return;
  dotNetHighlighting_ = value;
  this->Invalidate();
}

template <class Base>
void TXcExWindowed<Base>::WndProc(TMessage& m) {
  // The notifications every base routes come first: they are most of the traffic.
  if (this->RouteCommon(m)) {
    if (dotNetHighlighting_ && (m.Msg == CM_MOUSEENTER || m.Msg == CM_MOUSELEAVE))
      UpdateHighlightFrame(m.Msg == CM_MOUSELEAVE);
    return;
  }
  switch (m.Msg) {
    case WM_MOVE:
    case WM_SIZE:
      Base::WndProc(m);
      HandleBoundsChange();
      break;
    case WM_SETFOCUS: HandleFocusGained(reinterpret_cast<HWND>(m.WParam)); break;
    case WM_KILLFOCUS: HandleFocusLost(reinterpret_cast<HWND>(m.WParam)); break;
    case WM_ERASEBKGND: EraseBackground(m); break;
    case WM_GETDLGCODE: {
      Base::WndProc(m);
      TDialogCodeSet codes = DialogCodesFromFlags(m.Result);
      codes.Include(dcsNative);
      HandleDialogCodes(codes);
      // Only a hook that dropped dcsNative replaces the framework's answer.
      if (!codes.Contains(dcsNative)) m.Result = FlagsFromDialogCodes(codes);
      break;
    }
    case WM_PRINT:
    case WM_PRINTCLIENT: {
      HDC dc = reinterpret_cast<HDC>(m.WParam);
      int saved = dc ? SaveDC(dc) : 0;
      try {
        Base::WndProc(m);
      } catch (...) {
        if (dc) RestoreDC(dc, saved);
        throw;
      }
      if (dc) RestoreDC(dc, saved);
      break;
    }
    case CM_CURSORCHANGED: HandleCursorChange(); break;
    case CM_SHOWINGCHANGED: HandleShowingChange(); break;
    case CM_SHOWHINTCHANGED: HandleShowHintChange(); break;
    case CM_CONTROLLISTCHANGE: {
      auto* control = reinterpret_cast<TControl*>(m.WParam);
      if (m.LParam != 0) HandleChildListChanging(control, true);
      else HandleChildListChanged(control, false);
      break;
    }
    case CM_CONTROLCHANGE: {
      auto* control = reinterpret_cast<TControl*>(m.WParam);
      if (m.LParam != 0) HandleChildListChanged(control, true);
      else HandleChildListChanging(control, false);
      break;
    }
    default: Base::WndProc(m); break;
  }
  if (dotNetHighlighting_ && (m.Msg == WM_SETFOCUS || m.Msg == WM_KILLFOCUS || m.Msg == WM_NCPAINT))
    UpdateHighlightFrame(false);
}

template <class Base>
void TXcExWindowed<Base>::EraseBackground(TMessage& m) {
  HDC dc = reinterpret_cast<HDC>(m.WParam);
  if (!dc) {
    Base::WndProc(m);
    return;
  }
  int saved = SaveDC(dc);
  // The canvas is made once and lent again; an erase inside an erase gets one of its own.
  std::unique_ptr<TCanvas> nested;
  TCanvas* canvas;
  if (!eraseCanvasBusy_) {
    if (!eraseCanvas_) eraseCanvas_ = std::make_unique<TCanvas>();
    canvas = eraseCanvas_.get();
    ResetTools(canvas);
    eraseCanvasBusy_ = true;
  } else {
    nested = std::make_unique<TCanvas>();
    canvas = nested.get();
  }
  auto release = [&] {
    canvas->SetHandle(nullptr);
    if (!nested) eraseCanvasBusy_ = false;
    RestoreDC(dc, saved);
  };
  canvas->SetHandle(dc);
  bool erased;
  try {
    erased = HandleEraseBackground(canvas, m.LParam);
  } catch (...) {
    release();
    throw;
  }
  release();
  m.Result = erased ? 1 : 0;
}

template <class Base>
void TXcExWindowed<Base>::HandleBoundsChange() {}

template <class Base>
void TXcExWindowed<Base>::HandleDialogCodes(TDialogCodeSet&) {}

template <class Base>
void TXcExWindowed<Base>::HandleFocusGained(HWND lostFocus) {
  this->DeliverToBase(WM_SETFOCUS, reinterpret_cast<WPARAM>(lostFocus), 0);
}

template <class Base>
void TXcExWindowed<Base>::HandleFocusLost(HWND receivesFocus) {
  this->DeliverToBase(WM_KILLFOCUS, reinterpret_cast<WPARAM>(receivesFocus), 0);
}

template <class Base>
bool TXcExWindowed<Base>::HandleEraseBackground(TCanvas* canvas, LPARAM param) {
  return this->DeliverToBase(WM_ERASEBKGND, reinterpret_cast<WPARAM>(canvas->Handle()), param) != 0;
}

template <class Base>
void TXcExWindowed<Base>::HandleCursorChange() {
  this->DeliverToBase(CM_CURSORCHANGED, 0, 0);
}

template <class Base>
void TXcExWindowed<Base>::HandleShowingChange() {
  this->DeliverToBase(CM_SHOWINGCHANGED, 0, 0);
}

template <class Base>
void TXcExWindowed<Base>::HandleShowHintChange() {
  this->DeliverToBase(CM_SHOWHINTCHANGED, 0, 0);
}

template <class Base>
void TXcExWindowed<Base>::HandleChildListChanging(TControl* control, bool inserting) {
  this->DeliverToBase(inserting ? CM_CONTROLLISTCHANGE : CM_CONTROLCHANGE, reinterpret_cast<WPARAM>(control),
                      inserting ? 1 : 0);
}

template <class Base>
void TXcExWindowed<Base>::HandleChildListChanged(TControl* control, bool inserting) {
  this->DeliverToBase(inserting ? CM_CONTROLCHANGE : CM_CONTROLLISTCHANGE, reinterpret_cast<WPARAM>(control),
                      inserting ? 1 : 0);
}

template <class Base>
void TXcExWindowed<Base>::PaintHighlightFrame() {
  if (!this->HandleAllocated()) return;
  HWND h = this->Handle();
  HDC dc = GetWindowDC(h);
  if (!dc) return;
  bool hot = this->IsMouseInside() || this->Focused();
  try {
    DrawHighlightFrame(dc, Rect(0, 0, this->Width(), this->Height()), this->Color(), hot);
  } catch (...) {
    ReleaseDC(h, dc);
    throw;
  }
  ReleaseDC(h, dc);
}

template <class Base>
void TXcExWindowed<Base>::UpdateHighlightFrame(bool mouseLeft) {
  if (this->ComponentState() & csDesigning) return;
  PaintHighlightFrame();
  if (!mouseLeft || !this->HandleAllocated()) return;
  // The whole two-pixel band of both rings (right and bottom edges excluded, as rectangles are),
  // moved from window to client coordinates, is repainted by the control's own painting.
  int w = this->Width(), h = this->Height();
  HRGN band = CreateRectRgn(0, 0, w, h);
  HRGN inner = CreateRectRgn(2, 2, w - 2, h - 2);
  CombineRgn(band, band, inner, RGN_DIFF);
  TRect window;
  if (GetWindowRect(this->Handle(), &window)) {
    TPoint client = this->ClientOrigin();
    OffsetRgn(band, window.Left - client.X, window.Top - client.Y);
  }
  InvalidateRgn(this->Handle(), band, false);
  DeleteObject(inner);
  DeleteObject(band);
}

// ------------------------------------------------------------------------------- TXcExCustomMaskEdit

TXcExCustomMaskEdit::TXcExCustomMaskEdit(TComponent* owner) : TXcExWindowed<TCustomMaskEdit>(owner) {}

void TXcExCustomMaskEdit::WndProc(TMessage& m) {
  TXcClipboardCommand needs;
  switch (m.Msg) {
    case WM_CUT: needs = caCut; break;
    case WM_COPY: needs = caCopy; break;
    case WM_PASTE: needs = caPaste; break;
    case WM_CLEAR: needs = caClear; break;
    case WM_UNDO:
    case EM_UNDO: needs = caUndo; break;
    default: TXcExWindowed::WndProc(m); return;
  }
  if (!clipboardCommands_.Contains(needs)) {
    m.Result = 1;
    return;
  }
  TXcExWindowed::WndProc(m);
}

void TXcExCustomMaskEdit::HandleInputError() {
  if (beepOnError_) Application->Beep();
}

// ------------------------------------------------------------------------------------ TXcCustomPanel

void TXcCustomPanel::Paint() {
  TXcExCustomPanel::Paint();
  PaintClientArea(ClientRect());
}

void TXcCustomPanel::PaintClientArea(const TRect& rect) {
  if (OnPaintClientArea) OnPaintClientArea(this, Canvas(), rect);
}

// --------------------------------------------------------------------------------- the instantiations

template class TXcExControl<TGraphicControl>;
template class TXcExControl<TWinControl>;
template class TXcExControl<TCustomControl>;
template class TXcExControl<TCustomListBox>;
template class TXcExControl<TCustomGroupBox>;
template class TXcExControl<TCustomCheckBox>;
template class TXcExControl<TCustomMaskEdit>;
template class TXcExControl<TCustomPanel>;
template class TXcExControl<TCustomForm>;
template class TXcExWindowed<TWinControl>;
template class TXcExWindowed<TCustomControl>;
template class TXcExWindowed<TCustomListBox>;
template class TXcExWindowed<TCustomGroupBox>;
template class TXcExWindowed<TCustomCheckBox>;
template class TXcExWindowed<TCustomMaskEdit>;
template class TXcExWindowed<TCustomPanel>;
template class TXcExWindowed<TCustomForm>;
