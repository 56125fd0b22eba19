// LD_PRELOAD: while $VESK_STALL_FLAG exists, reads of paths containing $VESK_STALL_PATH wait
// (a disk spinning up); the first to wait makes "$VESK_STALL_FLAG.stalled".
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace {

bool Watched(int fd) {
  const char* part = std::getenv("VESK_STALL_PATH");
  char link[64];
  char path[4096];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  ssize_t n = part ? readlink(link, path, sizeof path - 1) : -1;
  if (n <= 0) return false;
  path[n] = 0;
  return std::strstr(path, part) != nullptr;
}

void WaitWhileFlagged(int fd) {
  const char* flag = std::getenv("VESK_STALL_FLAG");
  if (!flag || access(flag, F_OK) != 0 || !Watched(fd)) return;
  close(open((std::string(flag) + ".stalled").c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644));
  const timespec pause{0, 10'000'000};
  while (access(flag, F_OK) == 0) nanosleep(&pause, nullptr);
}

}  // namespace

// The player reads its files with pread alone.
extern "C" ssize_t pread(int fd, void* into, size_t bytes, off_t at) {
  using Pread = ssize_t (*)(int, void*, size_t, off_t);
  static auto next = reinterpret_cast<Pread>(dlsym(RTLD_NEXT, "pread"));
  WaitWhileFlagged(fd);
  return next(fd, into, bytes, at);
}
