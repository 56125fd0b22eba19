// Waits on the game controllers' device files on a thread of its own, so that
// the user-interface thread need not look at them: SDL's own event wait polls
// attached controllers every millisecond, a thousand wake-ups a second for an
// idle handheld. Used by the desktop display only.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace plat {

class GamepadWatch {
 public:
  // `ready` runs on the watching thread whenever a watched device file has
  // input or a file appears in `devices` (a controller plugged in); it should
  // wake the user-interface thread, which then reads the controllers.
  GamepadWatch(const std::string& devices, std::function<void()> ready);
  ~GamepadWatch();
  // Watches a controller's device file until it goes away; null or a file
  // that cannot be opened is ignored.
  void Add(const char* path);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace plat
