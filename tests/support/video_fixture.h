#pragma once
// Small videos made at test time with libavformat and libavcodec, so that the media tests need no
// sample files. Each frame carries its number in 16 x 16 black and white blocks (bit i of the
// number in block i, row by row from the top left; white is 1), which lossy codecs keep; a video can
// instead be one flat colour, tagged with the BT.601 or BT.709 matrix.
#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

struct VideoSpec {
  // Container: "avi", "mp4", "matroska", "mov", "asf", "mpeg" (MPEG program stream), "wav".
  std::string Container = "avi";
  // Without video the file holds the sound alone, as long as Frames frames would last.
  bool Video = true;
  // Encoder: "rawvideo" (bottom-up BGR24 in AVI), "ffv1", "mjpeg", "mpeg4", "libx264",
  // "mpeg2video", "wmv2".
  std::string Codec = "ffv1";
  int Width = 64;
  int Height = 48;
  int Frames = 10;
  // Frame rate.
  int RateNum = 25;
  int RateDen = 1;
  // Key frame distance (1: every frame) and B-frames between references.
  int Gop = 12;
  int BFrames = 0;
  // Frame numbers in blocks, or one flat colour (RGB) tagged with the matrix (601 or 709).
  bool FlatColour = false;
  uint8_t R = 0, G = 0, B = 0;
  int Matrix = 601;
  // An audio track: a sine tone of ToneHz at Amplitude (of full scale) for the video's length.
  // Encoder: "aac", "mp2", "pcm_s16le", "wmav2".
  bool Audio = false;
  std::string AudioCodec = "pcm_s16le";
  int SampleRate = 48000;
  int Channels = 2;
  double ToneHz = 1000.0;
  double Amplitude = 0.5;
  // Stamps of every stream start this much later (seconds).
  double StartOffset = 0.0;
};

// Writes the video to FileName; an empty string on success, else why it failed.
std::string MakeVideo(const std::string& FileName, const VideoSpec& Spec);

// The frame number shown in a bottom-up BGR24 frame (rows of RowLength bytes); -1 when a block is
// neither black nor white.
int FrameNumberOf(const uint8_t* Bits, int Width, int Height, int RowLength);

// Every byte of a file.
std::vector<uint8_t> ReadFileBytes(const std::string& FileName);

}  // namespace testsupport
