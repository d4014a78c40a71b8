#pragma once
// A frame's image data: the LZW minimum code size, the code stream in data sub-blocks, the block
// terminator. Decoding and the LZW encoder are the engine's GIF coder; the run-length encoder writes
// codes that any GIF decoder turns into runs of one colour.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class TStream;

enum TGIFEncoding : uint8_t { genLZW, genRunLength };

// Receives the warnings of decoding ("Premature end of data", "Decoder bit buffer under-run").
using TGIFWarningSink = std::function<void(const std::string& Message)>;

// Reads the image data at the stream's position into Pixels, which becomes Width x Height bytes
// filled with Fill where no code reaches. The stream is left after the block terminator (or at its
// end). A code size outside 2..11 fails with GIFException "Invalid LZW code size". A frame size its
// own data could not code (at LZW's best ratio, beyond the small-picture allowance) fails with
// "Premature end of data" before anything is allocated. Data cut short inside a sub-block warns
// "Premature end of data", data that ends before its end code "Decoder bit buffer under-run".
void DecodeGIFImageData(TStream& Stream, int32_t Width, int32_t Height, bool Interlaced, uint8_t Fill,
                        std::vector<uint8_t>& Pixels, const TGIFWarningSink& Warning);

// Writes Pixels (Width x Height indices, all below 2^BitsPerPixel) as image data with the code size
// BitsPerPixel (at least 2) in sub-blocks of 255 bytes. With Interlaced the rows go in the GIF
// interlace order.
void EncodeGIFImageData(TStream& Stream, int32_t BitsPerPixel, int32_t Width, int32_t Height, bool Interlaced,
                        const uint8_t* Pixels, TGIFEncoding Encoding);
