// Windows of other player processes. A player that finds no other takes its
// window's name with a lock file and at once listens on a socket beside it,
// where requests wait until its window exists. A later start connects there:
// each request is one connection (connect, write one record, close). Only
// the same user's programs are served; anything but a valid record is dropped.
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "platform/context.h"
#include "platform/instance.h"
#include "platform/internal.h"
#include "platform/test_hooks.h"

namespace plat {
namespace {

using Clock = std::chrono::steady_clock;

// A player listens from the moment it holds the name, so a start that finds
// the name held and no answer has caught that moment, and asks again shortly.
constexpr auto kHolderWait = std::chrono::seconds(2);
constexpr auto kHolderPoll = std::chrono::milliseconds(1);
// How long a request waits for a player whose queue is full.
constexpr timeval kConnectWait{1, 0};
// A client writes its record right after it connects; one that does not is
// not one of ours.
constexpr timeval kRecordWait{0, 250'000};
constexpr int kBacklog = 64;

// One request. Fixed size and native byte order: both ends share the machine.
struct InstanceRecord {
  char magic[4];       // kInstanceMagic
  uint16_t version;    // kInstanceVersion
  uint16_t operation;  // InstanceOp
  uint32_t argument;   // show: the command; post: the message number
  uint32_t reserved;   // 0
  uint64_t wParam;
  uint64_t lParam;
};
static_assert(sizeof(InstanceRecord) == 32);

constexpr char kInstanceMagic[4] = {'V', 'E', 'S', 'K'};
constexpr uint16_t kInstanceVersion = 1;
enum InstanceOp : uint16_t { kOpShow = 1, kOpForeground = 2, kOpPost = 3 };

void Warn(const std::string& text) {
  std::fprintf(stderr, "vesk: %s\n", text.c_str());
}

// A folder only this user can enter and that is no link to elsewhere.
bool IsPrivateFolder(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == getuid() &&
         (st.st_mode & 077) == 0;
}

// The private folder under ${TMPDIR:-/tmp}, made when missing; empty when
// there is none that is safe.
std::string FallbackFolder() {
  const char* tmp = std::getenv("TMPDIR");
  std::string folder = std::string(tmp && tmp[0] == '/' ? tmp : "/tmp") + "/vesk-" +
                       std::to_string(static_cast<unsigned long>(getuid()));
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    Warn("cannot create " + folder + ": " + std::strerror(errno) +
         "; other players will not be found");
    return {};
  }
  if (!IsPrivateFolder(folder)) {
    Warn(folder + " is a link, someone else's or open to others; other players will not be found");
    return {};
  }
  return folder;
}

std::string SafeName(std::u16string_view text) {
  std::string out;
  for (char16_t c : text) {
    bool plain = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
                 c == u'_' || c == u'-';
    out += plain ? static_cast<char>(c) : '_';
  }
  return out;
}

std::string PlaceName(std::u16string_view className, std::u16string_view title) {
  return SafeName(className) + "-" + SafeName(title);
}

Place PlaceIn(const std::string& folder, const std::string& name) {
  return Place{name, folder + "/" + name + ".sock", folder + "/" + name + ".lock"};
}

// Whether players can meet at the place: the socket's path fits an address,
// the folder takes new files, and neither path is already something else (a
// folder, a link), which would keep every start from finding the others.
bool CanServe(const Place& p, const std::string& folder) {
  if (p.socket.size() >= sizeof(sockaddr_un{}.sun_path)) return false;
  struct stat st;
  if (lstat(p.socket.c_str(), &st) == 0 && !S_ISSOCK(st.st_mode)) return false;
  if (lstat(p.lock.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) return false;
  return access(folder.c_str(), W_OK | X_OK) == 0;
}

// Where a window's socket and lock go: $XDG_RUNTIME_DIR when it is private
// and can serve, else the private folder under /tmp. Every start decides the
// same way, so they still meet. Nothing when neither will do.
std::optional<Place> PlaceFor(std::u16string_view className, std::u16string_view title) {
  std::string name = PlaceName(className, title);
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && *runtime) {
    if (runtime[0] == '/' && IsPrivateFolder(runtime)) {
      Place p = PlaceIn(runtime, name);
      if (CanServe(p, runtime)) return p;
      Warn(p.socket + " cannot be used; using a private folder under /tmp instead");
    } else {
      Warn(std::string("XDG_RUNTIME_DIR (") + runtime + ") is not a private folder; not using it");
    }
  }
  std::string folder = FallbackFolder();
  if (folder.empty()) return std::nullopt;
  Place p = PlaceIn(folder, name);
  if (CanServe(p, folder)) return p;
  Warn(p.socket + " cannot be used; other players will not be found");
  return std::nullopt;
}

sockaddr_un AddressOf(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);  // length checked by PlaceFor
  return address;
}

// A connection to the socket, or -1 with errno: EAGAIN when a player is
// there but its queue stayed full.
int Connect(const std::string& path) {
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &kConnectWait, sizeof kConnectWait);
  sockaddr_un address = AddressOf(path);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return fd;
  int error = errno;
  close(fd);
  errno = error;
  return -1;
}

enum class Lock { Taken, Held, Failed };

Lock TryLock(const std::string& path, int* fd) {
  *fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (*fd < 0) return Lock::Failed;
  if (flock(*fd, LOCK_EX | LOCK_NB) == 0) return Lock::Taken;
  int error = errno;
  close(*fd);
  *fd = -1;
  return error == EWOULDBLOCK ? Lock::Held : Lock::Failed;
}

bool PeerIsThisUser(int fd) {
  ucred cred{};
  socklen_t length = sizeof cred;
  return getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &length) == 0 && length == sizeof cred &&
         cred.uid == getuid();
}

// Requests handed to the user-interface thread and not yet carried out: one
// of each kind is enough, so that a flood of requests queues nothing more
// and the close request (or SIGTERM) never waits behind it.
struct Pending {
  std::atomic<bool> show{false};
  std::atomic<bool> foreground{false};
  std::atomic<bool> close{false};
};

// Runs the task on the user-interface thread unless one of its kind waits.
void RunOnce(const std::shared_ptr<Pending>& pending, std::atomic<bool> Pending::*flag,
             std::function<void()> task) {
  if ((*pending.*flag).exchange(true)) return;
  RunOnUiThread([pending, flag, task = std::move(task)] {
    (*pending.*flag) = false;
    task();
  });
}

// Hands a valid request to the user-interface thread.
void Serve(const InstanceRecord& r, HWND hwnd, const std::shared_ptr<Pending>& pending) {
  if (std::memcmp(r.magic, kInstanceMagic, sizeof r.magic) != 0 || r.version != kInstanceVersion ||
      r.reserved != 0 || r.wParam != 0 || r.lParam != 0) {
    return;
  }
  if (r.operation == kOpShow && r.argument == static_cast<uint32_t>(SW_SHOW)) {
    RunOnce(pending, &Pending::show, [hwnd] { ShowWindow(hwnd, SW_SHOW); });
  } else if (r.operation == kOpForeground && r.argument == 0) {
    RunOnce(pending, &Pending::foreground, [hwnd] {
      auto notice = Ctx().instance.foregroundNotice.load();
      if (SetForegroundWindow(hwnd) && notice) notice(hwnd);
    });
  } else if (r.operation == kOpPost && r.argument == kCloseRequest) {
    RunOnce(pending, &Pending::close, [hwnd] { PostMessageW(hwnd, kCloseRequest, 0, 0); });
  }
}

// Reads the one record of a connection and serves it.
void ServeConnection(int fd, HWND hwnd, const std::shared_ptr<Pending>& pending) {
  if (!PeerIsThisUser(fd)) return;
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &kRecordWait, sizeof kRecordWait);
  InstanceRecord record;
  if (recv(fd, &record, sizeof record, MSG_WAITALL) == sizeof record) Serve(record, hwnd, pending);
}

// The thread that serves the socket, one connection at a time.
void ServeRequests(int listenFd, int stopFd, HWND hwnd) {
  auto pending = std::make_shared<Pending>();
  pollfd fds[] = {{stopFd, POLLIN, 0}, {listenFd, POLLIN, 0}};
  for (;;) {
    int ready = poll(fds, 2, -1);
    if (ready < 0 && errno != EINTR) break;
    if (ready < 0) continue;
    if (fds[0].revents) break;
    int fd = accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0) {
      ServeConnection(fd, hwnd, pending);
      close(fd);
    } else if (errno == EMFILE || errno == ENFILE) {
      usleep(50'000);  // out of descriptors: let the queue wait rather than spin
    }
  }
}

// Listens at the place, whose lock is held: any socket file there is left
// by a player that died.
bool Listen(Reservation& r) {
  const char* path = r.place.socket.c_str();
  if (unlink(path) != 0 && errno != ENOENT) return false;
  r.listenFd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (r.listenFd < 0) return false;
  sockaddr_un address = AddressOf(r.place.socket);
  return bind(r.listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
         chmod(path, 0600) == 0 && stat(path, &r.socketFile) == 0 &&
         listen(r.listenFd, kBacklog) == 0;
}

bool StartServing(Reservation& r, HWND hwnd) {
  r.stopFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (r.stopFd < 0) return false;
  try {
    r.server = std::thread(ServeRequests, r.listenFd, r.stopFd, hwnd);
  } catch (...) {
    return false;
  }
  r.hwnd = hwnd;
  return true;
}

// Stops serving, closes the window's socket and gives its name up.
void Release(Reservation& r) {
  if (r.server.joinable()) {
    uint64_t one = 1;
    // An eventfd write of 8 bytes only fails if the counter would overflow.
    [[maybe_unused]] ssize_t written = write(r.stopFd, &one, sizeof one);
    r.server.join();
  }
  if (r.stopFd >= 0) close(r.stopFd);
  r.stopFd = -1;
  if (r.listenFd >= 0) {
    close(r.listenFd);
    // Only our own socket file: never one a later player put there.
    struct stat now;
    if (stat(r.place.socket.c_str(), &now) == 0 && now.st_dev == r.socketFile.st_dev &&
        now.st_ino == r.socketFile.st_ino) {
      unlink(r.place.socket.c_str());
    }
    r.listenFd = -1;
  }
  if (r.lockFd >= 0) close(r.lockFd);
  r.lockFd = -1;
}

// Takes the name with the lock held: others find the socket answering from
// now on. Without a socket the name is given up at once, so that others start
// on their own rather than wait for us in vain.
void Reserve(Instance& s, const Place& place, int lockFd) {
  auto r = std::make_unique<Reservation>();
  r->place = place;
  r->lockFd = lockFd;
  if (!Listen(*r)) {
    Warn("cannot listen on " + place.socket + ": " + std::strerror(errno));
    Release(*r);
    return;
  }
  std::lock_guard lock(s.mutex);
  s.reservations.push_back(std::move(r));
}

HWND RemoteHandle(Instance& s, const std::string& socket) {
  std::lock_guard lock(s.mutex);
  auto it = std::find(s.remotes.begin(), s.remotes.end(), socket);
  if (it == s.remotes.end()) it = s.remotes.insert(it, socket);
  // The index leaves the lowest bit free: callers set it when bringing a
  // window forward.
  return reinterpret_cast<HWND>(kRemoteWindowTag | ((it - s.remotes.begin() + 1) << 1));
}

BOOL Send(HWND hwnd, InstanceOp operation, uint32_t argument) {
  InstanceRecord record{};
  std::memcpy(record.magic, kInstanceMagic, sizeof record.magic);
  record.version = kInstanceVersion;
  record.operation = operation;
  record.argument = argument;
  std::string socket;
  {
    Instance& s = Ctx().instance;
    std::lock_guard lock(s.mutex);
    size_t index = ((reinterpret_cast<uintptr_t>(hwnd) & 0xFFFFFF) >> 1) - 1;
    if (!IsRemoteWindow(hwnd) || index >= s.remotes.size()) return FALSE;
    socket = s.remotes[index];
  }
  int fd = Connect(socket);
  if (fd < 0) return FALSE;  // the player is gone, or stopped taking requests
  bool sent = send(fd, &record, sizeof record, MSG_NOSIGNAL) == sizeof record;
  close(fd);
  return sent;
}

}  // namespace

bool IsRemoteWindow(HWND hwnd) {
  uintptr_t value = reinterpret_cast<uintptr_t>(hwnd);
  return (value & ~uintptr_t{0xFFFFFF}) == kRemoteWindowTag && (value & 0xFFFFFE) != 0;
}

HWND FindRemoteWindow(std::u16string_view className, std::u16string_view title) {
  std::optional<Place> place = PlaceFor(className, title);
  if (!place) return nullptr;
  Instance& s = Ctx().instance;
  {
    std::lock_guard lock(s.mutex);
    for (auto& r : s.reservations) {
      if (r->place.socket == place->socket) return nullptr;  // ours already
    }
  }
  Clock::time_point deadline = Clock::now() + kHolderWait;
  for (;;) {
    int fd = Connect(place->socket);
    if (fd >= 0 || errno == EAGAIN) {
      if (fd >= 0) close(fd);
      return RemoteHandle(s, place->socket);
    }
    Lock taken = TryLock(place->lock, &fd);
    if (taken == Lock::Taken) {
      Reserve(s, *place, fd);
      return nullptr;
    }
    if (taken == Lock::Failed) {
      Warn("cannot lock " + place->lock + ": " + std::strerror(errno) +
           "; other players will not be found");
      return nullptr;
    }
    if (Clock::now() >= deadline) {
      Warn("another player holds " + place->lock + " but does not answer; starting anyway");
      return nullptr;
    }
    std::this_thread::sleep_for(kHolderPoll);
  }
}

void PublishWindow(HWND hwnd, std::u16string_view className, std::u16string_view title) {
  std::string name = PlaceName(className, title);
  Instance& s = Ctx().instance;
  std::lock_guard lock(s.mutex);
  for (auto it = s.reservations.begin(); it != s.reservations.end(); ++it) {
    Reservation& r = **it;
    if (r.place.name != name || r.hwnd) continue;
    if (!StartServing(r, hwnd)) {
      Warn("cannot serve " + r.place.socket + ": " + std::strerror(errno));
      Release(r);
      s.reservations.erase(it);
    }
    return;
  }
}

void UnpublishWindow(HWND hwnd) {
  Instance& s = Ctx().instance;
  std::lock_guard lock(s.mutex);
  for (auto it = s.reservations.begin(); it != s.reservations.end(); ++it) {
    if ((*it)->hwnd != hwnd) continue;
    Release(**it);
    s.reservations.erase(it);
    return;
  }
}

BOOL RemoteShowWindow(HWND hwnd, int cmd) {
  return cmd == SW_SHOW ? Send(hwnd, kOpShow, static_cast<uint32_t>(cmd)) : FALSE;
}

BOOL RemoteSetForegroundWindow(HWND hwnd) {
  return Send(hwnd, kOpForeground, 0);
}

BOOL RemotePostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg != kCloseRequest || wParam != 0 || lParam != 0) return FALSE;
  return Send(hwnd, kOpPost, msg);
}

// Gives up every name this process holds and forgets the other players.
void EndInstance() {
  Instance& s = Ctx().instance;
  std::lock_guard lock(s.mutex);
  for (auto& r : s.reservations) Release(*r);
  s.reservations.clear();
  s.remotes.clear();
}

void ResetInstanceForTests() {
  EndInstance();
}

}  // namespace plat

const char* InstanceSocketPath() {
  static std::string path;
  std::optional<plat::Place> place = plat::PlaceFor(kMainWindowClass, kMainWindowTitle);
  if (!place) return nullptr;
  path = place->socket;
  return path.c_str();
}

void SetForegroundNoticeForTests(void (*notice)(HWND hwnd)) {
  plat::Ctx().instance.foregroundNotice.store(notice);
}
