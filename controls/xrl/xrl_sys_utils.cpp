#include "controls/xrl/xrl_sys_utils.h"

#include <atomic>
#include <memory>

#include "controls/xrl/xrl_base.h"
#include "controls/xrl/xrl_strings.h"
#include "controls/xrl/xrl_sys_info.h"
#include "controls/xrl/xrl_synch.h"
#include "platform/system/named_objects.h"

namespace {

struct SharedBlockRecord {
  std::string name;
  std::unique_ptr<TSharedMemoryBlock> block;
  int32_t count = 0;
  SharedBlockRecord* next = nullptr;
};

// Newest first.
SharedBlockRecord* g_blocks = nullptr;
std::atomic<TXrlCriticalSection*> g_listLock{nullptr};
std::atomic<bool> g_listShutDown{false};

// The list's lock, made on first use: a racing maker frees its own. None once shut-down began.
TXrlCriticalSection* ListLock() {
  TXrlCriticalSection* lock = g_listLock.load();
  if (lock || g_listShutDown.load()) return lock;
  auto* made = new TXrlCriticalSection;
  TXrlCriticalSection* expected = nullptr;
  if (g_listLock.compare_exchange_strong(expected, made)) return made;
  delete made;
  return expected;
}

// Holds the list while it lives.
class ListAccess {
 public:
  ListAccess() : lock_(ListLock()) {
    if (lock_) lock_->Enter();
  }
  ~ListAccess() {
    if (lock_) lock_->Leave();
  }
  ListAccess(const ListAccess&) = delete;
  ListAccess& operator=(const ListAccess&) = delete;

 private:
  TXrlCriticalSection* lock_;
};

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (CharLower(static_cast<unsigned char>(a[i])) != CharLower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

}  // namespace

int32_t OpenSharedBlock(void*& address, const std::string& name, uint32_t size, uint32_t access) {
  address = nullptr;
  // POSIX names cannot hold "/" either, refused with the same text.
  if (WindowsVersionClass() < 10 &&
      (name.empty() || name.find('\\') != std::string::npos || name.find('/') != std::string::npos))
    throw ESharedMemError(Format("Invalid MMF name \"%s\"", name.c_str()));
  ListAccess access_;
  for (SharedBlockRecord* r = g_blocks; r; r = r->next) {
    if (SameNameIgnoringCase(r->name, name)) {
      ++r->count;
      address = r->block->Address();
      return kSharedBlockExisted;
    }
  }
  int error = 0;
  bool writable = (access & FILE_MAP_WRITE) != 0;
  std::unique_ptr<TSharedMemoryBlock> block = TSharedMemoryBlock::Open(name, size, writable, error);
  if (!block) {
    if (size == 0) throw ESharedMemError(Format("The MMF named \"%s\" cannot be created empty", name.c_str()));
    block = TSharedMemoryBlock::Create(name, size, error);
    if (!block) RaiseLastOSError(error);
  }
  int32_t result = block->AlreadyExisted() ? kSharedBlockExisted : 0;
  auto* r = new SharedBlockRecord;
  r->name = name;
  r->block = std::move(block);
  r->count = 1;
  r->next = g_blocks;
  g_blocks = r;
  address = r->block->Address();
  return result;
}

bool CloseSharedBlock(void*& address) {
  if (!address) return true;
  ListAccess access;
  for (SharedBlockRecord** link = &g_blocks; *link; link = &(*link)->next) {
    SharedBlockRecord* r = *link;
    if (r->block->Address() != address) continue;
    if (r->count < 2) {
      *link = r->next;
      delete r;
    } else {
      --r->count;
    }
    address = nullptr;
    return true;
  }
  return false;
}

void InitializeSharedBlocks() { g_listShutDown = false; }

void FinalizeSharedBlocks() {
  {
    ListAccess access;
    while (g_blocks) {
      SharedBlockRecord* r = g_blocks;
      g_blocks = r->next;
      delete r;
    }
  }
  g_listShutDown = true;
  delete g_listLock.exchange(nullptr);
}

int32_t MessageHandlerCount(const std::type_info&) { return 0; }

const uint16_t* MessageHandlerNumbers(const std::type_info&) { return nullptr; }

void* const* MessageHandlerEntries(const std::type_info&) { return nullptr; }
