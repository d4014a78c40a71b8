#pragma once
// The four LZW codec hooks. GIF pictures and TIFF strips with compression 5 are coded through these
// process-wide procedure variables, never by calling a coder directly: every parameter record takes
// a copy of the four when its defaults are set, and the codecs call that copy. An empty hook means
// the capability is missing (no GIF reading or writing, no LZW in TIFF), and the format registry
// hides it. The I/O start-up installs the engine's coders; the hooks are atomic so that I/O threads
// may read them while the user-interface thread installs them again.
#include <atomic>
#include <cstdint>

class TStream;

// Decodes the GIF image data block at the stream's position (code-size byte, sub-blocks, terminator)
// into Pixels: Width x Height bytes, one palette index per byte, rows from the top. On success the
// stream is left after the block terminator; on failure it is set back to where it was.
using TGIFLZWDecompFunc = void (*)(TStream& Stream, int32_t Height, int32_t Width, bool Interlaced,
                                   uint8_t* Pixels);
// Writes Pixels (as above) as a GIF image data block: code-size byte, sub-blocks, terminator.
using TGIFLZWCompFunc = void (*)(TStream& Stream, int32_t Height, int32_t Width, bool Interlaced,
                                 const uint8_t* Pixels, int32_t BitsPerPixel);
// Decodes one TIFF LZW strip row by row. The first call (State nil) creates the state for the strip
// of InputSize bytes at Input; each call with Input not nil returns the next RowSize decoded bytes
// (valid until the next call) or nil on an error; a call with Input nil releases the state. The
// decoder never reads beyond InputSize bytes.
using TTIFFLZWDecompFunc = uint8_t* (*)(const uint8_t* Input, int32_t InputSize, int32_t RowSize, void*& State,
                                        int32_t FillOrder);
// Codes one TIFF LZW strip: the first call (State nil) creates the state and codes Count bytes,
// further calls continue the strip, a call with Input nil ends it (flush) and releases the state.
using TTIFFLZWCompFunc = void (*)(const uint8_t* Input, int32_t Count, TStream& Stream, void*& State);

extern std::atomic<TGIFLZWDecompFunc> GIFLZWDecodeHook;
extern std::atomic<TGIFLZWCompFunc> GIFLZWEncodeHook;
extern std::atomic<TTIFFLZWDecompFunc> TIFFLZWDecodeHook;
extern std::atomic<TTIFFLZWCompFunc> TIFFLZWEncodeHook;

// The engine's own four coders (gif_lzw.cpp, tiff_lzw.cpp), installed into the hooks by the I/O
// start-up (and by the windows that install them again).
struct TIELZWCoders {
  TGIFLZWDecompFunc GIFDecode = nullptr;
  TGIFLZWCompFunc GIFEncode = nullptr;
  TTIFFLZWDecompFunc TIFFDecode = nullptr;
  TTIFFLZWCompFunc TIFFEncode = nullptr;
};
TIELZWCoders EngineLZWCoders();

// Installs the engine's four coders into the hooks.
void InstallLZWHooks();
