#pragma once
// Reading a media file frame by frame through a media graph: how many frames it has and where each
// is read. The I/O component's media-file frames and the multi-image component's media loader
// share it.
#include <cstdint>
#include <string>

class TIEDirectShow;

// The frames of a clip addressed by media time: its duration in frame durations, to the nearest
// (containers that keep times in milliseconds round a duration down, so that Duration div
// FrameTime would lose the last frame), and at least one. 0 when either is not positive.
int64_t MediaTimeFrameCount(int64_t Duration, int64_t FrameTime);
// Where frame Index of such a clip is read: the middle of its interval. A container that rounds
// frame times (Matroska keeps milliseconds) puts a frame's start up to half a millisecond either
// side of Index x FrameTime, where seeking would show the frame before.
int64_t MediaTimeFramePosition(int64_t Index, int64_t FrameTime);

// The frames of a media file as a graph reads them one by one.
struct TIEMediaFrames {
  // Media time (100 ns); 0 when the file gives nothing to read.
  int64_t Duration = 0;
  int64_t Count = 0;
  // How frames are addressed: 1 by number (the graph took the frame format), above 1 one every
  // Step of media time, 0 the one frame at 0 of a clip without a frame duration.
  int64_t Step = 0;
  // Where frame Index is read, in the graph's time format.
  int64_t Position(int64_t Index) const;
};
// Connects Graph to FileName with the sample grabber, pauses it and counts the frames: by number
// when the graph takes the frame format (decided by the format in use), else the duration in frame
// durations (MediaTimeFrameCount), else one. Count 0 when the duration reads 0.
TIEMediaFrames OpenMediaFrames(TIEDirectShow& Graph, const std::string& FileName);
