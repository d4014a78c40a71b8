#include "controls/xrl/xrl_unit_versioning.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "controls/controls_startup.h"
#include "platform/system/named_objects.h"

namespace {

const TUnitVersionInfo kOne = {"one", "1", "", "XRL\\source\\common", "", nullptr};
const TUnitVersionInfo kTwo = {"two", "1", "", "XRL\\source\\common", "", nullptr};

class TRecordingProvider : public TUnitVersioningProvider {
 public:
  explicit TRecordingProvider(std::vector<HMODULE>* log) : log_(log) {}
  void ReleaseModuleHandle(HMODULE module) override { log_->push_back(module); }

 private:
  std::vector<HMODULE>* log_;
};

TEST(UnitVersioning, RecordsOncePerModuleAndModulesDroppedFromTheLast) {
  TUnitVersioning r;
  r.AddUnitInfo(1, &kOne);
  r.AddUnitInfo(1, &kOne);  // the same record: stored once
  r.AddUnitInfo(1, &kTwo);
  r.AddUnitInfo(2, &kOne);
  ASSERT_EQ(r.ModuleCount(), 2);
  EXPECT_EQ(r.Modules(0)->Count(), 2);
  EXPECT_EQ(r.Modules(0)->FindInfoIndex(&kTwo), 1);
  EXPECT_EQ(r.Modules(1)->FindInfoIndex(&kTwo), -1);
  // A record with the same texts at another address is another record.
  const TUnitVersionInfo copy = kOne;
  r.AddUnitInfo(2, &copy);
  EXPECT_EQ(r.Modules(1)->Count(), 2);

  std::vector<HMODULE> told;
  r.AddProvider(std::make_unique<TRecordingProvider>(&told));
  r.AddUnitInfo(1, &kTwo);
  r.Modules(1);
  r.DropModule(7);  // none: the providers hear of it all the same
  EXPECT_EQ(r.ModuleCount(), 2);
  r.DropModule(1);
  ASSERT_EQ(r.ModuleCount(), 1);
  EXPECT_EQ(r.Modules(0)->ModuleHandle(), 2u);
  EXPECT_EQ(told, (std::vector<HMODULE>{7, 1}));
}

// The registry's address as the named block holds it now; null when there is no block.
void* AddressInTheBlock(int* error) {
  auto block = TSharedMemoryBlock::Open(UnitVersioningBlockName(), 0, false, *error);
  if (!block) return nullptr;
  void* p = nullptr;
  std::memcpy(&p, block->Address(), sizeof p);
  return p;
}

bool MutexNameExists() {
  int error = 0;
  auto m = TNamedMutex::Create(UnitVersioningMutexName(), false, error);
  bool existed = m && m->AlreadyExisted();
  if (m && !existed) TNamedMutex::Unlink(UnitVersioningMutexName());
  return existed;
}

// The library started around the test run: stop it, check, and start it again.
class RegistryTest : public testing::Test {
 protected:
  void TearDown() override {
    if (!ControlsInitialized()) InitializeControls();
    SetUnitVersioningNames("", "");
  }
};

TEST_F(RegistryTest, TheLibrarysUnitsAreRegisteredAndNothingNamedOutlivesTheShutdown) {
  ASSERT_TRUE(ControlsInitialized());
  EXPECT_EQ(UnitVersioningMutexName(), "MutexXRL_UnitVersioning_" + std::to_string(getpid()));
  EXPECT_EQ(UnitVersioningBlockName(), "ShmXRL_UnitVersioning_" + std::to_string(getpid()));
  TUnitVersioning* r = ProcessUnitRegistry();
  ASSERT_NE(r, nullptr);
  ASSERT_EQ(r->ModuleCount(), 1);
  EXPECT_EQ(r->Modules(0)->ModuleHandle(), MainModuleHandle());
  EXPECT_EQ(r->Modules(0)->Count(), 26);
  EXPECT_EQ(LibraryUnitRecords().size(), 26u);
  EXPECT_STREQ(r->Modules(0)->Items(1)->VersionInfo()->LogPath, "XRL\\source\\windows");  // XrlWin32
  int error = 0;
  EXPECT_EQ(AddressInTheBlock(&error), r);  // the shared block holds the registry's whole address
  EXPECT_TRUE(MutexNameExists());

  FinalizeControls();
  ASSERT_FALSE(ControlsInitialized());
  EXPECT_EQ(ProcessUnitRegistry(), nullptr);  // shut down: none
  EXPECT_EQ(AddressInTheBlock(&error), nullptr);
  EXPECT_EQ(error, ENOENT);
  EXPECT_FALSE(MutexNameExists());
}

TEST_F(RegistryTest, ALeftoverOfADeadProcessWithTheSameIdIsNotRead) {
  FinalizeControls();
  // What a crashed process with this id would have left: a block holding a dangling address.
  int error = 0;
  auto leftover = TSharedMemoryBlock::Create(UnitVersioningBlockName(), sizeof(void*), error);
  ASSERT_NE(leftover, nullptr);
  void* dangling = reinterpret_cast<void*>(uintptr_t{0xDEAD0000});
  std::memcpy(leftover->Address(), &dangling, sizeof dangling);
  leftover.reset();
  auto leftoverMutex = TNamedMutex::Create(UnitVersioningMutexName(), true, error);  // held by the dead
  ASSERT_NE(leftoverMutex, nullptr);
  leftoverMutex.reset();

  InitializeControls();
  TUnitVersioning* r = ProcessUnitRegistry();
  ASSERT_NE(r, nullptr);
  EXPECT_NE(static_cast<void*>(r), dangling);
  ASSERT_EQ(r->ModuleCount(), 1);
  EXPECT_EQ(r->Modules(0)->Count(), 26);
  EXPECT_EQ(AddressInTheBlock(&error), r);
}

TEST_F(RegistryTest, WithoutTheBlockOrTheMutexTheModuleKeepsItsOwnRegistry) {
  struct Case {
    const char* mutexName;
    const char* blockName;
  } cases[] = {{"", "BlockWith\\Backslash"}, {"mutex/with/slashes", ""}};
  for (const Case& c : cases) {
    FinalizeControls();
    SetUnitVersioningNames(c.mutexName, c.blockName);
    InitializeControls();  // the start-up goes on
    TUnitVersioning* r = ProcessUnitRegistry();
    ASSERT_NE(r, nullptr);
    ASSERT_EQ(r->ModuleCount(), 1);
    EXPECT_EQ(r->Modules(0)->Count(), 26);
    FinalizeControls();
    SetUnitVersioningNames("", "");
    InitializeControls();
  }
}

}  // namespace
