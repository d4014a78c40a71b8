#include "platform/system/named_objects.h"

#include <fcntl.h>
#include <semaphore.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

namespace {

// POSIX's form of a name ("/" first), or empty with error set for a name it cannot hold. Semaphores
// live as "sem.<name>" in a folder, so the name keeps four characters of room below NAME_MAX.
std::string PosixName(const std::string& name, int& error) {
  if (name.empty() || name.find('/') != std::string::npos || name.find('\0') != std::string::npos) {
    error = EINVAL;
    return std::string();
  }
  if (name.size() > 250) {
    error = ENAMETOOLONG;
    return std::string();
  }
  return "/" + name;
}

}  // namespace

// ---------------------------------------------------------------------------------------- TNamedMutex

std::unique_ptr<TNamedMutex> TNamedMutex::Create(const std::string& name, bool initialOwner, int& error) {
  error = 0;
  std::string posix = PosixName(name, error);
  if (posix.empty()) return nullptr;
  bool existed = false;
  sem_t* sem = sem_open(posix.c_str(), O_CREAT | O_EXCL, 0600, 1u);
  if (sem == SEM_FAILED && errno == EEXIST) {
    existed = true;
    sem = sem_open(posix.c_str(), 0);
  }
  if (sem == SEM_FAILED) {
    error = errno;
    return nullptr;
  }
  std::unique_ptr<TNamedMutex> m(new TNamedMutex);
  m->semaphore_ = sem;
  m->name_ = name;
  m->alreadyExisted_ = existed;
  // Only a mutex made here starts held, as the platform's does.
  if (initialOwner && !existed && m->Wait(0) != WAIT_OBJECT_0) {
    error = errno ? errno : EAGAIN;
    return nullptr;
  }
  return m;
}

TNamedMutex::~TNamedMutex() {
  auto* sem = static_cast<sem_t*>(semaphore_);
  while (held_ > 0) Release();
  if (sem) sem_close(sem);
}

uint32_t TNamedMutex::Wait(uint32_t timeoutMs) {
  auto* sem = static_cast<sem_t*>(semaphore_);
  int r;
  if (timeoutMs == INFINITE) {
    do r = sem_wait(sem);
    while (r != 0 && errno == EINTR);
  } else if (timeoutMs == 0) {
    r = sem_trywait(sem);
  } else {
    timespec until;
    clock_gettime(CLOCK_REALTIME, &until);
    until.tv_sec += static_cast<time_t>(timeoutMs / 1000);
    until.tv_nsec += static_cast<long>(timeoutMs % 1000) * 1000000L;
    if (until.tv_nsec >= 1000000000L) {
      until.tv_sec += 1;
      until.tv_nsec -= 1000000000L;
    }
    do r = sem_timedwait(sem, &until);
    while (r != 0 && errno == EINTR);
  }
  if (r == 0) {
    ++held_;
    return WAIT_OBJECT_0;
  }
  return errno == EAGAIN || errno == ETIMEDOUT ? WAIT_TIMEOUT : WAIT_FAILED;
}

bool TNamedMutex::Release() {
  if (held_ == 0) {
    errno = EPERM;
    return false;
  }
  if (sem_post(static_cast<sem_t*>(semaphore_)) != 0) return false;
  --held_;
  return true;
}

bool TNamedMutex::Unlink(const std::string& name) {
  int error = 0;
  std::string posix = PosixName(name, error);
  if (posix.empty()) {
    errno = error;
    return false;
  }
  return sem_unlink(posix.c_str()) == 0;
}

// --------------------------------------------------------------------------------- TSharedMemoryBlock

namespace {

// Maps size bytes of the open descriptor; the descriptor is closed either way.
void* MapShared(int fd, size_t size, bool writable, int& error) {
  void* p = mmap(nullptr, size, writable ? PROT_READ | PROT_WRITE : PROT_READ, MAP_SHARED, fd, 0);
  if (p == MAP_FAILED) {
    error = errno;
    p = nullptr;
  }
  close(fd);
  return p;
}

}  // namespace

std::unique_ptr<TSharedMemoryBlock> TSharedMemoryBlock::Open(const std::string& name, size_t size, bool writable,
                                                             int& error) {
  error = 0;
  std::string posix = PosixName(name, error);
  if (posix.empty()) return nullptr;
  int fd = shm_open(posix.c_str(), writable ? O_RDWR : O_RDONLY, 0);
  if (fd < 0) {
    error = errno;
    return nullptr;
  }
  struct stat st;
  if (fstat(fd, &st) != 0) {
    error = errno;
    close(fd);
    return nullptr;
  }
  size_t have = static_cast<size_t>(st.st_size);
  if (size == 0) size = have;
  if (size == 0 || size > have) {
    // Mapping past the block's end would fault on first touch.
    error = EINVAL;
    close(fd);
    return nullptr;
  }
  void* p = MapShared(fd, size, writable, error);
  if (!p) return nullptr;
  std::unique_ptr<TSharedMemoryBlock> b(new TSharedMemoryBlock);
  b->address_ = p;
  b->size_ = size;
  b->name_ = name;
  b->alreadyExisted_ = true;
  return b;
}

std::unique_ptr<TSharedMemoryBlock> TSharedMemoryBlock::Create(const std::string& name, size_t size, int& error) {
  error = 0;
  std::string posix = PosixName(name, error);
  if (posix.empty()) return nullptr;
  if (size == 0) {
    error = EINVAL;
    return nullptr;
  }
  bool existed = false;
  int fd = shm_open(posix.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
  if (fd < 0 && errno == EEXIST) {
    existed = true;
    fd = shm_open(posix.c_str(), O_RDWR, 0);
  }
  if (fd < 0) {
    error = errno;
    return nullptr;
  }
  struct stat st;
  if (fstat(fd, &st) != 0) {
    error = errno;
    close(fd);
    return nullptr;
  }
  // A block made here (or one whose maker has not sized it yet) gets its size; a smaller one that
  // exists cannot hold what is asked for.
  if (st.st_size == 0) {
    if (ftruncate(fd, static_cast<off_t>(size)) != 0) {
      error = errno;
      close(fd);
      if (!existed) shm_unlink(posix.c_str());
      return nullptr;
    }
  } else if (static_cast<size_t>(st.st_size) < size) {
    error = EINVAL;
    close(fd);
    return nullptr;
  }
  void* p = MapShared(fd, size, true, error);
  if (!p) {
    if (!existed) shm_unlink(posix.c_str());
    return nullptr;
  }
  std::unique_ptr<TSharedMemoryBlock> b(new TSharedMemoryBlock);
  b->address_ = p;
  b->size_ = size;
  b->name_ = name;
  b->alreadyExisted_ = existed;
  return b;
}

TSharedMemoryBlock::~TSharedMemoryBlock() {
  if (address_) munmap(address_, size_);
}

bool TSharedMemoryBlock::Unlink(const std::string& name) {
  int error = 0;
  std::string posix = PosixName(name, error);
  if (posix.empty()) {
    errno = error;
    return false;
  }
  return shm_unlink(posix.c_str()) == 0;
}
