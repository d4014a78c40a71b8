#include "imaging/io/media_frames.h"

#include <algorithm>
#include <cstdint>

#include "imaging/io/ie_direct_show.h"

int64_t MediaTimeFrameCount(int64_t Duration, int64_t FrameTime) {
  if (Duration <= 0 || FrameTime <= 0) return 0;
  const int64_t n = Duration / FrameTime + (Duration % FrameTime >= FrameTime - FrameTime / 2 ? 1 : 0);
  return std::max<int64_t>(1, n);
}

int64_t MediaTimeFramePosition(int64_t Index, int64_t FrameTime) {
  if (FrameTime <= 0) return 0;
  return Index * FrameTime + FrameTime / 2;
}

int64_t TIEMediaFrames::Position(int64_t Index) const {
  if (Step == 1) return Index;
  return Step > 1 ? MediaTimeFramePosition(Index, Step) : 0;
}

TIEMediaFrames OpenMediaFrames(TIEDirectShow& Graph, const std::string& FileName) {
  TIEMediaFrames frames;
  Graph.InputFileName = FileName;
  Graph.UseSampleGrabber = true;
  Graph.Connect();
  Graph.Pause();
  Graph.SetTimeFormat(tuMediaTime);
  frames.Duration = Graph.GetDuration();
  if (frames.Duration <= 0) {
    frames.Duration = 0;
    return frames;
  }
  Graph.SetTimeFormat(tuFrame);
  if (Graph.GetTimeFormat() == tuFrame) {
    frames.Step = 1;
    frames.Count = Graph.GetDuration();
  } else {
    frames.Step = Graph.GetAvgTimePerFrame();
    frames.Count = MediaTimeFrameCount(frames.Duration, frames.Step);
    if (frames.Count <= 0) {
      // No frame duration to be had: the clip is one frame.
      frames.Step = 0;
      frames.Count = 1;
    }
  }
  frames.Count = std::clamp<int64_t>(frames.Count, 0, INT32_MAX);
  return frames;
}
