#pragma once
// Objects that processes share by name: a mutex (on a POSIX named semaphore) and a block of shared
// memory (on POSIX shared memory). Names are given without POSIX's leading "/", which this layer
// adds; a name that is empty, holds "/" or is longer than the operating system allows is refused
// (EINVAL, ENAMETOOLONG). Both kinds outlive the processes that made them until their name is
// unlinked. Failures answer the operating system's error number (errno).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/system/sync_objs.h"

// The answers of a wait, in the platform's numbering.
constexpr uint32_t WAIT_OBJECT_0 = 0x000;
constexpr uint32_t WAIT_ABANDONED = 0x080;
constexpr uint32_t WAIT_IO_COMPLETION = 0x0C0;
constexpr uint32_t WAIT_TIMEOUT = 0x102;
constexpr uint32_t WAIT_FAILED = 0xFFFFFFFF;

// A mutex shared by name. Unlike the platform's mutex it is not re-entrant: a second wait by its
// holder waits like anyone else's. (A holder that ends without releasing it leaves it held; nothing
// is ever reported abandoned.)
class TNamedMutex {
 public:
  // Creates the mutex of that name, or opens it when it exists already (AlreadyExisted); with
  // initialOwner a mutex made here is held by the caller. Null and error set on failure.
  static std::unique_ptr<TNamedMutex> Create(const std::string& name, bool initialOwner, int& error);
  // Closes it (releasing it when held through this object); the name stays until Unlink.
  ~TNamedMutex();
  TNamedMutex(const TNamedMutex&) = delete;
  TNamedMutex& operator=(const TNamedMutex&) = delete;

  const std::string& Name() const { return name_; }
  bool AlreadyExisted() const { return alreadyExisted_; }
  // Waits for the mutex: WAIT_OBJECT_0 when it is now held, WAIT_TIMEOUT, or WAIT_FAILED with errno
  // set. INFINITE waits without limit, 0 only tries.
  uint32_t Wait(uint32_t timeoutMs);
  // Lets go of it; false (EPERM) when it is not held through this object.
  bool Release();
  // Removes the name (objects open now keep working); false with errno when there was none.
  static bool Unlink(const std::string& name);

 private:
  TNamedMutex() = default;
  void* semaphore_ = nullptr;
  std::string name_;
  bool alreadyExisted_ = false;
  int held_ = 0;
};

// A block of memory shared by name, mapped into this process.
class TSharedMemoryBlock {
 public:
  // Maps size bytes (0: all) of the block of that name when it exists; null and error set when it
  // does not (ENOENT), is smaller than size (EINVAL), or cannot be mapped.
  static std::unique_ptr<TSharedMemoryBlock> Open(const std::string& name, size_t size, bool writable, int& error);
  // Creates the block with size bytes of zeros and maps it writable, or maps the one that exists
  // (AlreadyExisted). Null and error set on failure.
  static std::unique_ptr<TSharedMemoryBlock> Create(const std::string& name, size_t size, int& error);
  // Unmaps and closes it; the block stays until its name is unlinked.
  ~TSharedMemoryBlock();
  TSharedMemoryBlock(const TSharedMemoryBlock&) = delete;
  TSharedMemoryBlock& operator=(const TSharedMemoryBlock&) = delete;

  void* Address() const { return address_; }
  size_t Size() const { return size_; }
  const std::string& Name() const { return name_; }
  bool AlreadyExisted() const { return alreadyExisted_; }
  static bool Unlink(const std::string& name);

 private:
  TSharedMemoryBlock() = default;
  void* address_ = nullptr;
  size_t size_ = 0;
  std::string name_;
  bool alreadyExisted_ = false;
};
