#include "pictures/gif_settings.h"

TGIFPaintFlags GIFDefaultPaintFlags = 0x060F;
int32_t GIFDefaultAnimationRate = 100;
bool GIFPaletteDisplay = false;
bool GIFRenderWhileLoading = false;
bool GIFOptimizeOnStore = false;
uint32_t GIFClipboardFormat = 0;
int32_t GIFFrameDelayScale = 12;
int32_t GIFFallbackDelay = 10;
int32_t GIFShortestDelay = 3;
int32_t GIFLongestDelay = 1000;
