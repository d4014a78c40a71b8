// TIEDirectShow's capture devices: the device list and choice, the capture formats with their
// subtype names and analog standards, the choice of a format, and the crossbar of inputs.
#include <algorithm>
#include <cstring>

#include "imaging/io/ie_direct_show.h"
#include "platform/media/capture_devices.h"
#include "platform/media/media_decoders.h"
#include "platform/media/media_player.h"
#include "platform/system/classes.h"
#include "platform/system/debug_log.h"
#include "platform/system/exception.h"

namespace {

constexpr uint32_t FourCC(const char (&c)[5]) {
  return static_cast<uint32_t>(static_cast<uint8_t>(c[0])) | static_cast<uint32_t>(static_cast<uint8_t>(c[1])) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(c[2])) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(c[3])) << 24;
}

TGUID RGBSubtype(uint32_t First) { return TGUID{First, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}}; }

struct TSubtypeRow {
  const char* Name;
  TGUID Subtype;
  int32_t Bits;
};

// The subtype table in its search order: rows 0 to 22 and 33 to 35 are FOURCC subtypes, the others
// the named RGB subtypes.
const std::vector<TSubtypeRow>& SubtypeTable() {
  static const std::vector<TSubtypeRow> rows = {
      {"CLPL", FourCCSubtype(FourCC("CLPL")), 12}, {"YUYV", FourCCSubtype(FourCC("YUYV")), 16},
      {"IYUV", FourCCSubtype(FourCC("IYUV")), 12}, {"YVU9", FourCCSubtype(FourCC("YVU9")), 9},
      {"Y411", FourCCSubtype(FourCC("Y411")), 12}, {"Y41P", FourCCSubtype(FourCC("Y41P")), 12},
      {"YUY2", FourCCSubtype(FourCC("YUY2")), 16}, {"YVYU", FourCCSubtype(FourCC("YVYU")), 16},
      {"UYVY", FourCCSubtype(FourCC("UYVY")), 16}, {"Y211", FourCCSubtype(FourCC("Y211")), 8},
      {"YV12", FourCCSubtype(FourCC("YV12")), 12}, {"CLJR", FourCCSubtype(FourCC("CLJR")), 8},
      {"IF09", FourCCSubtype(FourCC("IF09")), 9},  {"CPLA", FourCCSubtype(FourCC("CPLA")), 0},
      {"MJPG", FourCCSubtype(FourCC("MJPG")), 0},  {"TVMJ", FourCCSubtype(FourCC("TVMJ")), 0},
      {"WAKE", FourCCSubtype(FourCC("WAKE")), 0},  {"CFCC", FourCCSubtype(FourCC("CFCC")), 0},
      {"IJPG", FourCCSubtype(FourCC("IJPG")), 0},  {"Plum", FourCCSubtype(FourCC("Plum")), 0},
      {"DVCS", FourCCSubtype(FourCC("DVCS")), 0},  {"DVSD", FourCCSubtype(FourCC("DVSD")), 0},
      {"MDVF", FourCCSubtype(FourCC("MDVF")), 0},  {"RGB1", RGBSubtype(0xE436EB78), 1},
      {"RGB4", RGBSubtype(0xE436EB79), 4},         {"RGB8", RGBSubtype(0xE436EB7A), 8},
      {"RGB565", RGBSubtype(0xE436EB7B), 16},      {"RGB555", RGBSubtype(0xE436EB7C), 16},
      {"RGB24", RGBSubtype(0xE436EB7D), 24},       {"RGB32", RGBSubtype(0xE436EB7E), 32},
      {"ARGB1555", TGUID{0x297C55AF, 0xE209, 0x4CB3, {0xB7, 0x57, 0xC7, 0x6D, 0x6B, 0x9C, 0x88, 0xA8}}, 16},
      {"ARGB4444", TGUID{0x6E6415E6, 0x5C24, 0x425F, {0x93, 0xCD, 0x80, 0x10, 0x2B, 0x3D, 0x1C, 0xCA}}, 16},
      {"ARGB32", TGUID{0x773C9AC0, 0x3274, 0x11D0, {0xB7, 0x24, 0x00, 0xAA, 0x00, 0x6C, 0x1A, 0x01}}, 32},
      {"AYUV", FourCCSubtype(FourCC("AYUV")), 32}, {"AI44", FourCCSubtype(FourCC("AI44")), 0},
      {"IA44", FourCCSubtype(FourCC("IA44")), 0},
  };
  return rows;
}

struct TStandardRow {
  uint32_t Flag;
  const char* Name;
};
// The analog video standards; 0x40 has no row, and "None" (0) never matches.
const TStandardRow kStandards[] = {
    {0x0, "None"},         {0x1, "NTSC_M"},      {0x2, "NTSC_M_J"},    {0x4, "NTSC_433"},   {0x10, "PAL_B"},
    {0x20, "PAL_D"},       {0x80, "PAL_H"},      {0x100, "PAL_I"},     {0x200, "PAL_M"},    {0x400, "PAL_N"},
    {0x800, "PAL_60"},     {0x1000, "SECAM_B"},  {0x2000, "SECAM_D"},  {0x4000, "SECAM_G"}, {0x8000, "SECAM_H"},
    {0x10000, "SECAM_K"},  {0x20000, "SECAM_K1"}, {0x40000, "SECAM_L"}, {0x80000, "SECAM_L1"},
    {0x100000, "PAL_N_COMBO"},
};

}  // namespace

std::string TIEDirectShow::SubtypeToName(const TGUID& Subtype) {
  for (const TSubtypeRow& r : SubtypeTable())
    if (SameGuid(r.Subtype, Subtype)) return r.Name;
  return {};
}

TGUID TIEDirectShow::NameToSubtype(const std::string& Name, bool& Known) {
  // Names compare exactly, letter case included.
  for (const TSubtypeRow& r : SubtypeTable()) {
    if (Name == r.Name) {
      Known = true;
      return r.Subtype;
    }
  }
  Known = false;
  return SubtypeTable().front().Subtype;
}

int32_t TIEDirectShow::SubtypeBits(const TGUID& Subtype) {
  for (const TSubtypeRow& r : SubtypeTable())
    if (SameGuid(r.Subtype, Subtype)) return r.Bits;
  return 0;
}

std::string TIEDirectShow::AnalogStandardsText(uint32_t Mask) {
  std::string text;
  for (const TStandardRow& r : kStandards) {
    if (r.Flag != 0 && (Mask & r.Flag)) text += std::string(r.Name) + " ";
  }
  if (!text.empty()) text.pop_back();
  return text;
}

// ------------------------------------------------------------------------------------- devices

const std::vector<std::string>& TIEDirectShow::GetVideoInputs() {
  // Filled once; a list that stayed empty is read again at the next call.
  if (VideoInputNames.empty()) {
    videoInputIds_.clear();
    for (const TCaptureDeviceInfo& d : EnumerateCaptureDevices()) {
      VideoInputNames.push_back(d.Name);
      videoInputIds_.push_back(d.Id);
    }
  }
  return VideoInputNames;
}

void TIEDirectShow::SetVideoInput(int32_t Index, int32_t SameNameIndex) {
  if (Index < 0) {
    VideoInput.reset();
    return;
  }
  GetVideoInputs();
  if (Index >= static_cast<int32_t>(VideoInputNames.size())) return;
  const std::string& name = VideoInputNames[static_cast<size_t>(Index)];
  int32_t seen = 0;
  for (size_t i = 0; i < VideoInputNames.size(); ++i) {
    if (VideoInputNames[i] != name) continue;
    if (seen++ == SameNameIndex) {
      auto filter = std::make_shared<TIEDSFilter>();
      filter->Name = name;
      filter->Path = i < videoInputIds_.size() ? videoInputIds_[i] : std::string();
      VideoInput = filter;
      return;
    }
  }
  // No device of that name at that count: none.
  VideoInput.reset();
}

bool TIEDirectShow::HasStreamConfig() const { return player_ && player_->IsOpen() && player_->IsLive(); }

const TIEVideoFormat& TIEDirectShow::GetVideoFormat(int32_t Index) const {
  if (Index < 0 || Index >= VideoFormatCount()) throw EListError(Format("List index out of bounds (%d)", Index));
  return VideoFormats[static_cast<size_t>(Index)];
}

void TIEDirectShow::FillVideoFormats() {
  VideoFormats.clear();
  if (!HasStreamConfig()) return;
  for (const TCaptureCapability& c : player_->CaptureDevice().Capabilities) {
    TIEVideoFormat f;
    f.SubtypeName = SubtypeToName(c.Subtype);
    f.BitsPerSecond = c.BitRate;
    f.AnalogStandards = AnalogStandardsText(c.AnalogStandards);
    f.MinOutputWidth = c.MinWidth;
    f.MinOutputHeight = c.MinHeight;
    f.MaxOutputWidth = c.MaxWidth;
    f.MaxOutputHeight = c.MaxHeight;
    f.OutputWidthStep = c.StepWidth;
    f.OutputHeightStep = c.StepHeight;
    VideoFormats.push_back(f);
  }
}

void TIEDirectShow::FillCrossbarInputNames() {
  CrossbarInputNames.clear();
  if (!HasStreamConfig()) return;
  const TCaptureDeviceInfo info = player_->CaptureDevice();
  // A device with one input and no tuner has no crossbar.
  if (info.Inputs.size() < 2) return;
  for (const TCaptureInput& i : info.Inputs) CrossbarInputNames.push_back(i.Name);
}

void TIEDirectShow::RouteTunerAudio() {
  if (!HasStreamConfig()) return;
  const TCaptureDeviceInfo info = player_->CaptureDevice();
  for (const TCaptureInput& i : info.Inputs) {
    if (!i.Tuner || i.AudioSet == 0) continue;
    // The tuner's own sound.
    for (int32_t a = 0; a < 32; ++a) {
      if (i.AudioSet & (1u << a)) {
        player_->SelectCaptureAudio(a);
        return;
      }
    }
  }
}

void TIEDirectShow::SetCurrentVideoFormat(int32_t Width, int32_t Height, const std::string& SubtypeName) {
  if (!HasStreamConfig()) return;
  TCaptureCapability cap;
  int32_t w = 0, h = 0;
  int64_t interval = 0;
  if (!player_->CaptureFormat(cap, w, h, interval)) return;
  TGUID subtype = cap.Subtype;
  // The current format, changed where asked.
  if (Width > 0 && Height > 0) {
    if (!MediaFrameSizeAllowed(Width, Height)) {
      OutputDebugString("SetCurrentVideoFormat: " + std::to_string(Width) + " x " + std::to_string(Height) + " refused");
      return;
    }
    w = Width;
    h = Height;
  }
  if (!SubtypeName.empty()) {
    bool known = false;
    const TGUID named = NameToSubtype(SubtypeName, known);
    if (known) {
      subtype = named;
    } else {
      OutputDebugString("SetCurrentVideoFormat: no subtype \"" + SubtypeName + "\"; the format keeps its own");
    }
  }
  TMediaType type;
  type.majortype = MEDIATYPE_Video;
  type.subtype = subtype;
  type.formattype = FORMAT_VideoInfo;
  type.bFixedSizeSamples = SubtypeBits(subtype) > 0;
  type.format.resize(sizeof(VIDEOINFOHEADER));
  VIDEOINFOHEADER* vih = type.VideoInfo();
  *vih = VIDEOINFOHEADER{};
  vih->rcSource = vih->rcTarget = TRect{0, 0, w, h};
  vih->bmiHeader.biWidth = w;
  vih->bmiHeader.biHeight = h;
  vih->bmiHeader.biBitCount = static_cast<uint16_t>(SubtypeBits(subtype));
  // FOURCC subtypes carry their code; the RGB ones are uncompressed.
  const bool fourcc = SameGuid(FourCCSubtype(subtype.D1), subtype);
  vih->bmiHeader.biCompression = fourcc ? subtype.D1 : BI_RGB;
  // The sample size in 64 bits; the rate, frame time and image size left for the device to say.
  const int64_t sample = int64_t{SubtypeBits(subtype)} * w * h / 8;
  type.lSampleSize = static_cast<uint32_t>(std::min<int64_t>(sample, UINT32_MAX));
  vih->dwBitRate = 0;
  vih->AvgTimePerFrame = 0;
  vih->bmiHeader.biSizeImage = 0;
  lastFormatRequest_ = type;
  TCaptureRequest request;
  request.Width = w;
  request.Height = h;
  request.Subtype = subtype;
  request.FrameInterval = 0;  // the device keeps its rate
  player_->SetCaptureFormat(request);
}

int32_t TIEDirectShow::GetCrossbarVideoInput() {
  if (!HasStreamConfig() || CrossbarInputNames.empty()) return 0;
  return std::max(0, player_->CaptureDevice().CurrentInput);
}

void TIEDirectShow::SetCrossbarVideoInput(int32_t Index) {
  if (!HasStreamConfig() || CrossbarInputNames.empty()) return;
  player_->SelectCaptureInput(Index);
}
