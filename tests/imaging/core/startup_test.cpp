// The engine's start-up and shut-down: the counted runner with counting fakes (order, once-only,
// a raising step), the engine's own table of steps, and the entry points the program calls.
#include "imaging/core/ie_startup.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "imaging/core/ie_gdiplus.h"
#include "imaging/core/ie_settings.h"
#include "imaging/core/ie_word_table.h"
#include "imaging/io/codecs/gif_lzw.h"
#include "imaging/io/codecs/jpeg2000_codec.h"
#include "imaging/io/codecs/tiff_ccitt.h"
#include "imaging/io/codecs/tiff_lzw.h"
#include "imaging/io/format_registry.h"
#include "imaging/io/lzw_hooks.h"
#include "imaging/processing/zodazur_proc.h"
#include "imaging/views/ie_view_globals.h"

namespace {

// Every body adds "+n" or "-n" (n = the step's number) to the log; step Raise's set-up raises.
std::vector<std::string> g_log;
int g_raise = 0;

template <int N>
void Up() {
  if (N == g_raise) throw std::runtime_error("step failed");
  g_log.push_back("+" + std::to_string(N));
}
template <int N>
void Down() {
  g_log.push_back("-" + std::to_string(N));
}

const TIEStartupSteps kFakes = {{{"1", Up<1>, Down<1>},
                                 {"2", Up<2>, Down<2>},
                                 {"3", Up<3>, Down<3>},
                                 {"4", nullptr, nullptr},  // a step not built yet
                                 {"5", Up<5>, Down<5>},
                                 {"6", Up<6>, Down<6>},
                                 {"7", Up<7>, Down<7>},
                                 {"8", Up<8>, Down<8>},
                                 {"9", Up<9>, Down<9>},
                                 {"10", Up<10>, Down<10>}}};

std::vector<std::string> Log(std::initializer_list<int> steps, char sign) {
  std::vector<std::string> out;
  for (int n : steps) out.push_back(sign + std::to_string(n));
  return out;
}

class StartupRunner : public testing::Test {
 protected:
  void SetUp() override {
    g_log.clear();
    g_raise = 0;
  }
  TIEStartupRunner runner;
};

TEST_F(StartupRunner, BodiesRunOnceAndCleanUpAtTheLastShutDownInReverse) {
  runner.Initialize(kFakes);
  runner.Initialize(kFakes);
  runner.Initialize(kFakes);
  EXPECT_EQ(g_log, Log({1, 2, 3, 5, 6, 7, 8, 9, 10}, '+'));
  EXPECT_EQ(runner.UseCount(), 3);
  g_log.clear();
  runner.Finalize(kFakes);
  runner.Finalize(kFakes);
  EXPECT_TRUE(g_log.empty());
  runner.Finalize(kFakes);
  EXPECT_EQ(g_log, Log({10, 9, 8, 7, 6, 5, 3, 2, 1}, '-'));
  // One shut-down too many does nothing; the next start-up runs the bodies again.
  g_log.clear();
  runner.Finalize(kFakes);
  EXPECT_TRUE(g_log.empty());
  EXPECT_EQ(runner.UseCount(), 0);
  runner.Initialize(kFakes);
  EXPECT_EQ(g_log.size(), 9u);
  runner.Finalize(kFakes);
}

TEST_F(StartupRunner, ARaisingStepCleansUpWhatRanAndLeavesTheEngineStopped) {
  g_raise = 6;
  EXPECT_THROW(runner.Initialize(kFakes), std::runtime_error);
  std::vector<std::string> expected = Log({1, 2, 3, 5}, '+');
  for (const auto& s : Log({5, 3, 2, 1}, '-')) expected.push_back(s);
  EXPECT_EQ(g_log, expected);
  EXPECT_EQ(runner.UseCount(), 0);
  // Nothing to shut down; a later start-up begins from the first step.
  g_log.clear();
  runner.Finalize(kFakes);
  EXPECT_TRUE(g_log.empty());
  g_raise = 0;
  runner.Initialize(kFakes);
  EXPECT_EQ(g_log, Log({1, 2, 3, 5, 6, 7, 8, 9, 10}, '+'));
  runner.Finalize(kFakes);
}

TEST(EngineStartup, TheEnginesStepsInTheirOrder) {
  const TIEStartupSteps& steps = IEEngineStartupSteps();
  EXPECT_EQ(steps[0].Initialize, &InitializeIEGDIPlus);
  EXPECT_EQ(steps[1].Initialize, &InitializeImagingDefaults);
  EXPECT_EQ(steps[2].Initialize, &InitializeImagingUtilities);
  EXPECT_EQ(steps[2].Finalize, &FinalizeImagingUtilities);
  EXPECT_EQ(steps[3].Initialize, &InitializeIEJ2000);
  EXPECT_EQ(steps[3].Finalize, &FinalizeIEJ2000);
  EXPECT_EQ(steps[5].Initialize, &InitializeZodazUrIO);
  EXPECT_EQ(steps[5].Finalize, &FinalizeZodazUrIO);
  EXPECT_EQ(steps[6].Initialize, &InitializeZodazUrProc);
  EXPECT_EQ(steps[6].Finalize, &FinalizeZodazUrProc);
  EXPECT_EQ(steps[7].Initialize, &InitializeImageViewGlobals);
  EXPECT_EQ(steps[7].Finalize, &FinalizeImageViewGlobals);
  EXPECT_EQ(steps[8].Initialize, &InitializeTifCCITT);
  EXPECT_EQ(steps[8].Finalize, &FinalizeTifCCITT);
  // Steps whose modules are not built yet are empty entries that say so.
  for (int i : {4, 9}) {
    EXPECT_EQ(steps[i].Initialize, nullptr) << i;
    EXPECT_NE(std::string(steps[i].Name).find("with the"), std::string::npos) << i;
  }
}

void ClearLZWHooks() {
  GIFLZWDecodeHook = nullptr;
  GIFLZWEncodeHook = nullptr;
  TIFFLZWDecodeHook = nullptr;
  TIFFLZWEncodeHook = nullptr;
}

bool EngineCodersInstalled() {
  return GIFLZWDecodeHook.load() == &GIFLZWDecode && GIFLZWEncodeHook.load() == &GIFLZWEncode &&
         TIFFLZWDecodeHook.load() == &TIFFLZWDecode && TIFFLZWEncodeHook.load() == &TIFFLZWEncode;
}

TEST(EngineStartup, TheTestProgramStartedTheEngineThroughItsEntryPoints) {
  EXPECT_GE(ImagingUnitsUseCount(), 1);
  EXPECT_TRUE(EngineCodersInstalled());
  EXPECT_NE(FindFileFormatById(fmtGIF), nullptr);
  EXPECT_NE(ClipboardRawFormat, 0u);
  EXPECT_EQ(GetLanguageWord(iewPreview, msGerman), "Vorschau");
  // A further start-up only counts: hooks cleared in between stay cleared.
  ClearLZWHooks();
  const int32_t before = ImagingUnitsUseCount();
  InitializeImagingUnits();
  EXPECT_EQ(ImagingUnitsUseCount(), before + 1);
  EXPECT_FALSE(EngineCodersInstalled());
  FinalizeImagingUnits();
  EXPECT_EQ(ImagingUnitsUseCount(), before);
  EXPECT_NE(FindFileFormatById(fmtGIF), nullptr);  // still in use
  InitializeZodazUrIO();                            // the coders back for the other tests
}

TEST(EngineStartup, TheRealStepsSetUpAndTakeDownTheModules) {
  // The engine's table run by a runner of its own: the last shut-down empties the registry and the
  // word table, the next start-up fills them again.
  TIEStartupRunner runner;
  runner.Initialize(IEEngineStartupSteps());
  runner.Finalize(IEEngineStartupSteps());
  EXPECT_TRUE(FileFormatRegistry().empty());
  EXPECT_EQ(GetLanguageWord(iewPreview, msEnglish), "");
  ClearLZWHooks();
  MinFileSizeOverride = 1234;
  runner.Initialize(IEEngineStartupSteps());
  EXPECT_TRUE(EngineCodersInstalled());
  EXPECT_NE(FindFileFormatById(fmtGIF), nullptr);
  EXPECT_EQ(GetLanguageWord(iewPreview, msEnglish), "Preview");
  EXPECT_EQ(MinFileSizeOverride, -1);
  EXPECT_TRUE(IsWindowsNT);
  EXPECT_EQ(BlendCosineTable[255], 128);
  // Left started, as the test program's engine is.
}

}  // namespace
