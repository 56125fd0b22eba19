// The file under a stream, opened without waiting and read in blocks.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>

#include "platform/lock_order.h"
#include "platform/sound.h"
#include "platform/stream_decoder.h"
#include "platform/test_hooks.h"

namespace plat {
namespace {

constexpr size_t kBlockBytes = 64 * 1024;

std::atomic<void (*)()> readHookForTests{nullptr};

}  // namespace

std::unique_ptr<SourceFile> SourceFile::Open(const std::string& path, int* error) {
  // A FIFO would block the open itself, a device could do anything: only a
  // regular file is opened, and O_NONBLOCK covers one swapped in meanwhile.
  struct stat st;
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    *error = errno == ENOENT ? kSoundFileNotFound : kSoundLoadFailed;
    return nullptr;
  }
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    *error = fd < 0 && errno == ENOENT ? kSoundFileNotFound : kSoundLoadFailed;
    if (fd >= 0) close(fd);
    return nullptr;
  }
  return std::unique_ptr<SourceFile>(new SourceFile(fd, st.st_size));
}

SourceFile::SourceFile(int fd, off_t size) : fd_(fd), size_(size), block_(kBlockBytes) {}

SourceFile::~SourceFile() {
  close(fd_);
}

ssize_t SourceFile::Read(void* into, size_t bytes) {
  AssertNoSoundLockHeld();
  auto* to = static_cast<unsigned char*>(into);
  size_t done = 0;
  while (done < bytes) {
    off_t offset = pos_ - blockStart_;
    if (offset < 0 || offset >= static_cast<off_t>(blockBytes_)) {
      if (void (*hook)() = readHookForTests.load()) hook();
      ssize_t got = pread(fd_, block_.data(), block_.size(), pos_);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) return done ? static_cast<ssize_t>(done) : -1;
      blockStart_ = pos_;
      blockBytes_ = static_cast<size_t>(got);
      if (got == 0) break;
      offset = 0;
    }
    size_t n = std::min(bytes - done, blockBytes_ - static_cast<size_t>(offset));
    std::memcpy(to + done, block_.data() + offset, n);
    done += n;
    pos_ += static_cast<off_t>(n);
  }
  return static_cast<ssize_t>(done);
}

off_t SourceFile::Seek(off_t offset, int whence) {
  AssertNoSoundLockHeld();
  off_t base = whence == SEEK_CUR ? pos_ : 0;
  if (whence == SEEK_END) {
    struct stat st;
    if (fstat(fd_, &st) != 0) return -1;
    base = st.st_size;
  }
  if (base + offset < 0) {
    errno = EINVAL;
    return -1;
  }
  pos_ = base + offset;
  return pos_;
}

bool SourceFile::Lost() const {
  struct stat st;
  return fstat(fd_, &st) != 0 || st.st_nlink == 0 || st.st_size < size_;
}

void SetSourceReadHookForTests(void (*hook)()) {
  readHookForTests = hook;
}

}  // namespace plat
