// Windows of other player processes. A player that finds no other reserves
// its window's name with a lock file and, once the window exists, listens on a
// socket beside it; a later start connects there and keeps the connection as
// the handle of the remote window.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/instance.h"
#include "platform/instance_protocol.h"
#include "platform/internal.h"

namespace plat {
namespace {

using Clock = std::chrono::steady_clock;

// How long a start waits for another that holds the name but is still
// starting (it has not created its window yet), and how often it looks.
constexpr auto kStartingWait = std::chrono::seconds(10);
constexpr auto kStartingPoll = std::chrono::milliseconds(10);
constexpr int kBacklog = 16;

struct Place {
  std::string name;  // "Main_Window-Vesk": the class and the title
  std::string socket;
  std::string lock;
};

// A name this process holds: the lock for its life, and the socket once the
// window exists.
struct Reservation {
  Place place;
  int lockFd = -1;
  HWND hwnd = nullptr;
  int listenFd = -1;
  struct stat socketFile {};
  std::unique_ptr<InstanceListener> listener;
};

struct Connection {
  int fd = -1;
  std::string socket;
};

struct Instance {
  std::mutex mutex;  // PostMessageW may reach a remote window from any thread
  std::vector<std::unique_ptr<Reservation>> reservations;
  std::vector<Connection> connections;  // handle index i + 1
  pid_t owner = getpid();
};

void ReleaseEverything(Instance& s);

// Never destroyed itself (a forked child must not join threads it does not
// have); what it holds is released at exit by the process that made it.
Instance* const state = new Instance;

// Built on first use, after main began, so that the release at exit runs
// before the message queue's own statics go away.
Instance& State() {
  static struct AtExit {
    ~AtExit() {
      if (getpid() == state->owner) ReleaseEverything(*state);
    }
  } atExit;
  return *state;
}

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

enum class Answer { Connected, Absent, Busy };

// Tries the socket once without waiting.
Answer Connect(const std::string& path, int* fd) {
  *fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (*fd < 0) return Answer::Absent;
  sockaddr_un address = AddressOf(path);
  if (connect(*fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
    return Answer::Connected;
  }
  int error = errno;
  close(*fd);
  *fd = -1;
  // A full backlog means a player is there but busy: ask again shortly.
  return error == EAGAIN ? Answer::Busy : Answer::Absent;
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

// Closes the window's socket and gives its name up.
void Release(Reservation& r) {
  r.listener.reset();
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

void ReleaseEverything(Instance& s) {
  std::lock_guard lock(s.mutex);
  for (auto& r : s.reservations) Release(*r);
  s.reservations.clear();
  for (Connection& c : s.connections) {
    if (c.fd >= 0) close(c.fd);
  }
  s.connections.clear();
}

bool Listen(Reservation& r, HWND hwnd) {
  const char* path = r.place.socket.c_str();
  // Holding the lock, any socket file here is left by a player that died.
  if (unlink(path) != 0 && errno != ENOENT) return false;
  r.listenFd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (r.listenFd < 0) return false;
  sockaddr_un address = AddressOf(r.place.socket);
  if (bind(r.listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return false;
  if (chmod(path, 0600) != 0 || stat(path, &r.socketFile) != 0 ||
      listen(r.listenFd, kBacklog) != 0) {
    return false;
  }
  r.listener = std::make_unique<InstanceListener>(r.listenFd, hwnd);
  if (!r.listener->Start()) return false;
  r.hwnd = hwnd;
  return true;
}

HWND HandleOf(size_t index) {
  // The index leaves the lowest bit free: callers set it when bringing a
  // window forward.
  return reinterpret_cast<HWND>(kRemoteWindowTag | ((index + 1) << 1));
}

Connection* ConnectionOf(Instance& s, HWND hwnd) {
  if (!IsRemoteWindow(hwnd)) return nullptr;
  size_t index = ((reinterpret_cast<uintptr_t>(hwnd) & 0xFFFFFF) >> 1) - 1;
  if (index >= s.connections.size() || s.connections[index].fd < 0) return nullptr;
  return &s.connections[index];
}

BOOL Send(HWND hwnd, InstanceOp operation, uint32_t argument) {
  InstanceRecord record{};
  std::memcpy(record.magic, kInstanceMagic, sizeof record.magic);
  record.version = kInstanceVersion;
  record.operation = operation;
  record.argument = argument;
  Instance& s = State();
  std::lock_guard lock(s.mutex);
  Connection* c = ConnectionOf(s, hwnd);
  if (!c) return FALSE;
  ssize_t sent = send(c->fd, &record, sizeof record, MSG_NOSIGNAL | MSG_DONTWAIT);
  if (sent == static_cast<ssize_t>(sizeof record)) return TRUE;
  // The player is gone, or stopped reading: the handle is dead from now on.
  close(c->fd);
  c->fd = -1;
  return FALSE;
}

}  // namespace

bool IsRemoteWindow(HWND hwnd) {
  uintptr_t value = reinterpret_cast<uintptr_t>(hwnd);
  return (value & ~uintptr_t{0xFFFFFF}) == kRemoteWindowTag && (value & 0xFFFFFE) != 0;
}

HWND FindRemoteWindow(std::u16string_view className, std::u16string_view title) {
  std::optional<Place> place = PlaceFor(className, title);
  if (!place) return nullptr;
  Instance& s = State();
  {
    std::lock_guard lock(s.mutex);
    for (auto& r : s.reservations) {
      if (r->place.socket == place->socket) return nullptr;  // ours already
    }
  }
  Clock::time_point deadline = Clock::now() + kStartingWait;
  for (;;) {
    int fd;
    Answer answer = Connect(place->socket, &fd);
    if (answer == Answer::Connected) {
      std::lock_guard lock(s.mutex);
      // One connection per name: a newer one replaces the old.
      for (Connection& c : s.connections) {
        if (c.fd >= 0 && c.socket == place->socket) {
          close(c.fd);
          c.fd = -1;
        }
      }
      if (s.connections.size() >= 0x7FFFFE) {
        close(fd);
        return nullptr;
      }
      s.connections.push_back(Connection{fd, place->socket});
      return HandleOf(s.connections.size() - 1);
    }
    if (answer == Answer::Absent) {
      Lock taken = TryLock(place->lock, &fd);
      if (taken == Lock::Taken) {
        auto r = std::make_unique<Reservation>();
        r->place = *place;
        r->lockFd = fd;
        std::lock_guard lock(s.mutex);
        s.reservations.push_back(std::move(r));
        return nullptr;
      }
      if (taken == Lock::Failed) {
        Warn("cannot lock " + place->lock + ": " + std::strerror(errno) +
             "; other players will not be found");
        return nullptr;
      }
    }
    // Another player holds the name and is still starting.
    if (Clock::now() >= deadline) {
      Warn("another player holds " + place->lock + " but does not answer; starting anyway");
      return nullptr;
    }
    std::this_thread::sleep_for(kStartingPoll);
  }
}

void PublishWindow(HWND hwnd, std::u16string_view className, std::u16string_view title) {
  std::string name = PlaceName(className, title);
  Instance& s = State();
  std::lock_guard lock(s.mutex);
  for (auto it = s.reservations.begin(); it != s.reservations.end(); ++it) {
    Reservation& r = **it;
    if (r.place.name != name || r.hwnd) continue;
    if (!Listen(r, hwnd)) {
      // Others then start on their own rather than wait for us in vain.
      Warn("cannot listen on " + r.place.socket + ": " + std::strerror(errno));
      Release(r);
      s.reservations.erase(it);
    }
    return;
  }
}

void UnpublishWindow(HWND hwnd) {
  Instance& s = State();
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

void ResetInstanceForTests() {
  ReleaseEverything(State());
}

}  // namespace plat

const char* InstanceSocketPath() {
  static std::string path;
  std::optional<plat::Place> place = plat::PlaceFor(kMainWindowClass, kMainWindowTitle);
  if (!place) return nullptr;
  path = place->socket;
  return path.c_str();
}
