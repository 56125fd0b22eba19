// The listening side of the instance socket: other programs of the same user
// ask the running player to show itself, come to the front or close. Anything
// that is not exactly one of those requests costs the sender its connection.
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "platform/instance.h"
#include "platform/instance_protocol.h"
#include "platform/internal.h"
#include "platform/test_hooks.h"

namespace plat {
namespace {

using Clock = std::chrono::steady_clock;

// A real client writes a whole record at once and asks for little: a record
// left unfinished this long, or this many in a second, is not one of ours.
constexpr auto kStallLimit = std::chrono::milliseconds(500);
constexpr int kMaxRecordsPerSecond = 16;
constexpr size_t kMaxClients = 32;
constexpr int kReadsPerWakeup = 8;  // so one busy client cannot starve the others

std::atomic<void (*)(HWND)> foregroundNotice{nullptr};

struct Client {
  int fd = -1;
  unsigned char pending[sizeof(InstanceRecord)];
  size_t have = 0;
  Clock::time_point started;      // of the unfinished record
  Clock::time_point windowStart;  // of the current second of the rate limit
  int recordsInWindow = 0;
};

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

// Hands a valid request to the user-interface thread; false for anything else.
bool Serve(const InstanceRecord& r, HWND hwnd, const std::shared_ptr<Pending>& pending) {
  if (std::memcmp(r.magic, kInstanceMagic, sizeof r.magic) != 0 || r.version != kInstanceVersion ||
      r.reserved != 0 || r.wParam != 0 || r.lParam != 0) {
    return false;
  }
  switch (r.operation) {
    case kOpShow:
      if (r.argument != static_cast<uint32_t>(SW_SHOW)) return false;
      RunOnce(pending, &Pending::show, [hwnd] { ShowWindow(hwnd, SW_SHOW); });
      return true;
    case kOpForeground:
      if (r.argument != 0) return false;
      RunOnce(pending, &Pending::foreground, [hwnd] {
        auto notice = foregroundNotice.load();
        if (SetForegroundWindow(hwnd) && notice) notice(hwnd);
      });
      return true;
    case kOpPost:
      if (r.argument != kCloseRequest) return false;
      RunOnce(pending, &Pending::close, [hwnd] { PostMessageW(hwnd, kCloseRequest, 0, 0); });
      return true;
    default:
      return false;
  }
}

// Reads what the client has sent and serves each whole record; false when the
// connection is to be dropped.
bool ReadFrom(Client& c, HWND hwnd, const std::shared_ptr<Pending>& pending,
              Clock::time_point now) {
  for (int i = 0; i < kReadsPerWakeup; ++i) {
    ssize_t n = recv(c.fd, c.pending + c.have, sizeof c.pending - c.have, 0);
    if (n == 0) return false;
    if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    if (c.have == 0) c.started = now;
    c.have += static_cast<size_t>(n);
    if (c.have < sizeof c.pending) continue;
    c.have = 0;
    if (now - c.windowStart >= std::chrono::seconds(1)) {
      c.windowStart = now;
      c.recordsInWindow = 0;
    }
    if (++c.recordsInWindow > kMaxRecordsPerSecond) return false;
    InstanceRecord record;
    std::memcpy(&record, c.pending, sizeof record);
    if (!Serve(record, hwnd, pending)) return false;
  }
  return true;
}

}  // namespace

bool InstanceListener::Start() {
  stopFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (stopFd_ < 0) return false;
  try {
    thread_ = std::thread(&InstanceListener::Run, this);
  } catch (...) {
    close(stopFd_);
    stopFd_ = -1;
    return false;
  }
  return true;
}

InstanceListener::~InstanceListener() {
  if (thread_.joinable()) {
    uint64_t one = 1;
    // An eventfd write of 8 bytes only fails if the counter would overflow.
    [[maybe_unused]] ssize_t written = write(stopFd_, &one, sizeof one);
    thread_.join();
  }
  if (stopFd_ >= 0) close(stopFd_);
}

void InstanceListener::Run() {
  auto pending = std::make_shared<Pending>();
  std::vector<Client> clients;
  std::vector<pollfd> fds;
  for (;;) {
    fds.assign({pollfd{stopFd_, POLLIN, 0}, pollfd{listenFd_, POLLIN, 0}});
    bool unfinished = false;
    for (const Client& c : clients) {
      fds.push_back(pollfd{c.fd, POLLIN, 0});
      unfinished = unfinished || c.have > 0;
    }
    // Only an unfinished record needs a clock: it may stall.
    int ready = poll(fds.data(), fds.size(), unfinished ? 50 : -1);
    if (ready < 0 && errno != EINTR) break;
    if (ready < 0) continue;
    if (fds[0].revents) break;

    Clock::time_point now = Clock::now();
    for (size_t i = 0; i < clients.size(); ++i) {
      Client& c = clients[i];
      bool keep = fds[i + 2].revents == 0 || ReadFrom(c, hwnd_, pending, now);
      if (keep && c.have > 0 && now - c.started > kStallLimit) keep = false;
      if (!keep) {
        close(c.fd);
        c.fd = -1;
      }
    }
    std::erase_if(clients, [](const Client& c) { return c.fd < 0; });

    if (fds[1].revents & POLLIN) {
      int fd = accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
      if (fd < 0 && (errno == EMFILE || errno == ENFILE)) {
        usleep(50'000);  // out of descriptors: let the backlog wait rather than spin
      } else if (fd >= 0 && !PeerIsThisUser(fd)) {
        close(fd);
      } else if (fd >= 0) {
        // Room for the newcomer at the cost of the longest-connected client.
        if (clients.size() >= kMaxClients) {
          close(clients.front().fd);
          clients.erase(clients.begin());
        }
        Client c;
        c.fd = fd;
        c.windowStart = now;
        clients.push_back(c);
      }
    }
  }
  for (const Client& c : clients) close(c.fd);
}

}  // namespace plat

void SetForegroundNoticeForTests(void (*notice)(HWND hwnd)) {
  plat::foregroundNotice.store(notice);
}
