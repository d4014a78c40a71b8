#include "platform/media/media_settings.h"

#include <atomic>

namespace {
std::atomic<int64_t> g_pixelLimit{int64_t{1} << 26};
std::atomic<uint32_t> g_settleBoundMs{10000};
std::atomic<bool> g_forceSilent{false};
std::atomic<int32_t> g_codecThreads{0};
std::atomic<uint32_t> g_stallMs{10000};
}  // namespace

int64_t MediaPixelLimit() { return g_pixelLimit.load(); }
void SetMediaPixelLimit(int64_t Pixels) { g_pixelLimit = Pixels > 0 ? Pixels : 1; }

uint32_t MediaSettleBoundMs() { return g_settleBoundMs.load(); }
void SetMediaSettleBoundMs(uint32_t Milliseconds) { g_settleBoundMs = Milliseconds; }

bool MediaForceSilentAudio() { return g_forceSilent.load(); }
void SetMediaForceSilentAudio(bool Value) { g_forceSilent = Value; }

int32_t MediaCodecThreads() { return g_codecThreads.load(); }
void SetMediaCodecThreads(int32_t Threads) { g_codecThreads = Threads > 0 ? Threads : 0; }

uint32_t MediaCaptureStallMs() { return g_stallMs.load(); }
void SetMediaCaptureStallMs(uint32_t Milliseconds) { g_stallMs = Milliseconds; }
