// A small driver of the media player for bench/compare_media.sh: grabs frames at positions of a
// video and writes them as raw BGR24, top row first (as `ffmpeg -f rawvideo -pix_fmt bgr24` does),
// without any user interface.
//   media_grab -threads N -i clip.mp4 -o out.raw -ss 37.48            one frame at 37.48 s
//   media_grab -threads N -i clip.mp4 -o out.raw -step 1 -count 60    frames at 0, 1, 2 ... s
//   media_grab -threads N -i clip.mp4 -play 20     real-time play with sound on the silent sink:
//                                                   frames shown and dropped, CPU time per frame
//   media_grab -threads N -dvd folder -o out.raw [-title T (-chapter C | -ss seconds)]
//                                                   a DVD's first frame as it starts, or of a
//                                                   chapter or a time of a title
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <thread>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/media/media_player.h"
#include "platform/media/media_settings.h"
#include "platform/media/video_sample.h"

int main(int argc, char** argv) {
  std::string input, output, dvd;
  double ss = -1, step = 0, play = 0;
  int count = 1, threads = 0, title = 0, chapter = 0;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string a = argv[i];
    if (a == "-i") input = argv[i + 1];
    else if (a == "-o") output = argv[i + 1];
    else if (a == "-ss") ss = std::atof(argv[i + 1]);
    else if (a == "-step") step = std::atof(argv[i + 1]);
    else if (a == "-count") count = std::atoi(argv[i + 1]);
    else if (a == "-threads") threads = std::atoi(argv[i + 1]);
    else if (a == "-play") play = std::atof(argv[i + 1]);
    else if (a == "-dvd") dvd = argv[i + 1];
    else if (a == "-title") title = std::atoi(argv[i + 1]);
    else if (a == "-chapter") chapter = std::atoi(argv[i + 1]);
  }
  const auto writeSample = [&output](const TVideoSamplePtr& s) {
    FILE* out = std::fopen(output.c_str(), "wb");
    if (!out) return false;
    for (int y = s->Height() - 1; y >= 0; --y) {
      std::fwrite(s->Bits() + static_cast<size_t>(y) * s->RowLength(), 1, static_cast<size_t>(s->Width()) * 3, out);
    }
    return std::fclose(out) == 0;
  };
  if (!dvd.empty() && !output.empty()) {
    SetMediaForceSilentAudio(true);
    TMediaPlayerOptions options;
    options.Clock = mcsNone;
    options.DecoderThreads = threads;
    TMediaPlayer player;
    if (!player.OpenDvd(dvd, options)) {
      std::fprintf(stderr, "cannot open %s: %s\n", dvd.c_str(), player.LastError().c_str());
      return 1;
    }
    // Paused, the disc shows the first frame its first play leads to; a command then the first
    // frame of where it led.
    player.Pause();
    if (title > 0 && chapter > 0) player.DvdCommand(dvdPlayChapter, title, chapter);
    else if (title > 0 && ss >= 0) player.DvdCommand(dvdPlayAtTime, title, static_cast<int64_t>(ss * 1e7 + 0.5));
    const TVideoSamplePtr s = player.SampleBuffer().CurrentSample();
    const TDvdLocation l = player.DvdLocation();
    if (!s || !l.Valid) {
      std::fprintf(stderr, "no frame\n");
      return 1;
    }
    std::fprintf(stderr, "title %d chapter %d at %.3f s\n", l.Title, l.Chapter, l.TitleTime / 1e7);
    return writeSample(s) ? 0 : 1;
  }
  if (!input.empty() && play > 0) {
    SetMediaForceSilentAudio(true);
    TMediaPlayerOptions options;
    options.Audio = true;
    options.DecoderThreads = threads;
    TMediaPlayer player;
    if (!player.OpenFile(input, options)) return 1;
    player.Pause();
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    player.Run();
    std::this_thread::sleep_for(std::chrono::duration<double>(play));
    player.Pause();
    getrusage(RUSAGE_SELF, &after);
    auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    const double cpu = seconds(after.ru_utime) - seconds(before.ru_utime) + seconds(after.ru_stime) - seconds(before.ru_stime);
    const long long shown = player.FramesShown(), dropped = player.FramesDropped();
    std::printf("played %.1f s: %lld frames shown, %lld dropped, %.2f ms CPU per frame, audio %s\n", play, shown,
                dropped, shown ? cpu * 1000 / shown : 0.0, player.HasAudio() ? "on" : "off");
    return dropped == 0 ? 0 : 1;
  }
  if (input.empty() || output.empty() || (ss < 0 && step <= 0)) {
    std::fprintf(stderr, "usage: media_grab -threads N -i in -o out.raw (-ss seconds | -step seconds -count n)\n");
    return 2;
  }
  SetMediaForceSilentAudio(true);
  TMediaPlayerOptions options;
  options.Clock = mcsNone;
  options.DecoderThreads = threads;
  TMediaPlayer player;
  if (!player.OpenFile(input, options)) {
    std::fprintf(stderr, "cannot open %s: %s\n", input.c_str(), player.LastError().c_str());
    return 1;
  }
  FILE* out = std::fopen(output.c_str(), "wb");
  if (!out) return 1;
  for (int k = 0; k < count; ++k) {
    const double seconds = ss >= 0 ? ss : k * step;
    // The first position is set while stopped, so that pausing decodes the frame there and not
    // the first frame of the file as well.
    player.SetPosition(static_cast<int64_t>(seconds * 1e7 + 0.5));
    if (k == 0) player.Pause();
    const TVideoSamplePtr s = player.SampleBuffer().CurrentSample();
    if (!s) {
      std::fprintf(stderr, "no frame at %.3f s\n", seconds);
      return 1;
    }
    for (int y = s->Height() - 1; y >= 0; --y) {
      std::fwrite(s->Bits() + static_cast<size_t>(y) * s->RowLength(), 1, static_cast<size_t>(s->Width()) * 3, out);
    }
  }
  std::fclose(out);
  return 0;
}
