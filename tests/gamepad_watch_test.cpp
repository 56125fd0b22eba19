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

class GamepadWatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = MakeTempFolder("vesk-pads");
    fs::create_directory(folder_ / "devices");
    watch_ = std::make_unique<plat::GamepadWatch>((folder_ / "devices").string(), [this] {
      std::lock_guard<std::mutex> hold(lock_);
      ++wakes_;
      changed_.notify_all();
    });
  }
  void TearDown() override {
    watch_.reset();
    fs::remove_all(folder_);
  }

  // A controller's device file, pressed once: a FIFO whose writer end the test holds.
  int PlugAndPress(const std::string& name) {
    std::string path = (folder_ / name).string();
    EXPECT_EQ(mkfifo(path.c_str(), 0600), 0);
    watch_->Add(path.c_str());
    int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK);
    EXPECT_EQ(write(fd, "press", 5), 5);
    return fd;
  }

  int WaitForWakes(int count) {
    std::unique_lock<std::mutex> hold(lock_);
    changed_.wait_for(hold, std::chrono::seconds(10), [&] { return wakes_ >= count; });
    return wakes_;
  }

  fs::path folder_;
  std::mutex lock_;
  std::condition_variable changed_;
  int wakes_ = 0;
  std::unique_ptr<plat::GamepadWatch> watch_;
};

TEST_F(GamepadWatchTest, WakesOnInputAndOnNewDevicesAndForgetsUnpluggedOnes) {
  watch_->Add(nullptr);
  watch_->Add((folder_ / "missing").c_str());

  int first = PlugAndPress("event0");
  EXPECT_EQ(WaitForWakes(1), 1) << "a button press";
  close(first);
  EXPECT_EQ(WaitForWakes(2), 2) << "the controller unplugged";

  std::ofstream(folder_ / "devices/event1") << "";
  EXPECT_EQ(WaitForWakes(3), 3) << "a controller plugged in";

  int second = PlugAndPress("event2");
  EXPECT_EQ(WaitForWakes(4), 4) << "one wake for each: the unplugged file is no longer looked at";
  close(second);
}

}  // namespace
