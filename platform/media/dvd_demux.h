#pragma once
// The sector demuxer of DVD playback: one MPEG-2 program-stream pack per 2048-byte sector, split
// into its PES packets (video, the private streams' audio and sub-pictures), with their stamps and
// scrambling bits. Every length is checked against the sector.
#include <cstdint>
#include <vector>

struct TDvdPes {
  uint8_t StreamId = 0;    // 0xE0 video, 0xBD private stream 1, 0xBF private stream 2 ...
  uint8_t SubstreamId = 0; // of private stream 1: 0x80-0x87 AC-3, 0x88-0x8F DTS, 0xA0-0xA7 LPCM, 0x20-0x3F sub-pictures
  bool Scrambled = false;  // PES scrambling control set
  int64_t Pts = -1;        // 90 kHz, -1 when none
  int64_t Dts = -1;
  // The payload, after the substream header of private stream 1 (an LPCM payload starts with its
  // three bytes of quantisation, rate and channels).
  const uint8_t* Payload = nullptr;
  int32_t Size = 0;
};

// Splits a sector into its PES packets; false when the sector holds no pack header.
bool DemuxDvdSector(const uint8_t* Sector, int32_t Size, std::vector<TDvdPes>& Out);
