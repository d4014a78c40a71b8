#pragma once
// Settings of the media services, process-wide and thread-safe. Tests and the fuzz target change
// them; the program keeps the defaults.
#include <cstdint>

// Frames larger than this many pixels (width x height) make a stream count as having no video; the
// engine's own size gate lies above this layer. 2^26 by default.
int64_t MediaPixelLimit();
void SetMediaPixelLimit(int64_t Pixels);

// How long Pause and a paused seek wait for the frame at the position before they return anyway,
// in milliseconds (10 000 by default).
uint32_t MediaSettleBoundMs();
void SetMediaSettleBoundMs(uint32_t Milliseconds);

// Sends every player's audio to the silent sink (samples consumed at the clock's pace) instead of
// the sound device. Off by default.
bool MediaForceSilentAudio();
void SetMediaForceSilentAudio(bool Value);

// Threads the AVI services' encoders and decoders use (0: the library's choice, the default).
int32_t MediaCodecThreads();
void SetMediaCodecThreads(int32_t Threads);

// A capture device that delivers no frame for this long counts as lost (10 000 ms by default).
uint32_t MediaCaptureStallMs();
void SetMediaCaptureStallMs(uint32_t Milliseconds);
