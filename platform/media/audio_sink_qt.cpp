// The sound device's sink: QAudioSink on a thread of its own, whose event loop moves samples from a
// bounded ring buffer into the sink every few milliseconds.
#include <QtCore/QCoreApplication>
#include <QtCore/QIODevice>
#include <QtCore/QThread>
#include <QtCore/QTimer>
#include <QtMultimedia/QAudioDevice>
#include <QtMultimedia/QAudioFormat>
#include <QtMultimedia/QAudioSink>
#include <QtMultimedia/QMediaDevices>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/media/audio_sink.h"
#include "platform/system/debug_log.h"

namespace {

class TDeviceAudioSink : public TAudioSink {
 public:
  TDeviceAudioSink() {
    context_ = new QObject;
    context_->moveToThread(&thread_);
    thread_.setObjectName(QStringLiteral("audio output"));
    thread_.start();
  }

  ~TDeviceAudioSink() override {
    OnThread([this] { Close(); });
    thread_.quit();
    thread_.wait();
    delete context_;
  }

  bool Start(const TAudioFormat& Format) override {
    bool ok = false;
    OnThread([&] { ok = Open(Format); });
    return ok;
  }

  int64_t FreeFrames() override {
    std::lock_guard<std::mutex> lock(mutex_);
    return capacity_ - queued_;
  }

  int64_t Write(const int16_t* Samples, int64_t Frames) override {
    std::lock_guard<std::mutex> lock(mutex_);
    const int64_t n = std::max<int64_t>(0, std::min(Frames, capacity_ - queued_));
    const int channels = format_.Channels;
    for (int64_t i = 0; i < n; ++i) {
      std::memcpy(ring_.data() + ((head_ + queued_ + i) % capacity_) * channels, Samples + i * channels,
                  sizeof(int16_t) * channels);
    }
    queued_ += n;
    written_ += n;
    return n;
  }

  int64_t PlayedFrames() override { return played_.load(); }

  int64_t WrittenFrames() override {
    std::lock_guard<std::mutex> lock(mutex_);
    return written_;
  }

  void SetPaused(bool Paused) override {
    OnThread([this, Paused] {
      paused_ = Paused;
      if (!sink_) return;
      if (Paused) {
        if (sink_->state() == QAudio::ActiveState || sink_->state() == QAudio::IdleState) sink_->suspend();
      } else if (!io_) {
        // The device starts with the first samples to play (a stream started and suspended at
        // once can take long to come back).
        io_ = sink_->start();
        pushed_ = 0;
        played_ = 0;
      } else if (sink_->state() == QAudio::SuspendedState) {
        sink_->resume();
      }
    });
  }

  void Flush() override {
    OnThread([this] {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        head_ = queued_ = written_ = 0;
      }
      // A new stream: the samples the device still holds are dropped with it, and the device
      // starts again with the next samples to play.
      if (sink_) {
        sink_->reset();
        io_ = nullptr;
      }
      pushed_ = 0;
      played_ = 0;
    });
  }

  bool Failed() override { return failed_.load(); }

 private:
  // Runs Call on the audio thread and waits for it.
  template <class F>
  void OnThread(F&& Call) {
    QMetaObject::invokeMethod(context_, std::forward<F>(Call), Qt::BlockingQueuedConnection);
  }

  bool Open(const TAudioFormat& Format) {
    Close();
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) return false;
    QAudioFormat format;
    format.setSampleRate(Format.SampleRate);
    format.setChannelCount(Format.Channels);
    format.setSampleFormat(QAudioFormat::Int16);
    if (!device.isFormatSupported(format)) return false;
    format_ = Format;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      capacity_ = std::max<int64_t>(1024, Format.SampleRate / 2);
      ring_.assign(static_cast<size_t>(capacity_ * Format.Channels), 0);
      head_ = queued_ = written_ = 0;
    }
    sink_ = new QAudioSink(device, format, context_);
    // About 100 ms in the device's own buffer.
    sink_->setBufferSize(Format.SampleRate / 10 * Format.Channels * 2);
    if (sink_->error() != QAudio::NoError) {
      OutputDebugString("audio output: the sound device did not start");
      Close();
      return false;
    }
    io_ = nullptr;
    paused_ = true;
    pushed_ = 0;
    played_ = 0;
    failed_ = false;
    timer_ = new QTimer(context_);
    timer_->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer_, &QTimer::timeout, context_, [this] { Pump(); });
    timer_->start(5);
    return true;
  }

  void Close() {
    delete timer_;
    timer_ = nullptr;
    if (sink_) {
      sink_->stop();
      delete sink_;
      sink_ = nullptr;
    }
    io_ = nullptr;
  }

  // Moves what the device takes from the ring into the sink and updates the played count.
  void Pump() {
    if (!sink_ || !io_) return;
    if (sink_->error() == QAudio::FatalError || sink_->error() == QAudio::OpenError) {
      if (!failed_.exchange(true)) OutputDebugString("audio output: the sound device failed");
      return;
    }
    const int bytesPerFrame = format_.Channels * 2;
    if (!paused_) {
      int64_t room = sink_->bytesFree() / bytesPerFrame;
      std::vector<int16_t> chunk;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        const int64_t n = std::min(room, queued_);
        chunk.resize(static_cast<size_t>(n * format_.Channels));
        for (int64_t i = 0; i < n; ++i) {
          std::memcpy(chunk.data() + i * format_.Channels, ring_.data() + ((head_ + i) % capacity_) * format_.Channels,
                      static_cast<size_t>(bytesPerFrame));
        }
        head_ = (head_ + n) % capacity_;
        queued_ -= n;
      }
      if (!chunk.empty()) {
        const qint64 done = io_->write(reinterpret_cast<const char*>(chunk.data()),
                                       static_cast<qint64>(chunk.size() * sizeof(int16_t)));
        if (done > 0) pushed_ += done / bytesPerFrame;
      }
    }
    // What the device has not played yet is what still sits in its buffer.
    const int64_t inDevice = std::max<qint64>(0, sink_->bufferSize() - sink_->bytesFree()) / bytesPerFrame;
    const int64_t played = std::max<int64_t>(0, pushed_ - inDevice);
    if (played > played_.load()) played_ = played;
  }

  QThread thread_;
  QObject* context_ = nullptr;
  QAudioSink* sink_ = nullptr;
  QIODevice* io_ = nullptr;
  QTimer* timer_ = nullptr;
  TAudioFormat format_;
  bool paused_ = true;
  int64_t pushed_ = 0;
  std::atomic<int64_t> played_{0};
  std::atomic<bool> failed_{false};

  std::mutex mutex_;
  std::vector<int16_t> ring_;
  int64_t capacity_ = 0;
  int64_t head_ = 0;
  int64_t queued_ = 0;
  int64_t written_ = 0;
};

}  // namespace

std::unique_ptr<TAudioSink> CreateDeviceAudioSink() {
  if (!QCoreApplication::instance()) return nullptr;
  return std::make_unique<TDeviceAudioSink>();
}
