// TGIFImage::Compact: colour tables sorted by use, transparency and disposal without effect removed,
// pixels that repeat the frame shown before made transparent, frames cropped to what they show, and
// extensions a player does not need dropped.
#include <algorithm>

#include "pictures/gif_errors.h"
#include "pictures/gif_image.h"

namespace {

// The frame's graphic control extension, made and appended when it has none.
TGIFGraphicControlExtension* EnsureGraphicControl(TGIFSubImage* frame) {
  if (TGIFGraphicControlExtension* gce = frame->GraphicControlExtension()) return gce;
  auto made = std::make_unique<TGIFGraphicControlExtension>(frame);
  TGIFGraphicControlExtension* gce = made.get();
  frame->Extensions()->Add(std::move(made));
  return gce;
}

bool ContainsIndex(TGIFSubImage* frame, uint8_t index) {
  const uint8_t* p = frame->Data();
  return std::find(p, p + frame->DataSize(), index) != p + frame->DataSize();
}

// Whether any pixel of a transparent frame is not its transparent index.
bool ShowsAnything(TGIFSubImage* frame) {
  const uint8_t transparent = frame->GraphicControlExtension()->TransparentColorIndex();
  const uint8_t* p = frame->Data();
  return std::find_if(p, p + frame->DataSize(), [&](uint8_t v) { return v != transparent; }) != p + frame->DataSize();
}

}  // namespace

void TGIFImage::Compact(TGIFOptimizeOptions Options, TGIFReductionMethod ColorReduction, TGIFDitherMethod,
                        int32_t) {
  if (images_.Count() == 0) return;
  // A reduction this step cannot do is refused before anything changes.
  if (!(Options & gofCleanup) && (Options & gofReduceColors) && ColorReduction == grmCustomPalette)
    GIFError(sInvalidReduction);
  StopPainting();
  std::lock_guard<TCriticalSection> lock(painterLock_);
  Progress(this, psStarting, 0, false, TRect{}, sProgressOptimizing);
  int32_t step = 0;
  try {
    CompactSteps(Options, ColorReduction, step);
  } catch (...) {
    Progress(this, psEnding, 0, false, TRect{}, sProgressOptimizing);
    throw;
  }
  FreeBitmap();
  Progress(this, psEnding, 100, false, TRect{}, sProgressOptimizing);
  Changed();
}

void TGIFImage::CompactSteps(TGIFOptimizeOptions Options, TGIFReductionMethod, int32_t& Step) {
  const int32_t total = images_.Count() * 6;
  const auto advance = [&](int32_t by, bool changed) {
    Step += by;
    if (changed)
      Progress(this, psRunning, static_cast<uint8_t>(std::min(Step, total) * 100 / total), false, TRect{},
               sProgressOptimizing);
  };

  // 1. Colour tables in order of use.
  if (Options & gofColorMaps) {
    if (GlobalColorMap()->Count() > 0) GlobalColorMap()->Optimize();
    for (int32_t i = 0; i < images_.Count(); ++i) {
      TGIFSubImage* frame = images_[i];
      advance(1, frame->ColorMap()->Count() > 0 && frame->ColorMap()->Optimize());
    }
  } else {
    advance(images_.Count(), false);
  }

  // 2. Transparency no pixel uses, and disposals the next frame hides entirely.
  if (Options & gofCleanup) {
    for (int32_t i = 0; i < images_.Count(); ++i) {
      TGIFSubImage* frame = images_[i];
      TGIFGraphicControlExtension* gce = frame->GraphicControlExtension();
      const bool unused = gce && gce->Transparent() && !frame->Empty() && !ContainsIndex(frame, gce->TransparentColorIndex());
      if (unused) {
        gce->SetTransparent(false);
        frame->FreeBitmap();
      }
      advance(1, unused);
    }
    for (int32_t i = 0; i + 1 < images_.Count(); ++i) {
      TGIFSubImage* frame = images_[i];
      TGIFSubImage* next = images_[i + 1];
      TGIFGraphicControlExtension* gce = frame->GraphicControlExtension();
      bool changed = false;
      if (gce && (gce->Disposal() == 2 || gce->Disposal() == 3) && !next->Transparent()) {
        const TRect a = frame->BoundsRect(), b = next->BoundsRect();
        const TRect both{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
                         std::min(a.Bottom, b.Bottom)};
        if (both.Left < both.Right && both.Top < both.Bottom && both == b) {
          gce->SetDisposal(0);
          changed = true;
        }
      }
      advance(1, changed);
    }
    advance(1, false);
  } else {
    advance(2 * images_.Count(), false);
  }

  // 3. Pixels that repeat the frame shown before (frames restoring the picture before them are passed
  // over in the search) become transparent.
  if (Options & gofMerge) {
    for (int32_t i = images_.Count() - 1; i >= 1; --i) {
      int32_t j = i - 1;
      while (j > 0) {
        const TGIFGraphicControlExtension* gce = images_[j]->GraphicControlExtension();
        if (!gce || gce->Disposal() != 3) break;
        --j;
      }
      images_[i]->Merge(images_[j]);
      advance(1, true);
    }
    advance(1, false);
  } else {
    advance(images_.Count(), false);
  }

  // 4. Transparent frames cut to what they show. A frame left with nothing goes, and its delay goes to
  // the frame before it. The first frame is never emptied: it carries the animation's start and its
  // looping extension.
  if (Options & gofCrop) {
    for (int32_t i = images_.Count() - 1; i >= 0; --i) {
      TGIFSubImage* frame = images_[i];
      if (frame->Empty() || !frame->Transparent()) {
        advance(1, false);
        continue;
      }
      const uint16_t delay = frame->GraphicControlExtension()->Delay();
      if (i == 0 && !ShowsAnything(frame)) {
        advance(1, false);
        continue;
      }
      frame->Crop();
      if (frame->Empty()) {
        TGIFGraphicControlExtension* previous = EnsureGraphicControl(images_[i - 1]);
        previous->SetDelay(static_cast<uint16_t>(std::min<int32_t>(previous->Delay() + delay, 65535)));
        images_.Delete(i);
      }
      advance(1, true);
    }
  } else {
    advance(images_.Count(), false);
  }

  // 5. Extensions a player does not need, inert graphic controls, and frames left with nothing.
  if (Options & gofCleanup) {
    const bool single = images_.Count() == 1;
    for (int32_t i = images_.Count() - 1; i >= 0; --i) {
      TGIFSubImage* frame = images_[i];
      TGIFExtensionList* extensions = frame->Extensions();
      for (int32_t e = extensions->Count() - 1; e >= 0; --e) {
        TGIFExtension* extension = extensions->Items(e);
        const bool loop = dynamic_cast<TGIFAppExtNSLoop*>(extension) != nullptr;
        if (dynamic_cast<TGIFCommentExtension*>(extension) || dynamic_cast<TGIFTextExtension*>(extension) ||
            dynamic_cast<TGIFUnknownAppExtension*>(extension) || (loop && (i > 0 || single)))
          extensions->Delete(e);
      }
      if (TGIFGraphicControlExtension* gce = frame->GraphicControlExtension()) {
        if ((gce->Delay() == 0 || single) && !gce->Transparent() && !gce->UserInput() && (gce->Disposal() < 2 || single))
          extensions->Delete(extensions->IndexOf(gce));
      }
      if (frame->Empty() && extensions->Count() == 0 && images_.Count() > 1) images_.Delete(i);
      advance(1, true);
    }
  }
}
