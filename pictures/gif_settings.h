#pragma once
// The GIF picture class's unit-level settings: defaults of new images, how the class draws and
// stores, and the timing of animations.
#include <cstdint>

// How an image is drawn, bit by bit.
enum TGIFPaintFlag : uint16_t {
  gpfThreaded = 1 << 0,                // painters run as their own threads, else inside the draw call
  gpfTransparent = 1 << 1,             // frames are drawn through their transparency mask
  gpfAnimated = 1 << 2,                // every frame is played, else only the first is drawn
  gpfRepeat = 1 << 3,                  // the animation repeats (with gpfAnimated)
  gpfRepeatForever = 1 << 4,           // ... without end, whatever the loop count says
  gpfCheckCanvas = 1 << 5,             // a painter stops when its target device context is gone
  gpfPaintDirect = 1 << 6,             // painters draw on the target canvas, not the cached bitmap
  gpfClearOnRestart = 1 << 7,          // the saved background is cleared when frame 0 comes again
  gpfTiled = 1 << 8,                   // tiled over the target rectangle instead of stretched
  gpfDither = 1 << 9,                  // frames are rendered dithered to the web palette
  gpfDitherOnPaletteDisplay = 1 << 10  // ... only on a palette display
};
using TGIFPaintFlags = uint16_t;

extern TGIFPaintFlags GIFDefaultPaintFlags;  // 0x060F
extern int32_t GIFDefaultAnimationRate;      // percent, 100

// True when the screen shows colours through a palette (8 bits per pixel or fewer): never here.
extern bool GIFPaletteDisplay;
// Each frame's bitmap is rendered as soon as it is decoded, and loading progress asks for redraws.
extern bool GIFRenderWhileLoading;
// Images are compacted before they are stored for a component.
extern bool GIFOptimizeOnStore;
// The registered clipboard format "GIF Image" (0 until the class is started).
extern uint32_t GIFClipboardFormat;

// Animation timing: milliseconds per delay unit of a graphic control extension, and in units the
// delay of frames without one and the shortest and longest delays.
extern int32_t GIFFrameDelayScale;  // 12
extern int32_t GIFFallbackDelay;    // 10
extern int32_t GIFShortestDelay;    // 3
extern int32_t GIFLongestDelay;     // 1000
