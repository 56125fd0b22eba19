// On real files: a FIFO stands for a controller's event file, a temporary folder for /dev/input.
#include "platform/gamepad_watch.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "tests/headless.h"

namespace {

namespace fs = std::filesystem;

TEST(GamepadWatchTest, WakesOnInputAndOnNewDevicesAndForgetsUnpluggedOnes) {
  const fs::path folder = MakeTempFolder("vesk-pads");
  fs::create_directory(folder / "devices");
  std::mutex lock;
  std::condition_variable changed;
  int wakes = 0;
  auto watch = std::make_unique<plat::GamepadWatch>((folder / "devices").string(), [&] {
    std::lock_guard<std::mutex> hold(lock);
    ++wakes;
    changed.notify_all();
  });
  auto waitForWakes = [&](int count) {
    std::unique_lock<std::mutex> hold(lock);
    changed.wait_for(hold, std::chrono::seconds(10), [&] { return wakes >= count; });
    return wakes;
  };
  // A controller's device file, pressed once: a FIFO whose writer end the test holds.
  auto plugAndPress = [&](const char* name) {
    std::string path = (folder / name).string();
    EXPECT_EQ(mkfifo(path.c_str(), 0600), 0);
    watch->Add(path.c_str());
    int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK);
    EXPECT_EQ(write(fd, "press", 5), 5);
    return fd;
  };
  watch->Add(nullptr);
  watch->Add((folder / "missing").c_str());

  int first = plugAndPress("event0");
  EXPECT_EQ(waitForWakes(1), 1) << "a button press";
  close(first);
  EXPECT_EQ(waitForWakes(2), 2) << "the controller unplugged";

  std::ofstream(folder / "devices/event1") << "";
  EXPECT_EQ(waitForWakes(3), 3) << "a controller plugged in";

  int second = plugAndPress("event2");
  EXPECT_EQ(waitForWakes(4), 4) << "one wake for each: the unplugged file is no longer looked at";
  close(second);
  watch.reset();
  fs::remove_all(folder);
}

}  // namespace
