#pragma once
// A DVD-Video disc (a folder, an ISO image or a drive) as a source of the media player (private to
// the media services). libdvdnav navigates on the player's thread alone; our sector demuxer and
// libavcodec's parsers turn its sectors into MPEG-2 video packets. The sound of the audio stream the
// navigator selects (AC-3, DTS, LPCM or MPEG audio, which may change between menus and title sets)
// is decoded here into packets of 48 kHz stereo 16-bit samples: the player's one audio stream.
// Stamps restart at cells and jumps: they are rebased onto one continuous clock (after a jump or a
// still onto the player's clock). Every frame's title, chapter and title time come from the VOBU it
// belongs to.
//
// Navigation commands run on the player's thread (TMediaPlayer::DvdCommand); the location of the
// frame on screen is read from any thread.
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/media/dvd_demux.h"
#include "platform/media/dvd_spu.h"
#include "platform/media/ffmpeg_support.h"
#include "platform/media/media_decoders.h"
#include "platform/media/media_player.h"
#include "platform/media/media_source.h"

struct dvdnav_s;
struct TDvdVmgFacts;
struct AVCodecParserContext;

class TDvdSource : public TMediaSource {
 public:
  explicit TDvdSource(std::string Path);
  ~TDvdSource() override;
  bool Open(std::string& Error) override;
  AVFormatContext* Context() override { return context_; }
  int ReadPacket(AVPacket* Packet) override;
  int SeekKeyFrame(int, int64_t) override { return 0; }
  bool CanSeek() const override { return false; }
  void SetPlayerHooks(std::function<int64_t()> ClockNow,
                      std::function<void(int32_t, intptr_t, intptr_t)> QueueEvent) override;
  void FrameShown(int64_t Time) override;
  // Draws the sub-picture on screen at the frame's time, with the selected button's highlight.
  void Overlay(TVideoSample& Sample) override;
  // Until the VOBU after the frame's has begun: its sub-picture may come after its pictures.
  bool ReadAheadFor(int64_t Time) const override;

  // A command of TMediaPlayer::DvdCommand, on the player's thread. cmdJumped: what was read ahead
  // is gone and the new content starts at media time At (100 ns); cmdRedraw: the frame on screen
  // looks different (another button is selected).
  enum TCommandResult : uint8_t { cmdNothing, cmdJumped, cmdRedraw };
  TCommandResult Command(TDvdCommandKind Kind, int64_t Arg1, int64_t Arg2, int64_t At);

  TDvdLocation Location() const;

 private:
  // The menu buttons of a VOBU: rectangles, colour table numbers and the colour tables
  // (selected, activated).
  struct TButtons {
    int32_t Count = 0;
    struct {
      int32_t X0, Y0, X1, Y1, ColorTable;
    } Button[36];
    uint32_t Colors[3][2];
  };
  struct TVobu {
    int64_t MediaStart = 0;  // 90 kHz on the continuous clock
    int64_t TitleTime = 0;   // 90 kHz at MediaStart
    int32_t Title = 0, Chapter = 0;
    int64_t TotalTitleTime = 0;
    int32_t Angle = 0, Angles = 0;
    std::shared_ptr<const TButtons> Buttons;  // none outside menus
  };
  struct TShownSpu {
    TDvdSubpicture Spu;
    int64_t Start = 0, End = -1;  // 90 kHz on the continuous clock (End -1: until the next)
  };
  void OnSubpicture(const TDvdPes& Pes, int64_t Pts);
  // Reads one block from the navigator and handles it.
  void Step();
  void OnNavPacket();
  void OnSector(const uint8_t* Sector, int32_t Size);
  void Parse(AVCodecParserContext* Parser, AVCodecContext* Context, int Stream, const uint8_t* Data, int32_t Size,
             int64_t Pts, int64_t Dts);
  void FlushParsers();
  // Sound: the stream a PES packet belongs to (its stream id, or the substream id of private stream
  // 1), decoded when it is the selected one.
  void OnAudio(int32_t Kind, const TDvdPes& Pes, int64_t Pts);
  bool OpenAudio(int32_t Kind);
  void DecodeAudio(const AVPacket* Packet);
  void FlushAudio();
  // Plays the title from the title time (90 kHz); the navigator's status.
  int PlayAtTime(int32_t Title, int64_t Time90k);
  // Backward play: the key frame of the VOBU just read is out; the next step back.
  void StepBack();
  // Ends backward play: the next VOBU read plays forward from the title time (90 kHz).
  void EndBackward(int64_t TitleTime);
  // A time search in the title played (90 kHz); the VOBU it lands on is checked when it is read.
  bool Search(int64_t TitleTime);
  // Every button's command of the current VOBU's highlight is one the navigator can carry out from
  // where it stands now (a selection may run one at once; from the wrong place some lead the
  // navigator nowhere, or stop the program).
  bool ButtonsFit();
  // The sub-picture stream to decode: the one chosen by command while a title plays, else the
  // navigator's.
  void UpdateSubpictureStream();
  // Sets the navigator's flags and languages (at open and when it starts again).
  void Configure();
  void Discard();
  void Queue(int32_t Code, intptr_t Param1, intptr_t Param2 = 0);
  void Publish(const TVobu& Vobu, int64_t Time90k);

  std::string path_;
  dvdnav_s* nav_ = nullptr;
  // The disc's information files as our check read them; the navigator's title set, cell and
  // program from its latest events.
  std::shared_ptr<const TDvdVmgFacts> disc_;
  int32_t navSet_ = 0, navCell_ = 0, navProgram_ = 0;
  bool broken_ = false;  // libdvdnav failed or the disc is scrambled: never called again
  bool stopped_ = false;
  bool scrambled_ = false;
  AVFormatContext* context_ = nullptr;
  AVCodecParserContext* videoParser_ = nullptr;
  TAVCodecContextPtr videoCtx_;
  std::deque<TAVPacketPtr> out_;
  std::vector<uint8_t> block_;
  std::vector<TDvdPes> pes_;
  std::function<int64_t()> clockNow_;
  std::function<void(int32_t, intptr_t, intptr_t)> queueEvent_;
  int32_t width_ = 0, height_ = 0;
  int32_t fps_ = 25;
  // Stamps.
  int64_t offset_ = 0;         // added to the disc's stamps (90 kHz)
  int64_t lastVobuEnd_ = -1;   // the disc's stamp where the last VOBU ended
  int64_t lastMediaEnd_ = 0;   // the same on the continuous clock
  bool rebase_ = true;         // the next VOBU starts at rebaseAt_
  int64_t rebaseAt_ = 0;       // 90 kHz
  int64_t anchor_ = -1;        // the title time that lands at rebaseAt_ (a time search), -1: none
  // Streams.
  int32_t audioStream_ = -1;     // the navigator's physical audio stream (0 ... 7), -1: the first met
  int32_t audioKind_ = -1;       // the stream decoded now (0x80 AC-3 ... 0xC7 MPEG audio), -1: none
  bool audioBroken_ = false;     // its decoder cannot be opened: silent until another stream
  AVCodecParserContext* audioParser_ = nullptr;  // none for LPCM (one block per packet)
  TAVCodecContextPtr audioParserCtx_;
  TAudioDecoder audioDecoder_;
  TAVFramePtr audioFrame_;
  std::vector<int16_t> pcm_;
  int64_t audioNext_ = -1;       // 90 kHz stamp after the last samples put out, -1: none
  int32_t spuStream_ = 0;        // the sub-picture stream drawn (0 ... 31), -1: none
  int32_t spuNavStream_ = 0;     // the navigator's (physical), -1: none
  bool spuNavShown_ = false;     // the disc's commands show its subtitles
  int32_t spuChosen_ = -1;       // the logical stream chosen by command, -1: the navigator's
  int32_t spuShow_ = -1;         // subtitles shown by command (1), hidden (0), as the disc says (-1)
  char spuLanguage_[3] = "en";   // asked of the navigator
  TDvdSpuAssembler spuAssembler_;
  std::deque<TShownSpu> spus_;   // decoded, in stamp order
  uint32_t clut_[16] = {};
  // Backward play: a time search per step, the first key frame of each VOBU stamped at backAt_.
  bool backward_ = false;
  bool backKeyTaken_ = false;
  bool backFirst_ = false;       // the first VOBU after the command: shown at once
  int64_t backSpeedMilli_ = 1000;
  int64_t backAt_ = 0;           // 90 kHz on the continuous clock: the key frame's stamp
  int64_t backVobuTime_ = 0;     // the title time of the VOBU read (90 kHz)
  int64_t backEndsAt_ = -1;      // 90 kHz: where forward play began after it, -1: none
  int64_t shown90k_ = -1;        // the frame on screen (90 kHz on the continuous clock)
  // A time search: the title time asked for (90 kHz, -1: none pending), the time asked of the
  // navigator last and how often it was asked again; a VOBU it landed on too late is skipped.
  int64_t searchTime_ = -1;
  int64_t searchAsked_ = 0;
  int32_t searchTries_ = 0;
  bool skipVobu_ = false;
  // Stills.
  bool inStill_ = false;
  bool drainPending_ = false;
  int32_t stillLength_ = 0;
  int64_t stillStartUs_ = 0;
  // The position the navigator reports for the latest VOBU read.
  int32_t title_ = 0, chapter_ = 0;
  int32_t angle_ = 0, angles_ = 0;
  int64_t totalTitleTime_ = 0;
  std::deque<TVobu> vobus_;
  // Published.
  mutable std::mutex mutex_;
  TDvdLocation published_;
};
