// TIEDirectShow's DVD graph: the disc named by DVDPath is checked and its information read, then
// played by the media player's navigated DVD source (windowless, into the notify window). The
// commands drive its navigation; the properties answer from the disc's information and from the
// location of the frame on screen.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "imaging/io/ie_direct_show.h"
#include "platform/media/dvd_ifo.h"
#include "platform/media/media_events.h"
#include "platform/media/media_player.h"
#include "platform/media/media_time.h"
#include "platform/media/video_presenter.h"
#include "platform/system/compare_text.h"
#include "platform/system/debug_log.h"
#include "platform/system/number_text.h"
#include "platform/ui/window_dc.h"

namespace {

constexpr intptr_t DVD_ERROR_Unexpected = 1;

std::string TimeCode(int32_t Hours, int32_t Minutes, int32_t Seconds, int32_t Frames) {
  return TIEDirectShow::TwoDigits(Hours) + ":" + TIEDirectShow::TwoDigits(Minutes) + ":" +
         TIEDirectShow::TwoDigits(Seconds) + ":" + TIEDirectShow::TwoDigits(Frames);
}

// A time in 100 ns as hh:mm:ss:ff at Fps frames a second.
std::string TimeCodeOf(int64_t Time, int32_t Fps) {
  const int64_t t = std::max<int64_t>(0, Time);
  const int64_t seconds = t / kMediaTimeUnitsPerSecond;
  const int64_t frames = (t % kMediaTimeUnitsPerSecond) * std::max(Fps, 1) / kMediaTimeUnitsPerSecond;
  return TimeCode(static_cast<int32_t>(std::min<int64_t>(seconds / 3600, 99)), static_cast<int32_t>(seconds / 60 % 60),
                  static_cast<int32_t>(seconds % 60), static_cast<int32_t>(frames));
}

}  // namespace

std::string TIEDirectShow::TwoDigits(int32_t Value) {
  const std::string text = std::to_string(Value);
  return text.size() == 1 ? "0" + text : text;
}

void TIEDirectShow::BuildDVDGraph() {
  player_ = std::make_unique<TMediaPlayer>();
  connected_ = true;
  dvdInfo_.reset();
  // The DVD graph always renders windowless into the notify window.
  UseWindowlessRenderer = true;
  windowless_ = true;
  HWND window;
  uint32_t eventMessage;
  {
    std::lock_guard<std::mutex> lock(notifyMutex_);
    window = notifyWindow_;
    eventMessage = eventMessage_;
  }
  AttachEventWindow(window, eventMessage);
  player_->Presenter().SetClippingWindow(window);
  if (window) InvalidateRect(window, nullptr, false);

  // A disc that cannot be opened leaves the graph connected without DVD information; the window
  // learns of it from the event.
  const std::string path = ResolveDvdPath(DVDPath);
  auto facts = std::make_shared<TDvdVmgFacts>();
  std::string why;
  if (path.empty()) {
    why = "no drive holds a DVD-Video disc";
  } else {
    CheckDvd(path, *facts, why);
  }
  if (!why.empty()) {
    OutputDebugString("TIEDirectShow: cannot open the DVD \"" + DVDPath + "\": " + why);
    player_->Events().Queue(EC_DVD_ERROR, DVD_ERROR_Unexpected, 0);
    return;
  }
  dvdInfo_ = std::move(facts);
  TMediaPlayerOptions options;
  options.Audio = PlayAudio;
  // Stills and menus without sound must not hold the clock: the disc plays on a monotonic clock.
  options.Clock = mcsMonotonic;
  if (!player_->OpenDvd(path, options)) {
    OutputDebugString("TIEDirectShow: cannot play the DVD \"" + path + "\": " + player_->LastError());
    player_->Events().Queue(EC_DVD_ERROR, DVD_ERROR_Unexpected, 0);
  }
}

bool TIEDirectShow::HasDvd() const { return player_ && player_->IsOpen() && dvdInfo_ && !DVDPath.empty(); }

void TIEDirectShow::DVDSelectAtPosition(int32_t X, int32_t Y) {
  if (HasDvd()) player_->DvdCommand(dvdSelectAt, X, Y);
}

void TIEDirectShow::DVDActivateButton() {
  if (HasDvd()) player_->DvdCommand(dvdActivate);
}

void TIEDirectShow::DVDPlayChapterInTitle(int32_t Title, int32_t Chapter) {
  if (HasDvd()) player_->DvdCommand(dvdPlayChapter, Title, Chapter);
}

void TIEDirectShow::DVDPlayAtTimeInTitle(int32_t Title, uint8_t Hours, uint8_t Minutes, uint8_t Seconds,
                                         uint8_t Frames) {
  if (!HasDvd()) return;
  const TDvdLocation location = player_->DvdLocation();
  const int64_t fps = location.FramesPerSecond > 0 ? location.FramesPerSecond : 25;
  const int64_t time = ((int64_t{Hours} * 60 + Minutes) * 60 + Seconds) * kMediaTimeUnitsPerSecond +
                       int64_t{Frames} * kMediaTimeUnitsPerSecond / fps;
  player_->DvdCommand(dvdPlayAtTime, Title, time);
}

void TIEDirectShow::DVDShowMenu(TIEDSMenu Menu) {
  if (HasDvd()) player_->DvdCommand(dvdShowMenu, static_cast<int64_t>(Menu) + 2);
}

void TIEDirectShow::DVDPlayAtSpeed(bool Forward, double Speed) {
  if (!HasDvd() || !std::isfinite(Speed) || Speed <= 0) return;
  if (!Forward) {
    // Key frames stepping back through the title at the speed, the clock at 1x.
    player_->SetRate(1.0);
    player_->DvdCommand(dvdPlayBackward, std::max<int64_t>(1, std::llround(std::min(Speed, 1000.0) * 1000)));
    return;
  }
  // Ends backward play where it is (nothing otherwise).
  player_->DvdCommand(dvdPlayBackward, 0);
  if (!player_->SetRate(Speed)) OutputDebugString("TIEDirectShow: DVD speed " + std::to_string(Speed) + " refused");
}

void TIEDirectShow::DVDSelectSubpicture(int32_t Stream, bool Show) {
  if (HasDvd()) player_->DvdCommand(dvdSubpicture, Stream, Show ? 1 : 0);
}

void TIEDirectShow::DVDSelectSubpictureLanguage(const std::string& Language) {
  if (!HasDvd() || Language.size() != 2) return;
  int64_t code = 0;
  for (const char c : Language) {
    const char lower = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    if (lower < 'a' || lower > 'z') return;
    code = code << 8 | lower;
  }
  player_->DvdCommand(dvdSubpictureLanguage, code);
}

void TIEDirectShow::DVDSelectAngle(int32_t Angle) {
  if (HasDvd()) player_->DvdCommand(dvdAngle, Angle);
}

std::string TIEDirectShow::DVDGetProperty(const std::string& Name, const std::string& Argument) {
  const std::shared_ptr<const TDvdVmgFacts> info = dvdInfo_;
  if (!info) return std::string();
  const std::string name = UpperCase(Name);
  const std::string argument = UpperCase(Argument);
  if (name == "NUMOFVOLUMES") return std::to_string(info->Volumes);
  if (name == "VOLUME") return std::to_string(info->Volume);
  if (name == "SIDE") return std::to_string(info->Side);
  if (name == "NUMOFTITLES") return std::to_string(info->Titles);
  if (name == "DISCID") {
    char text[17];
    std::snprintf(text, sizeof text, "%016llX", static_cast<unsigned long long>(info->DiscId));
    return text;
  }
  if (name == "NUMOFCHAPTERS") {
    if (argument.empty()) return "Invalid Property";
    int32_t title = 1;
    if (!TryStrToInt(argument, title)) title = 1;
    if (title < 1 || title > static_cast<int32_t>(info->TitleChapters.size())) return "0";
    return std::to_string(info->TitleChapters[static_cast<size_t>(title - 1)]);
  }
  if (name == "TITLE" || name == "CHAPTER" || name == "TIME" || name == "TOTALTITLETIME" || name == "ANGLE" ||
      name == "NUMOFANGLES" || name == "SUBPICTURE" || name == "SUBPICTURELANGUAGE" || name == "SUBTITLES") {
    // The location of the frame on screen (0 before the first frame and after Disconnect).
    const TDvdLocation location = HasDvd() ? player_->DvdLocation() : TDvdLocation{};
    if (name == "TITLE") return std::to_string(location.Title);
    if (name == "CHAPTER") return std::to_string(location.Chapter);
    if (name == "ANGLE") return std::to_string(location.Angle);
    if (name == "NUMOFANGLES") return std::to_string(location.Angles);
    if (name == "SUBPICTURE") return std::to_string(location.Subpicture);
    if (name == "SUBPICTURELANGUAGE") return location.SubpictureLanguage;
    if (name == "SUBTITLES") return location.SubtitlesShown ? "1" : "0";
    return TimeCodeOf(name == "TIME" ? location.TitleTime : location.TotalTitleTime, location.FramesPerSecond);
  }
  return "Invalid Property";
}
