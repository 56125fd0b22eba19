#include "platform/gamepad_watch.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <mutex>
#include <thread>
#include <vector>

namespace plat {

namespace {

constexpr char kAdded = 'a';
constexpr char kStop = 's';

// Reads what is waiting, so that the file is quiet again until new input.
void Drain(int fd) {
  char buffer[512];
  while (read(fd, buffer, sizeof buffer) > 0) continue;
}

// A command for the thread. The pipe cannot fill: the thread empties it each
// time it wakes.
void Tell(int fd, char command) {
  ssize_t written = write(fd, &command, 1);
  (void)written;
}

}  // namespace

struct GamepadWatch::State {
  std::function<void()> ready;
  int control[2] = {-1, -1};  // Add and the destructor speak to the thread
  int devices = -1;           // inotify on the device folder
  std::mutex lock;
  std::vector<int> added;       // opened by Add, not yet watched
  std::vector<pollfd> watched;  // the thread's own: the two above, then the controllers
  std::thread thread;

  void Run() {
    constexpr size_t kFirstPad = 2;
    for (;;) {
      if (poll(watched.data(), watched.size(), -1) < 0) continue;  // a signal
      bool input = false;
      if (watched[0].revents & POLLIN) {
        char command = 0;
        while (read(control[0], &command, 1) == 1) {
          if (command == kStop) return;
        }
        std::lock_guard<std::mutex> hold(lock);
        for (int fd : added) watched.push_back({fd, POLLIN, 0});
        added.clear();
      }
      if (watched[1].revents & POLLIN) {
        Drain(devices);
        input = true;
      }
      for (size_t i = kFirstPad; i < watched.size();) {
        short got = watched[i].revents;
        if (got & (POLLERR | POLLHUP | POLLNVAL)) {  // unplugged
          close(watched[i].fd);
          watched.erase(watched.begin() + static_cast<std::ptrdiff_t>(i));
          input = true;
          continue;
        }
        if (got & POLLIN) {
          Drain(watched[i].fd);
          input = true;
        }
        ++i;
      }
      if (input) ready();
    }
  }
};

GamepadWatch::GamepadWatch(const std::string& devices, std::function<void()> ready)
    : state_(std::make_unique<State>()) {
  state_->ready = std::move(ready);
  if (pipe2(state_->control, O_NONBLOCK | O_CLOEXEC) != 0) return;
  state_->devices = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (state_->devices >= 0) inotify_add_watch(state_->devices, devices.c_str(), IN_CREATE);
  state_->watched = {{state_->control[0], POLLIN, 0}, {state_->devices, POLLIN, 0}};
  state_->thread = std::thread([state = state_.get()] { state->Run(); });
}

GamepadWatch::~GamepadWatch() {
  if (state_->thread.joinable()) {
    Tell(state_->control[1], kStop);
    state_->thread.join();
  }
  for (const pollfd& p : state_->watched)
    if (p.fd >= 0) close(p.fd);
  for (int fd : state_->added) close(fd);
  if (state_->control[1] >= 0) close(state_->control[1]);
}

void GamepadWatch::Add(const char* path) {
  if (!path || !state_->thread.joinable()) return;
  int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return;
  {
    std::lock_guard<std::mutex> hold(state_->lock);
    state_->added.push_back(fd);
  }
  Tell(state_->control[1], kAdded);
}

}  // namespace plat
