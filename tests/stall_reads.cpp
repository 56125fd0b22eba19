// LD_PRELOAD: while $VESK_STALL_FLAG exists, reads of paths containing $VESK_STALL_PATH wait
// (a disk spinning up); the first to wait makes "$VESK_STALL_FLAG.stalled".
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

namespace {

bool Watched(int fd) {
  const char* part = std::getenv("VESK_STALL_PATH");
  std::error_code error;
  const auto path = std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd), error);
  return part && !error && path.string().find(part) != std::string::npos;
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
