// Media player over an in-memory file: open (demux and stream set-up), a paused seek to a few
// positions with the frame grabbed each time, and a short run without a clock. Small frames and a
// short settle bound keep every input fast.
#include <cstddef>
#include <chrono>
#include <cstdint>
#include <thread>

#include "platform/media/media_player.h"
#include "platform/media/media_settings.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SetMediaPixelLimit(1 << 16);
  SetMediaSettleBoundMs(2000);
  SetMediaForceSilentAudio(true);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1 << 20)) return 0;
  TMediaPlayerOptions options;
  options.Clock = mcsNone;
  options.Audio = size > 0 && (data[size - 1] & 1);
  options.DecoderThreads = 1;
  TMediaPlayer player;
  if (!player.OpenMemory(data, size, options)) return 0;
  player.Pause();
  const int64_t duration = player.Duration();
  for (int64_t position : {duration / 2, int64_t{0}, duration, duration / 3}) {
    player.SetPosition(position);
    if (TVideoSamplePtr sample = player.SampleBuffer().CurrentSample()) {
      volatile uint8_t sink = sample->Bits()[sample->Size() - 1];
      (void)sink;
    }
  }
  player.MeasureFrameDuration(10);
  player.Run();
  int32_t code = 0;
  for (int i = 0; i < 200 && !(player.Events().GetEvent(code) && (code == EC_COMPLETE || code == EC_ERRORABORT)); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  player.Close();
  return 0;
}
