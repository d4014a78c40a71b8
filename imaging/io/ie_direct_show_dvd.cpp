// TIEDirectShow's DVD graph: the disc named by DVDPath is checked and its information read; the
// properties answer from it. Navigation and playback of the disc are not built yet: the graph has
// no source, so its commands have nothing to act on and the location reads 0.
#include <cstdio>

#include "imaging/io/ie_direct_show.h"
#include "platform/media/dvd_ifo.h"
#include "platform/media/media_events.h"
#include "platform/media/media_player.h"
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
  OutputDebugString("TIEDirectShow: DVD \"" + path + "\" read; its playback is not built");
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
  // Nothing plays yet: no title, chapter or time to tell.
  if (name == "TITLE" || name == "CHAPTER") return "0";
  if (name == "TIME" || name == "TOTALTITLETIME") return TimeCode(0, 0, 0, 0);
  return "Invalid Property";
}
