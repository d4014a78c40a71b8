// The real sound path: a PulseAudio daemon of the test's own with a null sink, a 1 kHz tone played
// through the toolkit's audio sink, and the sink's monitor recorded with parec; the recording must
// hold the tone at its frequency and level.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <thread>

#include "platform/media/audio_sink.h"
#include "platform/media/media_player.h"
#include "platform/media/media_settings.h"
#include "tests/support/media_fixtures.h"

extern char** environ;

namespace {

// Starts Args[0] (looked up on the path) with its standard output into OutFile (empty: inherited);
// -1 when it cannot start.
pid_t Spawn(const std::vector<std::string>& Args, const std::string& OutFile = {}) {
  std::vector<char*> argv;
  for (const std::string& a : Args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!OutFile.empty()) posix_spawn_file_actions_addopen(&actions, 1, OutFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = -1;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

void Stop(pid_t Pid, int Signal) {
  if (Pid <= 0) return;
  kill(Pid, Signal);
  int status = 0;
  for (int i = 0; i < 300 && waitpid(Pid, &status, WNOHANG) == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  if (waitpid(Pid, &status, WNOHANG) == 0) {
    kill(Pid, SIGKILL);
    waitpid(Pid, &status, 0);
  }
}

}  // namespace

TEST(MediaAudioDeviceTest, ToneThroughPulseAudio) {
  testsupport::VideoSpec s;
  s.Container = "avi";
  s.Codec = "mjpeg";
  s.Frames = 25;
  s.Gop = 25;
  s.Audio = true;
  s.AudioCodec = "pcm_s16le";
  s.ToneHz = 1000;
  s.Amplitude = 0.5;
  const std::string clip = mediatest::Video(s);

  testsupport::ScratchDir dir;
  const std::string runtime = dir.File("pulse");
  std::filesystem::create_directories(runtime);
  chmod(runtime.c_str(), 0700);
  const std::string socket = runtime + "/native";
  setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  setenv("PULSE_RUNTIME_PATH", runtime.c_str(), 1);
  setenv("PULSE_STATE_PATH", runtime.c_str(), 1);
  setenv("PULSE_SERVER", ("unix:" + socket).c_str(), 1);
  setenv("PULSE_SINK", "brimvale_test", 1);
  const pid_t daemon = Spawn({"pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
                              "--disable-shm=yes", "--log-target=stderr", "--log-level=error",
                              "--load=module-native-protocol-unix socket=" + socket + " auth-anonymous=1",
                              "--load=module-null-sink sink_name=brimvale_test rate=48000 channels=2"});
  ASSERT_GT(daemon, 0) << "pulseaudio could not be started (scripts/install-deps.sh installs it)";
  for (int i = 0; i < 500 && !std::filesystem::exists(socket); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_TRUE(std::filesystem::exists(socket)) << "the PulseAudio daemon did not come up";

  SetAudioSinkFactory(nullptr);
  SetMediaForceSilentAudio(false);
  // The first stream to the server is slow to start: a first round warms it up, the second is
  // timed and its tone (the last in the recording) measured.
  const std::string recording = dir.File("tone.raw");
  pid_t recorder = -1;
  for (int round = 0; round < 2; ++round) {
    if (round == 0) {
      recorder = Spawn({"parec", "-d", "brimvale_test.monitor", "--raw", "--format=s16le", "--rate=48000",
                        "--channels=2", "--latency-msec=20"},
                       recording);
      ASSERT_GT(recorder, 0) << "parec could not be started";
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    TMediaPlayerOptions o;
    o.Audio = true;
    TMediaPlayer player;
    ASSERT_TRUE(player.OpenFile(clip, o)) << player.LastError();
    ASSERT_NE(player.AudioSink(), nullptr);
    EXPECT_EQ(dynamic_cast<TSilentAudioSink*>(player.AudioSink()), nullptr) << "the sound device was not used";
    TAudioSink* sink = player.AudioSink();
    player.Run();
    int32_t code = 0;
    const auto start = std::chrono::steady_clock::now();
    // The end is waited for, not timed (a hang shows; the first stream to a busy server under the
    // sanitizers takes seconds to start). The second round's pace is read off the sound device's
    // own clock, which a busy machine cannot stretch: while the sound plays, the player's position
    // is the device's played frames (read whenever the device did not move during the reading).
    int readings = 0;
    double worstOffset = 0;
    while (!(player.Events().GetEvent(code) && code == EC_COMPLETE) &&
           std::chrono::steady_clock::now() - start < std::chrono::seconds(30)) {
      if (round == 1) {
        const int64_t before = sink->PlayedFrames();
        const int64_t position = player.Position();
        const int64_t after = sink->PlayedFrames();
        // Up to 0.9 s: at the sound's end the clock hands over to the monotonic one.
        if (before == after && before < 48000 * 9 / 10) {
          worstOffset = std::max(worstOffset, std::abs(double(position) / 1e7 - double(before) / 48000));
          ++readings;
        }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(code, EC_COMPLETE);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (round == 1) {
      // Never faster than the sound (a machine's load only makes it slower).
      EXPECT_GT(seconds, 0.8);
      EXPECT_GE(readings, 5);
      EXPECT_LT(worstOffset, 0.001) << "the player's clock is not the device's";
      // The end comes once the device has played the whole second, not when the data ran out.
      EXPECT_GE(sink->PlayedFrames(), 48000 * 99 / 100);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
  }
  Stop(recorder, SIGINT);
  Stop(daemon, SIGTERM);

  // The tone at 1 kHz and 0.5 of full scale (an RMS of 0.5 x 32767 / sqrt(2) = 11585), measured in
  // 10 ms windows: on a busy machine the server may leave gaps (underruns) in a tone, so the windows
  // that hold it are taken wherever they lie, and their level is the median window's.
  const std::vector<uint8_t> bytes = testsupport::ReadFileBytes(recording);
  const size_t frames = bytes.size() / 4;
  ASSERT_GT(frames, 48000u / 2) << "parec recorded too little";
  std::vector<int16_t> left(frames);
  for (size_t i = 0; i < frames; ++i) left[i] = static_cast<int16_t>(bytes[i * 4] | (bytes[i * 4 + 1] << 8));
  constexpr size_t kWindow = 480;
  std::vector<double> levels;
  int periods = 0;
  size_t periodSamples = 0;
  for (size_t w = 0; w + kWindow <= frames; w += kWindow) {
    double sum = 0;
    for (size_t i = w; i < w + kWindow; ++i) sum += double(left[i]) * left[i];
    const double rms = std::sqrt(sum / kWindow);
    if (rms < 3000) continue;
    // A window wholly inside a tone has no silent millisecond (a start, an end or a gap).
    bool edge = false;
    for (size_t i = w; i < w + kWindow && !edge; i += 48) {
      int peak = 0;
      for (size_t j = i; j < i + 48; ++j) peak = std::max(peak, std::abs(int(left[j])));
      edge = peak < 3000;
    }
    if (edge) continue;
    levels.push_back(rms);
    // The frequency from the rising zero crossings: whole periods between the first and the last.
    size_t firstCross = 0, lastCross = 0;
    int count = 0;
    for (size_t i = w + 1; i < w + kWindow; ++i) {
      if (left[i - 1] < 0 && left[i] >= 0) {
        if (count++ == 0) firstCross = i;
        lastCross = i;
      }
    }
    if (count >= 2) {
      periods += count - 1;
      periodSamples += lastCross - firstCross;
    }
  }
  // Two rounds of one second each; at least 0.6 s of clean tone in all.
  ASSERT_GE(levels.size(), 60u) << "no tone in the recording";
  std::nth_element(levels.begin(), levels.begin() + levels.size() / 2, levels.end());
  const double hz = periods * 48000.0 / double(periodSamples);
  EXPECT_NEAR(levels[levels.size() / 2], 11585, 600);
  EXPECT_NEAR(hz, 1000, 10);
}
