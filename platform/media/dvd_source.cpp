// The navigated DVD source: libdvdnav's blocks through our sector demuxer and libavcodec's parsers
// into packets on one continuous clock.
#include "platform/media/dvd_source.h"

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "platform/media/dvd_ifo.h"
#include "platform/media/media_events.h"
#include "platform/media/media_time.h"
#include "platform/media/video_sample.h"
#include "platform/system/debug_log.h"

extern "C" {
#include <dvdnav/dvdnav.h>
#include <libavcodec/avcodec.h>
}

namespace {

constexpr int64_t k90k = 90000;
// Error codes of EC_DVD_ERROR.
constexpr intptr_t kDvdErrorUnexpected = 1;
constexpr intptr_t kDvdErrorCopyProtectFail = 2;
// The sound handed to the player, whatever the disc holds.
constexpr int32_t kAudioRate = 48000, kAudioChannels = 2;
// Blocks read in one ReadPacket call before it answers "nothing yet" (menus and jumps can produce
// long runs of blocks without a packet; the player's commands must not wait on them).
constexpr int kBlocksPerRead = 4096;
// Blocks read at Open to find the first picture's size.
constexpr int kBlocksAtOpen = 20000;
// A jump in the disc's stamps larger than this between one VOBU and the next is a discontinuity.
constexpr int64_t kStampSlack = k90k / 10;
// The stream's duration: the disc has none, the player's position runs on for this long.
constexpr int64_t kNoEnd = k90k * 3600 * 1000;
// Time searches tried again further back when the navigator lands after the time asked for.
constexpr int32_t kSearchTries = 4;

int64_t NowUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

int64_t To90k(int64_t MediaTime) { return MediaTime * k90k / kMediaTimeUnitsPerSecond; }
int64_t FromNinety(int64_t Time90k) { return Time90k * kMediaTimeUnitsPerSecond / k90k; }

void LogFromNavigator(void*, dvdnav_logger_level_t Level, const char* Format, va_list Args) {
  if (Level == DVDNAV_LOGGER_LEVEL_DEBUG) return;
  char text[512];
  std::vsnprintf(text, sizeof text, Format, Args);
  OutputDebugString(std::string("libdvdnav: ") + text);
}

// The size in an MPEG-2 sequence header (00 00 01 B3), when the payload holds one.
// The decoder of a DVD audio stream: its stream id (MPEG audio) or the substream id of private
// stream 1; AV_CODEC_ID_NONE for anything else.
AVCodecID AudioCodecOf(int32_t Kind) {
  if (Kind >= 0x80 && Kind <= 0x87) return AV_CODEC_ID_AC3;
  if (Kind >= 0x88 && Kind <= 0x8F) return AV_CODEC_ID_DTS;
  if (Kind >= 0xA0 && Kind <= 0xA7) return AV_CODEC_ID_PCM_DVD;
  if (Kind >= 0xC0 && Kind <= 0xC7) return AV_CODEC_ID_MP2;
  return AV_CODEC_ID_NONE;
}

bool SequenceSize(const uint8_t* Data, int32_t Size, int32_t& Width, int32_t& Height) {
  for (int32_t i = 0; i + 7 <= Size; ++i) {
    if (Data[i] == 0 && Data[i + 1] == 0 && Data[i + 2] == 1 && Data[i + 3] == 0xB3) {
      Width = (Data[i + 4] << 4) | (Data[i + 5] >> 4);
      Height = ((Data[i + 5] & 0x0F) << 8) | Data[i + 6];
      return Width > 0 && Height > 0;
    }
  }
  return false;
}

}  // namespace

TDvdSource::TDvdSource(std::string Path) : path_(std::move(Path)) {}

TDvdSource::~TDvdSource() {
  if (videoParser_) av_parser_close(videoParser_);
  if (audioParser_) av_parser_close(audioParser_);
  audioDecoder_.Reset();
  if (nav_) dvdnav_close(nav_);
  if (context_) avformat_free_context(context_);
}

void TDvdSource::SetPlayerHooks(std::function<int64_t()> ClockNow,
                                std::function<void(int32_t, intptr_t, intptr_t)> QueueEvent) {
  clockNow_ = std::move(ClockNow);
  queueEvent_ = std::move(QueueEvent);
}

void TDvdSource::Queue(int32_t Code, intptr_t Param1, intptr_t Param2) {
  if (queueEvent_) queueEvent_(Code, Param1, Param2);
}

bool TDvdSource::Open(std::string& Error) {
  static const dvdnav_logger_cb logger = {LogFromNavigator};
  // libdvdread loses its reader on a path that does not exist.
  std::error_code ec;
  if (!std::filesystem::exists(path_, ec)) {
    Error = "\"" + path_ + "\" does not exist";
    return false;
  }
  // Our check first: libdvdread and libdvdnav crash, abort or spin on some damaged discs.
  auto disc = std::make_shared<TDvdVmgFacts>();
  std::string why;
  if (!CheckDvd(path_, *disc, why)) {
    Error = "the disc is refused: " + why;
    return false;
  }
  disc_ = std::move(disc);
  if (dvdnav_open2(&nav_, nullptr, &logger, path_.c_str()) != DVDNAV_STATUS_OK) {
    nav_ = nullptr;
    Error = "libdvdnav cannot open \"" + path_ + "\"";
    return false;
  }
  Configure();
  block_.resize(DVD_VIDEO_LB_LEN);

  const AVCodec* video = avcodec_find_decoder(AV_CODEC_ID_MPEG2VIDEO);
  if (!video) {
    Error = "no MPEG-2 video decoder";
    return false;
  }
  videoParser_ = av_parser_init(AV_CODEC_ID_MPEG2VIDEO);
  videoCtx_.reset(avcodec_alloc_context3(video));
  audioFrame_.reset(av_frame_alloc());
  audioDecoder_.SetOutput(TAudioFormat{kAudioRate, kAudioChannels});
  context_ = avformat_alloc_context();
  if (!videoParser_ || !videoCtx_ || !audioFrame_ || !context_) {
    Error = "out of memory";
    return false;
  }

  // The first picture's size (the disc may begin with a menu or a title).
  for (int i = 0; i < kBlocksAtOpen && width_ == 0 && !broken_ && !stopped_; ++i) Step();
  uint32_t w = 0, h = 0;
  const bool resolution = dvdnav_get_video_resolution(nav_, &w, &h) == DVDNAV_STATUS_OK && w > 0 && h > 0;
  if (width_ == 0 && scrambled_) {
    // Reported already; the graph stands and plays nothing.
    width_ = resolution ? static_cast<int32_t>(w) : 720;
    height_ = resolution ? static_cast<int32_t>(h) : 576;
  }
  if (width_ == 0) {
    Error = broken_ ? "the disc cannot be read" : "the disc holds no video";
    return false;
  }
  if (resolution && h == 480) fps_ = 30;
  if (height_ == 480 || height_ == 240) fps_ = 30;

  AVStream* vs = avformat_new_stream(context_, nullptr);
  if (!vs) {
    Error = "out of memory";
    return false;
  }
  vs->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
  vs->codecpar->codec_id = AV_CODEC_ID_MPEG2VIDEO;
  vs->codecpar->width = width_;
  vs->codecpar->height = height_;
  vs->time_base = AVRational{1, static_cast<int>(k90k)};
  vs->start_time = 0;
  vs->duration = kNoEnd;
  vs->avg_frame_rate = fps_ == 30 ? AVRational{30000, 1001} : AVRational{25, 1};
  if (avcodec_find_decoder(AV_CODEC_ID_PCM_S16LE)) {
    AVStream* as = avformat_new_stream(context_, nullptr);
    if (as) {
      as->codecpar->codec_type = AVMEDIA_TYPE_AUDIO;
      as->codecpar->codec_id = AV_CODEC_ID_PCM_S16LE;
      as->codecpar->sample_rate = kAudioRate;
      as->codecpar->bits_per_coded_sample = 16;
      as->codecpar->block_align = 2 * kAudioChannels;
      av_channel_layout_default(&as->codecpar->ch_layout, kAudioChannels);
      as->time_base = AVRational{1, static_cast<int>(k90k)};
      as->start_time = 0;
      as->duration = kNoEnd;
    }
  }
  return true;
}

void TDvdSource::Configure() {
  // No read-ahead cache: libdvdnav 6.1 loses it when a read fails in the middle of a VOBU.
  dvdnav_set_readahead_flag(nav_, 0);
  dvdnav_set_PGC_positioning_flag(nav_, 1);
  dvdnav_menu_language_select(nav_, const_cast<char*>("en"));
  dvdnav_audio_language_select(nav_, const_cast<char*>("en"));
  dvdnav_spu_language_select(nav_, spuLanguage_);
}

// ------------------------------------------------------------------------------------- reading

int TDvdSource::ReadPacket(AVPacket* Packet) {
  for (int i = 0; i < kBlocksPerRead; ++i) {
    if (!out_.empty()) {
      av_packet_move_ref(Packet, out_.front().get());
      out_.pop_front();
      return 0;
    }
    if (drainPending_) {
      drainPending_ = false;
      return kSourceDrain;
    }
    if (broken_) return kSourceStop;
    if (stopped_ || Interrupted()) return AVERROR_EOF;
    if (inStill_) {
      // The last picture stays for the still's length (0xFF: until a command moves on).
      if (stillLength_ == 0xFF || NowUs() - stillStartUs_ < int64_t{stillLength_} * 1000000) return AVERROR(EAGAIN);
      dvdnav_still_skip(nav_);
      inStill_ = false;
      // The picture after the still starts when the still ends.
      rebase_ = true;
      rebaseAt_ = std::max(lastMediaEnd_, clockNow_ ? To90k(clockNow_()) : lastMediaEnd_);
      continue;
    }
    Step();
  }
  return AVERROR(EAGAIN);
}

void TDvdSource::Step() {
  int32_t event = 0, length = 0;
  if (dvdnav_get_next_block(nav_, block_.data(), &event, &length) != DVDNAV_STATUS_OK) {
    OutputDebugString(std::string("DVD: the disc cannot be read: ") + dvdnav_err_to_string(nav_));
    // What was read before still plays.
    FlushParsers();
    broken_ = true;
    Queue(EC_DVD_ERROR, kDvdErrorUnexpected);
    return;
  }
  switch (event) {
    case DVDNAV_BLOCK_OK:
      OnSector(block_.data(), length);
      break;
    case DVDNAV_NAV_PACKET:
      OnNavPacket();
      break;
    case DVDNAV_STILL_FRAME: {
      dvdnav_still_event_t still;
      std::memcpy(&still, block_.data(), sizeof still);
      // The still's picture goes out of the parser and the decoder, and stays.
      FlushParsers();
      inStill_ = true;
      drainPending_ = true;
      stillLength_ = still.length;
      stillStartUs_ = NowUs();
      break;
    }
    case DVDNAV_WAIT:
      dvdnav_wait_skip(nav_);
      break;
    case DVDNAV_CELL_CHANGE: {
      dvdnav_cell_change_event_t cell;
      std::memcpy(&cell, block_.data(), sizeof cell);
      totalTitleTime_ = cell.pgc_length;
      navCell_ = cell.cellN;
      navProgram_ = cell.pgN;
      // Another chain may number its streams otherwise.
      UpdateSubpictureStream();
      break;
    }
    case DVDNAV_VTS_CHANGE: {
      dvdnav_vts_change_event_t change;
      std::memcpy(&change, block_.data(), sizeof change);
      navSet_ = change.new_vtsN;
      navCell_ = navProgram_ = 0;
      break;
    }
    case DVDNAV_AUDIO_STREAM_CHANGE: {
      dvdnav_audio_stream_change_event_t change;
      std::memcpy(&change, block_.data(), sizeof change);
      if (change.physical >= 0 && change.physical < 8) audioStream_ = change.physical;
      break;
    }
    case DVDNAV_SPU_CLUT_CHANGE:
      std::memcpy(clut_, block_.data(), sizeof clut_);
      break;
    case DVDNAV_SPU_STREAM_CHANGE: {
      dvdnav_spu_stream_change_event_t change;
      std::memcpy(&change, block_.data(), sizeof change);
      // The high bit: the disc's commands hide the stream's subtitles (forced ones still show).
      spuNavStream_ = change.physical_wide >= 0 ? (change.physical_wide & 0x1F) : -1;
      spuNavShown_ = change.physical_wide >= 0 && !(change.physical_wide & 0x80);
      UpdateSubpictureStream();
      break;
    }
    case DVDNAV_STOP:
      FlushParsers();
      stopped_ = true;
      break;
    default:
      break;
  }
}

void TDvdSource::OnNavPacket() {
  pci_t* pci = dvdnav_get_current_nav_pci(nav_);
  if (!pci) return;
  const int64_t start = pci->pci_gi.vobu_s_ptm, end = pci->pci_gi.vobu_e_ptm;
  TVobu vobu;
  int32_t title = 0, part = 0;
  if (dvdnav_current_title_info(nav_, &title, &part) == DVDNAV_STATUS_OK && title > 0) {
    vobu.Title = title;
    vobu.Chapter = part;
    vobu.TitleTime = std::max<int64_t>(0, dvdnav_get_current_time(nav_));
    vobu.TotalTitleTime = totalTitleTime_;
    int32_t angle = 0, angles = 0;
    if (dvdnav_get_angle_info(nav_, &angle, &angles) == DVDNAV_STATUS_OK && angles >= 1) {
      vobu.Angle = angle;
      vobu.Angles = angles;
    }
  }
  const hli_t& hli = pci->hli;
  if (hli.hl_gi.hli_ss != 0 && hli.hl_gi.btn_ns > 0) {
    auto buttons = std::make_shared<TButtons>();
    buttons->Count = std::min<int32_t>(hli.hl_gi.btn_ns, 36);
    for (int32_t i = 0; i < buttons->Count; ++i) {
      const btni_t& b = hli.btnit[i];
      buttons->Button[i] = {static_cast<int32_t>(b.x_start), static_cast<int32_t>(b.y_start), static_cast<int32_t>(b.x_end),
                            static_cast<int32_t>(b.y_end), static_cast<int32_t>(b.btn_coln)};
    }
    for (int i = 0; i < 3; ++i) {
      buttons->Colors[i][0] = hli.btn_colit.btn_coli[i][0];
      buttons->Colors[i][1] = hli.btn_colit.btn_coli[i][1];
    }
    vobu.Buttons = std::move(buttons);
  }
  skipVobu_ = false;
  if (searchTime_ >= 0 && vobu.Title > 0) {
    // libdvdnav finds a time by the sectors of its cell, and may land on a VOBU after the time
    // asked for: search again further back until the VOBU begins at or before it (its frames
    // before the time are passed over). This VOBU is not played.
    if (vobu.TitleTime > searchTime_ && searchTries_ < kSearchTries && searchAsked_ > 0) {
      ++searchTries_;
      searchAsked_ = searchTries_ == kSearchTries ? 0 : std::max<int64_t>(0, searchAsked_ - (vobu.TitleTime - searchTime_) - k90k / 2);
      if (dvdnav_time_search(nav_, static_cast<uint64_t>(searchAsked_)) == DVDNAV_STATUS_OK) {
        skipVobu_ = true;
        lastVobuEnd_ = -1;
        return;
      }
    }
    searchTime_ = -1;
    if (backward_ && vobu.TitleTime >= backVobuTime_ && !backFirst_) {
      // No VOBU before the one shown was found: forward from here.
      OutputDebugString("DVD: backward play ends: no earlier key frame found");
      EndBackward(vobu.TitleTime);
    }
  }
  if (backward_) {
    // Each key frame stays for the title time stepped over at the speed asked (a frame at least,
    // two seconds at most).
    if (!backFirst_) {
      const int64_t spanned = std::max<int64_t>(0, backVobuTime_ - vobu.TitleTime) * 1000 / backSpeedMilli_;
      backAt_ += std::clamp<int64_t>(spanned, k90k / std::max(fps_, 1), 2 * k90k);
    }
    backFirst_ = false;
    backKeyTaken_ = false;
    backVobuTime_ = vobu.TitleTime;
    rebase_ = true;
    rebaseAt_ = backAt_;
    anchor_ = -1;
  }
  if (rebase_) {
    // After a time search the time asked for lands at rebaseAt_ (the frames before it in the VOBU
    // come earlier, for the player to pass over).
    const int64_t lead = anchor_ >= 0 && vobu.Title > 0 ? std::max<int64_t>(0, anchor_ - vobu.TitleTime) : 0;
    offset_ = rebaseAt_ - lead - start;
    rebase_ = false;
    anchor_ = -1;
  } else if (lastVobuEnd_ >= 0 && std::llabs(start - lastVobuEnd_) > kStampSlack) {
    // The disc's stamps restart (a new cell, a seamless branch): the clock runs on.
    offset_ = lastMediaEnd_ - start;
  }
  lastVobuEnd_ = end;
  lastMediaEnd_ = std::max(lastMediaEnd_, end + offset_);
  vobu.MediaStart = start + offset_;
  title_ = vobu.Title;
  chapter_ = vobu.Chapter;
  // Keep the VOBUs not yet on screen (the player reads a few frames ahead).
  while (vobus_.size() > 256) vobus_.pop_front();
  vobus_.push_back(vobu);
}

void TDvdSource::OnSector(const uint8_t* Sector, int32_t Size) {
  if (skipVobu_) return;
  pes_.clear();
  if (!DemuxDvdSector(Sector, Size, pes_)) return;
  for (const TDvdPes& p : pes_) {
    if (skipVobu_) return;  // a search is under way (backward play's next step)
    if (p.Scrambled) {
      // CSS: the disc must be decrypted, which we do not do.
      OutputDebugString("DVD \"" + path_ + "\": This DVD is encrypted (CSS); it cannot be played because "
                        "libdvdcss is not installed.");
      broken_ = true;
      scrambled_ = true;
      Discard();
      Queue(EC_DVD_ERROR, kDvdErrorCopyProtectFail);
      return;
    }
    const int64_t pts = p.Pts >= 0 ? p.Pts + offset_ : AV_NOPTS_VALUE;
    const int64_t dts = p.Dts >= 0 ? p.Dts + offset_ : AV_NOPTS_VALUE;
    if (p.StreamId == 0xE0) {
      if (width_ == 0) SequenceSize(p.Payload, p.Size, width_, height_);
      Parse(videoParser_, videoCtx_.get(), 0, p.Payload, p.Size, pts, dts);
    } else if (p.StreamId == 0xBD && p.SubstreamId >= 0x20 && p.SubstreamId <= 0x3F) {
      if (p.SubstreamId - 0x20 == spuStream_ && !backward_) OnSubpicture(p, pts);
    } else if (p.StreamId == 0xBD) {
      OnAudio(p.SubstreamId, p, pts);
    } else {
      OnAudio(p.StreamId, p, pts);
    }
  }
}

void TDvdSource::OnSubpicture(const TDvdPes& Pes, int64_t Pts) {
  if (!spuAssembler_.Add(Pes.Payload, Pes.Size, Pts)) return;
  TShownSpu shown;
  const std::vector<uint8_t>& unit = spuAssembler_.Unit();
  if (!DecodeDvdSubpicture(unit.data(), unit.size(), shown.Spu)) return;
  const int64_t at = spuAssembler_.UnitPts() != AV_NOPTS_VALUE && spuAssembler_.UnitPts() >= 0 ? spuAssembler_.UnitPts()
                                                                                                : lastMediaEnd_;
  shown.Start = at + shown.Spu.StartDelay;
  shown.End = shown.Spu.StopDelay >= 0 ? at + shown.Spu.StopDelay : -1;
  while (spus_.size() >= 16) spus_.pop_front();
  spus_.push_back(std::move(shown));
}

void TDvdSource::Parse(AVCodecParserContext* Parser, AVCodecContext* Context, int Stream, const uint8_t* Data,
                       int32_t Size, int64_t Pts, int64_t Dts) {
  const bool flush = Data == nullptr;
  for (int guard = 0; guard < 1 << 16 && (Size > 0 || flush); ++guard) {
    uint8_t* frame = nullptr;
    int frameSize = 0;
    const int used = av_parser_parse2(Parser, Context, &frame, &frameSize, Data, Size, Pts, Dts, 0);
    if (used < 0) return;
    if (!flush) {
      Data += used;
      Size -= used;
      Pts = Dts = AV_NOPTS_VALUE;
    }
    if (frameSize > 0 && backward_ && Stream == 0) {
      // Backward: the VOBU's first key frame alone, at its step's time.
      if (!backKeyTaken_ && !flush && (Parser->pict_type == AV_PICTURE_TYPE_I || Parser->key_frame == 1)) {
        TAVPacketPtr packet(av_packet_alloc());
        if (!packet || av_new_packet(packet.get(), frameSize) < 0) return;
        std::memcpy(packet->data, frame, static_cast<size_t>(frameSize));
        packet->stream_index = 0;
        packet->pts = packet->dts = backAt_;
        packet->flags |= AV_PKT_FLAG_KEY;
        out_.push_back(std::move(packet));
        backKeyTaken_ = true;
        StepBack();
        return;
      }
    } else if (frameSize > 0 && context_ && context_->nb_streams > static_cast<unsigned>(Stream)) {
      TAVPacketPtr packet(av_packet_alloc());
      if (!packet || av_new_packet(packet.get(), frameSize) < 0) return;
      std::memcpy(packet->data, frame, static_cast<size_t>(frameSize));
      packet->stream_index = Stream;
      packet->pts = Parser->pts;
      packet->dts = Parser->dts;
      if (Parser->key_frame == 1) packet->flags |= AV_PKT_FLAG_KEY;
      out_.push_back(std::move(packet));
    }
    if (flush) {
      if (frameSize <= 0) return;
    } else if (used == 0 && frameSize == 0) {
      return;
    }
  }
}

void TDvdSource::FlushParsers() {
  if (videoParser_) Parse(videoParser_, videoCtx_.get(), 0, nullptr, 0, AV_NOPTS_VALUE, AV_NOPTS_VALUE);
  FlushAudio();
}

// ---------------------------------------------------------------------------------------- sound

void TDvdSource::OnAudio(int32_t Kind, const TDvdPes& Pes, int64_t Pts) {
  if (backward_) return;  // no sound backward
  if (AudioCodecOf(Kind) == AV_CODEC_ID_NONE || !context_ || context_->nb_streams < 2) return;
  // The physical stream number is the id's low three bits, whatever the coding.
  if (audioStream_ < 0) audioStream_ = Kind & 7;
  if ((Kind & 7) != audioStream_) return;
  if (Kind != audioKind_ && !OpenAudio(Kind)) return;
  if (audioBroken_) return;
  TAVPacketPtr packet(av_packet_alloc());
  if (!packet) return;
  if (AudioCodecOf(Kind) == AV_CODEC_ID_PCM_DVD) {
    // LPCM: each packet's samples after its header (which the decoder reads) decode as they come.
    if (Pes.Size <= 0 || av_new_packet(packet.get(), Pes.Size) < 0) return;
    std::memcpy(packet->data, Pes.Payload, static_cast<size_t>(Pes.Size));
    packet->pts = Pts;
    DecodeAudio(packet.get());
    return;
  }
  if (!audioParser_) return;
  const uint8_t* data = Pes.Payload;
  int32_t size = Pes.Size;
  int64_t pts = Pts;
  for (int guard = 0; guard < 1 << 16 && size > 0; ++guard) {
    uint8_t* frame = nullptr;
    int frameSize = 0;
    const int used = av_parser_parse2(audioParser_, audioParserCtx_.get(), &frame, &frameSize, data, size, pts, pts, 0);
    if (used < 0) return;
    data += used;
    size -= used;
    pts = AV_NOPTS_VALUE;
    if (frameSize > 0) {
      packet->data = frame;
      packet->size = frameSize;
      packet->pts = audioParser_->pts;
      DecodeAudio(packet.get());
    } else if (used == 0) {
      return;
    }
  }
}

bool TDvdSource::OpenAudio(int32_t Kind) {
  FlushAudio();
  audioDecoder_.Reset();
  if (audioParser_) av_parser_close(audioParser_);
  audioParser_ = nullptr;
  audioParserCtx_.reset();
  audioKind_ = Kind;
  audioNext_ = -1;
  audioBroken_ = true;
  const AVCodecID id = AudioCodecOf(Kind);
  AVCodecParameters* parameters = avcodec_parameters_alloc();
  if (!parameters) return false;
  parameters->codec_type = AVMEDIA_TYPE_AUDIO;
  parameters->codec_id = id;
  std::string error;
  const bool opened = audioDecoder_.Open(parameters, AVRational{1, static_cast<int>(k90k)}, 1, error);
  avcodec_parameters_free(&parameters);
  if (!opened) {
    OutputDebugString("DVD: the sound (" + std::string(avcodec_get_name(id)) + ") cannot be decoded: " + error);
    return true;
  }
  if (id != AV_CODEC_ID_PCM_DVD) {
    audioParser_ = av_parser_init(id);
    const AVCodec* codec = avcodec_find_decoder(id);
    audioParserCtx_.reset(codec ? avcodec_alloc_context3(codec) : nullptr);
    if (!audioParser_ || !audioParserCtx_) {
      audioDecoder_.Reset();
      return true;
    }
  }
  audioBroken_ = false;
  return true;
}

void TDvdSource::DecodeAudio(const AVPacket* Packet) {
  if (!audioDecoder_.IsOpen()) return;
  if (audioDecoder_.Send(Packet) < 0 && Packet) return;
  while (audioDecoder_.Receive(audioFrame_.get()) == 0) {
    int64_t at = audioFrame_->best_effort_timestamp;
    if (at == AV_NOPTS_VALUE) at = audioFrame_->pts;
    if (at == AV_NOPTS_VALUE) at = audioNext_;
    pcm_.clear();
    const int64_t frames = audioDecoder_.Convert(audioFrame_.get(), pcm_);
    av_frame_unref(audioFrame_.get());
    // Samples with no time to play at (the stream's first, before any stamp) are passed over.
    if (frames <= 0 || at < 0) continue;
    const int64_t bytes = static_cast<int64_t>(pcm_.size()) * 2;
    TAVPacketPtr out(av_packet_alloc());
    if (!out || bytes > INT32_MAX || av_new_packet(out.get(), static_cast<int>(bytes)) < 0) return;
    std::memcpy(out->data, pcm_.data(), static_cast<size_t>(bytes));
    out->stream_index = 1;
    out->pts = out->dts = at;
    out->duration = frames * k90k / kAudioRate;
    audioNext_ = at + out->duration;
    out_.push_back(std::move(out));
  }
}

void TDvdSource::FlushAudio() {
  if (!audioDecoder_.IsOpen() || audioBroken_) return;
  if (audioParser_) {
    uint8_t* frame = nullptr;
    int frameSize = 0;
    av_parser_parse2(audioParser_, audioParserCtx_.get(), &frame, &frameSize, nullptr, 0, AV_NOPTS_VALUE,
                     AV_NOPTS_VALUE, 0);
    if (frameSize > 0) {
      TAVPacketPtr packet(av_packet_alloc());
      if (packet) {
        packet->data = frame;
        packet->size = frameSize;
        packet->pts = audioParser_->pts;
        DecodeAudio(packet.get());
      }
    }
  }
  // The decoder's last frames out; then it takes packets again.
  DecodeAudio(nullptr);
  audioDecoder_.Flush();
}

void TDvdSource::Discard() {
  out_.clear();
  // Fresh parsers: nothing of the old content reaches the new.
  if (videoParser_) {
    av_parser_close(videoParser_);
    videoParser_ = av_parser_init(AV_CODEC_ID_MPEG2VIDEO);
  }
  if (audioParser_) {
    av_parser_close(audioParser_);
    audioParser_ = av_parser_init(AudioCodecOf(audioKind_));
  }
  if (audioDecoder_.IsOpen()) audioDecoder_.Flush();
  audioNext_ = -1;
  inStill_ = false;
  drainPending_ = false;
  spuAssembler_.Reset();
  spus_.clear();
}

// ------------------------------------------------------------------------------ backward play

void TDvdSource::StepBack() {
  // The key frame out of the decoder; what the parser holds of the next picture and the rest of
  // the VOBU are not shown.
  drainPending_ = true;
  skipVobu_ = true;
  if (videoParser_) {
    av_parser_close(videoParser_);
    videoParser_ = av_parser_init(AV_CODEC_ID_MPEG2VIDEO);
  }
  if (backVobuTime_ > 0) {
    // Back by the step, and at least to the VOBU before this one.
    const int64_t step = std::max<int64_t>(1, backSpeedMilli_ * k90k / 1000 / 5);
    if (Search(std::max<int64_t>(0, std::min(backVobuTime_ - step, backVobuTime_ - 1)))) {
      rebase_ = true;
      lastVobuEnd_ = -1;
      return;
    }
    OutputDebugString(std::string("DVD: backward play ends: ") + dvdnav_err_to_string(nav_));
  }
  // At the title's start: forward at 1x from the key frame shown.
  if (!Search(backVobuTime_)) {
    backward_ = false;
    return;
  }
  EndBackward(backVobuTime_);
}

void TDvdSource::EndBackward(int64_t TitleTime) {
  // The VOBU read next plays forward from TitleTime, a frame after the key frame shown last (its
  // pictures before TitleTime come earlier, for the player to pass over).
  backward_ = false;
  rebase_ = true;
  lastVobuEnd_ = -1;
  rebaseAt_ = backAt_ + k90k / std::max(fps_, 1);
  backEndsAt_ = rebaseAt_;
  anchor_ = TitleTime;
  lastMediaEnd_ = std::max(lastMediaEnd_, rebaseAt_);
}

bool TDvdSource::Search(int64_t TitleTime) {
  if (dvdnav_time_search(nav_, static_cast<uint64_t>(TitleTime)) != DVDNAV_STATUS_OK) return false;
  searchTime_ = searchAsked_ = TitleTime;
  searchTries_ = 0;
  return true;
}

// ----------------------------------------------------------------------------------- commands

int TDvdSource::PlayAtTime(int32_t Title, int64_t Time90k) {
  searchTime_ = -1;
  dvdnav_status_t status = dvdnav_title_play(nav_, Title);
  if (status == DVDNAV_STATUS_OK && Time90k > 0) {
    // The navigator searches a title once it has reached its first cell.
    bool found = Search(Time90k);
    for (int i = 0; i < kBlocksPerRead && !found && !broken_ && !stopped_; ++i) {
      Step();
      found = Search(Time90k);
    }
    if (!found) status = DVDNAV_STATUS_ERR;
  }
  return status;
}

TDvdSource::TCommandResult TDvdSource::Command(TDvdCommandKind Kind, int64_t Arg1, int64_t Arg2, int64_t At) {
  if (!nav_ || broken_) return cmdNothing;
  switch (Kind) {
    case dvdSubpicture:
      if (Arg1 >= 0) {
        // A stream the title has (the navigator names no language for one it lacks).
        if (Arg1 > 31 || !dvdnav_is_domain_vts(nav_) || dvdnav_spu_stream_to_lang(nav_, static_cast<uint8_t>(Arg1)) == 0xFFFF) {
          OutputDebugString("DVD: no sub-picture stream " + std::to_string(Arg1) + " here");
          return cmdNothing;
        }
        spuChosen_ = static_cast<int32_t>(Arg1);
      }
      if (Arg2 >= -1 && Arg2 <= 1) spuShow_ = static_cast<int32_t>(Arg2);
      UpdateSubpictureStream();
      if (!vobus_.empty() && shown90k_ >= 0) Publish(vobus_.front(), shown90k_);
      return cmdRedraw;
    case dvdSubpictureLanguage: {
      const char first = static_cast<char>((Arg1 >> 8) & 0xFF), second = static_cast<char>(Arg1 & 0xFF);
      if (Arg1 < 0 || Arg1 > 0xFFFF || first < 'a' || first > 'z' || second < 'a' || second > 'z') return cmdNothing;
      spuLanguage_[0] = first;
      spuLanguage_[1] = second;
      dvdnav_spu_language_select(nav_, spuLanguage_);
      // The title's stream of that language, when it has one, is drawn from now on.
      if (dvdnav_is_domain_vts(nav_)) {
        for (uint8_t logical = 0; logical < 32; ++logical) {
          if (dvdnav_spu_stream_to_lang(nav_, logical) == static_cast<uint16_t>(Arg1)) {
            spuChosen_ = logical;
            break;
          }
        }
      }
      UpdateSubpictureStream();
      if (!vobus_.empty() && shown90k_ >= 0) Publish(vobus_.front(), shown90k_);
      return cmdRedraw;
    }
    case dvdAngle:
      // Taken at the next angle block the navigator reads; the frames read ahead stay.
      if (Arg1 < 1 || Arg1 > 9 || dvdnav_angle_change(nav_, static_cast<int32_t>(Arg1)) != DVDNAV_STATUS_OK) {
        OutputDebugString("DVD: angle " + std::to_string(Arg1) + " refused: " + dvdnav_err_to_string(nav_));
      }
      return cmdNothing;
    default:
      break;
  }
  const bool restarted = stopped_ && Kind != dvdSelectAt && Kind != dvdActivate;
  if (restarted) {
    // The navigator has stopped at the disc's end; it starts again (from the disc's first play)
    // for a jump, as it does not from where it stopped.
    if (dvdnav_reset(nav_) != DVDNAV_STATUS_OK) {
      OutputDebugString(std::string("DVD: the navigator cannot start again: ") + dvdnav_err_to_string(nav_));
      return cmdNothing;
    }
    Configure();
    stopped_ = false;
  }
  int status = DVDNAV_STATUS_ERR;
  const auto arg = [](int64_t Value) { return static_cast<int32_t>(std::clamp<int64_t>(Value, INT32_MIN, INT32_MAX)); };
  switch (Kind) {
    case dvdPlayChapter:
      status = dvdnav_part_play(nav_, arg(Arg1), arg(Arg2));
      break;
    case dvdPlayAtTime:
      status = PlayAtTime(arg(Arg1), To90k(Arg2));
      break;
    case dvdShowMenu:
      status = dvdnav_menu_call(nav_, static_cast<DVDMenuID_t>(arg(Arg1)));
      // Started again, the navigator takes a menu once its first play has begun.
      for (int i = 0; restarted && status != DVDNAV_STATUS_OK && i < kBlocksPerRead && !broken_ && !stopped_; ++i) {
        Step();
        status = dvdnav_menu_call(nav_, static_cast<DVDMenuID_t>(arg(Arg1)));
      }
      break;
    case dvdSelectAt: {
      int32_t before = 0, after = 0;
      dvdnav_get_current_highlight(nav_, &before);
      if (!ButtonsFit()) {
        OutputDebugString("DVD: a button's command cannot be carried out from here; not selected");
        return cmdNothing;
      }
      if (dvdnav_mouse_select(nav_, dvdnav_get_current_nav_pci(nav_), arg(Arg1), arg(Arg2)) != DVDNAV_STATUS_OK) {
        return cmdNothing;
      }
      dvdnav_get_current_highlight(nav_, &after);
      return after != before ? cmdRedraw : cmdNothing;
    }
    case dvdActivate:
      if (!ButtonsFit()) {
        OutputDebugString("DVD: a button's command cannot be carried out from here; not activated");
        return cmdNothing;
      }
      status = dvdnav_button_activate(nav_, dvdnav_get_current_nav_pci(nav_));
      break;
    case dvdPlayBackward: {
      // Titles only, from the frame on screen.
      const TDvdLocation here = Location();
      if (!here.Valid || here.InMenu) return cmdNothing;
      // Ending it: while the frame on screen is one of backward play (the reader may be past it).
      if (Arg1 <= 0 && !backward_ && !(backEndsAt_ >= 0 && shown90k_ < backEndsAt_)) return cmdNothing;
      // The navigator may have read to the title's end already: the title again, then the time.
      const int64_t now = To90k(here.TitleTime);
      if (Arg1 <= 0) {
        status = PlayAtTime(here.Title, now);
        break;
      }
      backSpeedMilli_ = std::clamp<int64_t>(Arg1, 1, 1000 * 1000);
      const int64_t step = std::max<int64_t>(1, backSpeedMilli_ * k90k / 1000 / 5);
      status = PlayAtTime(here.Title, std::max<int64_t>(0, now - step));
      break;
    }
    default:  // answered above
      return cmdNothing;
  }
  if (status != DVDNAV_STATUS_OK) {
    OutputDebugString(std::string("DVD: command refused: ") + dvdnav_err_to_string(nav_));
    // At the disc's end it stays there (what the navigator read meanwhile is not played).
    if (restarted) {
      Discard();
      stopped_ = true;
    }
    return cmdNothing;
  }
  // The navigator keeps answering with a still it was in until the still is skipped, whatever it
  // was told to play since.
  if (inStill_) dvdnav_still_skip(nav_);
  Discard();
  stopped_ = false;
  rebase_ = true;
  rebaseAt_ = To90k(At);
  anchor_ = Kind == dvdPlayAtTime ? To90k(std::max<int64_t>(0, Arg2)) : -1;
  backward_ = Kind == dvdPlayBackward && Arg1 > 0;
  if (Kind == dvdPlayBackward && !backward_) anchor_ = To90k(Location().TitleTime);
  if (Kind != dvdPlayAtTime && Kind != dvdPlayBackward) searchTime_ = -1;
  backEndsAt_ = -1;
  skipVobu_ = false;
  backFirst_ = true;
  backAt_ = rebaseAt_;
  lastVobuEnd_ = -1;
  lastMediaEnd_ = rebaseAt_;
  vobus_.clear();
  return cmdJumped;
}

void TDvdSource::UpdateSubpictureStream() {
  int32_t stream = spuNavStream_;
  if (spuChosen_ >= 0 && nav_ && dvdnav_is_domain_vts(nav_)) {
    // The physical stream of the logical one chosen, in the chain playing.
    for (uint8_t physical = 0; physical < 32; ++physical) {
      if (dvdnav_get_spu_logical_stream(nav_, physical) == spuChosen_) {
        stream = physical;
        break;
      }
    }
  }
  if (stream == spuStream_) return;
  spuStream_ = stream;
  // What was decoded of the other stream is not drawn.
  spuAssembler_.Reset();
  spus_.clear();
}

bool TDvdSource::ButtonsFit() {
  pci_t* pci = dvdnav_get_current_nav_pci(nav_);
  if (!pci || !disc_) return false;
  TDvdPlace place;
  place.Domain = dvdnav_is_domain_fp(nav_) ? 0 : dvdnav_is_domain_vmgm(nav_) ? 1 : dvdnav_is_domain_vtsm(nav_) ? 2 : 3;
  place.TitleSet = place.Domain >= 2 ? navSet_ : 0;
  place.Cell = navCell_;
  place.Program = navProgram_;
  int32_t title = 0, chain = 0, program = 0;
  if (dvdnav_current_title_program(nav_, &title, &chain, &program) == DVDNAV_STATUS_OK) {
    place.Chain = chain;
    if (program > 0) place.Program = program;
    if (title >= 1 && static_cast<size_t>(title) <= disc_->TitleInSet.size()) {
      place.TitleInSet = disc_->TitleInSet[static_cast<size_t>(title - 1)];
    }
  }
  place.MenuLanguage = 'e' << 8 | 'n';  // as Configure asks
  const int count = std::min<int>(pci->hli.hl_gi.btn_ns, 36);
  for (int i = 0; i < count; ++i) {
    if (!DvdButtonCommandFits(pci->hli.btnit[i].cmd.bytes, *disc_, place)) return false;
  }
  return true;
}

// ----------------------------------------------------------------------------------- location

void TDvdSource::FrameShown(int64_t Time) {
  const int64_t t = To90k(Time);
  shown90k_ = t;
  // The VOBU the frame belongs to: the last one starting at or before it.
  size_t found = vobus_.size();
  for (size_t i = vobus_.size(); i-- > 0;) {
    if (vobus_[i].MediaStart <= t + 1) {
      found = i;
      break;
    }
  }
  if (found == vobus_.size()) {
    if (vobus_.empty()) return;
    found = 0;
  }
  // Those before it are behind the screen.
  if (found > 0) vobus_.erase(vobus_.begin(), vobus_.begin() + static_cast<ptrdiff_t>(found));
  Publish(vobus_.front(), t);
}

void TDvdSource::Publish(const TVobu& Vobu, int64_t Time90k) {
  TDvdLocation location;
  location.Valid = true;
  location.Title = Vobu.Title;
  location.Chapter = Vobu.Chapter;
  location.InMenu = Vobu.Title == 0;
  location.TitleTime = Vobu.Title == 0 ? 0 : FromNinety(Vobu.TitleTime + std::max<int64_t>(0, Time90k - Vobu.MediaStart));
  location.TotalTitleTime = Vobu.Title == 0 ? 0 : FromNinety(Vobu.TotalTitleTime);
  location.FramesPerSecond = fps_;
  location.Angle = Vobu.Title == 0 ? 0 : Vobu.Angle;
  location.Angles = Vobu.Title == 0 ? 0 : Vobu.Angles;
  if (spuStream_ >= 0 && nav_) {
    const int8_t logical = dvdnav_get_spu_logical_stream(nav_, static_cast<uint8_t>(spuStream_));
    location.Subpicture = logical >= 0 ? logical : -1;
    const uint16_t language = logical >= 0 ? dvdnav_spu_stream_to_lang(nav_, static_cast<uint8_t>(logical)) : 0xFFFF;
    if (language != 0xFFFF && language != 0) {
      location.SubpictureLanguage = {static_cast<char>(language >> 8), static_cast<char>(language & 0xFF)};
    }
  }
  location.SubtitlesShown = spuStream_ >= 0 && (spuShow_ >= 0 ? spuShow_ == 1 : spuNavShown_);
  std::lock_guard<std::mutex> lock(mutex_);
  published_ = location;
}

bool TDvdSource::ReadAheadFor(int64_t Time) const {
  if (inStill_ || stopped_ || broken_) return false;
  return vobus_.empty() || vobus_.back().MediaStart <= To90k(Time);
}

void TDvdSource::Overlay(TVideoSample& Sample) {
  const int64_t t = To90k(Sample.Time);
  // The latest sub-picture begun by the frame's time (a frame's worth early counts).
  const int64_t slack = k90k / std::max(fps_, 1);
  size_t found = spus_.size();
  for (size_t i = spus_.size(); i-- > 0;) {
    if (spus_[i].Start <= t + slack) {
      found = i;
      break;
    }
  }
  if (found == spus_.size()) return;
  if (found > 0) spus_.erase(spus_.begin(), spus_.begin() + static_cast<ptrdiff_t>(found));
  const TShownSpu& shown = spus_.front();
  if (shown.End >= 0 && t >= shown.End) return;
  const TVobu* vobu = vobus_.empty() ? nullptr : &vobus_.front();
  const bool menu = vobu && vobu->Title == 0;
  // Forced sub-pictures and those of menus are drawn; the others while subtitles are shown.
  const bool subtitles = spuShow_ >= 0 ? spuShow_ == 1 : spuNavShown_;
  if (!shown.Spu.Forced && !menu && !subtitles) return;
  TDvdHighlight highlight;
  int32_t button = 0;
  if (vobu && vobu->Buttons && dvdnav_get_current_highlight(nav_, &button) == DVDNAV_STATUS_OK && button >= 1 &&
      button <= vobu->Buttons->Count) {
    const auto& b = vobu->Buttons->Button[button - 1];
    if (b.ColorTable >= 1 && b.ColorTable <= 3) {
      const uint32_t colors = vobu->Buttons->Colors[b.ColorTable - 1][0];
      const uint8_t bytes[4] = {static_cast<uint8_t>(colors >> 24), static_cast<uint8_t>(colors >> 16),
                                static_cast<uint8_t>(colors >> 8), static_cast<uint8_t>(colors)};
      highlight.Valid = true;
      highlight.X0 = b.X0;
      highlight.Y0 = b.Y0;
      highlight.X1 = b.X1;
      highlight.Y1 = b.Y1;
      // Code 3 ... 0 in the high nibbles first, as in the sub-picture's own commands.
      highlight.Color[3] = bytes[0] >> 4;
      highlight.Color[2] = bytes[0] & 0x0F;
      highlight.Color[1] = bytes[1] >> 4;
      highlight.Color[0] = bytes[1] & 0x0F;
      highlight.Alpha[3] = bytes[2] >> 4;
      highlight.Alpha[2] = bytes[2] & 0x0F;
      highlight.Alpha[1] = bytes[3] >> 4;
      highlight.Alpha[0] = bytes[3] & 0x0F;
    }
  }
  BlendDvdSubpicture(shown.Spu, highlight, clut_, Sample.MutableBits(), Sample.RowLength(), Sample.Width(),
                     Sample.Height());
}

TDvdLocation TDvdSource::Location() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return published_;
}
