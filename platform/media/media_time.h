#pragma once
// Time on a media player's time line: positions are signed 64-bit numbers in a time format, media
// time (units of 100 ns from the start of the video stream) or frame numbers (0-based). Only AVI
// files are addressed by frames: frame n starts at Trunc(n x scale x 10^7 / rate) and the video
// lasts Trunc(length x scale x 10^7 / rate); other files stay in media time.
#include <cstdint>

// The framework's time formats (the values of its format identifiers in this order).
enum TMediaTimeFormat : uint8_t {
  mtfNone = 0,
  mtfFrame = 1,
  mtfSample = 2,
  mtfField = 3,
  mtfByte = 4,
  mtfMediaTime = 5,
};

constexpr int64_t kMediaTimeUnitsPerSecond = 10000000;

struct TMediaTimeline {
  // Media time that the opened streams cover (0: nothing to play).
  int64_t Duration = 0;
  // Average frame duration in media time, 0 when unknown.
  int64_t AvgTimePerFrame = 0;
  // A media time this close before a frame's start selects that frame: 10 units, or half a tick of
  // the stream's time base when that is coarser (a file that stamps in milliseconds cannot say to
  // the unit where its frames start).
  int64_t Tolerance = 10;
  // Frame addressing: frame n at Trunc(n x FrameNum x 10^7 / FrameDen), FrameCount frames.
  bool FrameFormat = false;
  int64_t FrameNum = 0;
  int64_t FrameDen = 0;
  int64_t FrameCount = 0;

  bool Supports(TMediaTimeFormat Format) const {
    return Format == mtfMediaTime || (Format == mtfFrame && FrameFormat);
  }
  // Start of frame n (n clamped at 0).
  int64_t FrameTime(int64_t n) const;
  // The frame whose interval holds media time t (0 for t before the first frame).
  int64_t FrameAt(int64_t t) const;
  // A position in Format as media time, and back. Formats not supported pass values unchanged.
  int64_t ToMediaTime(int64_t Value, TMediaTimeFormat Format) const;
  int64_t FromMediaTime(int64_t t, TMediaTimeFormat Format) const;
  int64_t DurationIn(TMediaTimeFormat Format) const;
};
