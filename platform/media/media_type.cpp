#include "platform/media/media_type.h"

#include <cstring>

const TGUID MEDIATYPE_Video = {0x73646976, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
const TGUID MEDIATYPE_Audio = {0x73647561, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
const TGUID MEDIASUBTYPE_RGB24 = {0xE436EB7D, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
const TGUID MEDIASUBTYPE_PCM = {0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
const TGUID FORMAT_VideoInfo = {0x05589F80, 0xC356, 0x11CE, {0xBF, 0x01, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}};
const TGUID FORMAT_WaveFormatEx = {0x05589F81, 0xC356, 0x11CE, {0xBF, 0x01, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}};
const TGUID GUID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

const VIDEOINFOHEADER* TMediaType::VideoInfo() const {
  if (!SameGuid(formattype, FORMAT_VideoInfo) || format.size() < sizeof(VIDEOINFOHEADER)) return nullptr;
  return reinterpret_cast<const VIDEOINFOHEADER*>(format.data());
}

VIDEOINFOHEADER* TMediaType::VideoInfo() {
  return const_cast<VIDEOINFOHEADER*>(static_cast<const TMediaType*>(this)->VideoInfo());
}

TMediaType MakeRGB24VideoType(int32_t Width, int32_t Height, REFERENCE_TIME AvgTimePerFrame) {
  TMediaType type;
  type.majortype = MEDIATYPE_Video;
  type.subtype = MEDIASUBTYPE_RGB24;
  type.formattype = FORMAT_VideoInfo;
  type.bFixedSizeSamples = true;
  const int64_t imageSize = DibRowLength24(Width) * Height;
  type.lSampleSize = static_cast<uint32_t>(imageSize);
  VIDEOINFOHEADER vih{};
  vih.rcSource = TRect{0, 0, Width, Height};
  vih.rcTarget = vih.rcSource;
  vih.AvgTimePerFrame = AvgTimePerFrame;
  if (AvgTimePerFrame > 0) {
    const int64_t bits = imageSize * 8 * 10000000 / AvgTimePerFrame;
    vih.dwBitRate = bits > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(bits);
  }
  vih.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  vih.bmiHeader.biWidth = Width;
  vih.bmiHeader.biHeight = Height;  // bottom-up
  vih.bmiHeader.biPlanes = 1;
  vih.bmiHeader.biBitCount = 24;
  vih.bmiHeader.biCompression = 0;  // BI_RGB
  vih.bmiHeader.biSizeImage = static_cast<uint32_t>(imageSize);
  type.format.resize(sizeof vih);
  std::memcpy(type.format.data(), &vih, sizeof vih);
  return type;
}

TMediaType MakePCMAudioType(int32_t Channels, int32_t SampleRate) {
  TMediaType type;
  type.majortype = MEDIATYPE_Audio;
  type.subtype = MEDIASUBTYPE_PCM;
  type.formattype = FORMAT_WaveFormatEx;
  type.bFixedSizeSamples = true;
  WAVEFORMATEX wfx;
  wfx.nChannels = static_cast<uint16_t>(Channels);
  wfx.nSamplesPerSec = static_cast<uint32_t>(SampleRate);
  wfx.wBitsPerSample = 16;
  wfx.nBlockAlign = static_cast<uint16_t>(Channels * 2);
  wfx.nAvgBytesPerSec = wfx.nSamplesPerSec * wfx.nBlockAlign;
  type.lSampleSize = wfx.nBlockAlign;
  type.format.resize(sizeof wfx);
  std::memcpy(type.format.data(), &wfx, sizeof wfx);
  return type;
}
