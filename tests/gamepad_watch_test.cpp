// The watcher of game controllers' device files, on real files: a FIFO stands
// for a controller's event file, a temporary folder for /dev/input.
#include "platform/gamepad_watch.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>

namespace {

namespace fs = std::filesystem;

constexpr auto kPatience = std::chrono::seconds(10);  // only reached when something is broken

class GamepadWatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("vesk-pads-" + std::to_string(getpid()));
    fs::remove_all(folder_);
    fs::create_directories(folder_ / "devices");
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

  // A controller's device file: a FIFO whose writer end the test holds.
  int Plug(const std::string& name) {
    std::string path = (folder_ / name).string();
    EXPECT_EQ(mkfifo(path.c_str(), 0600), 0);
    watch_->Add(path.c_str());
    return open(path.c_str(), O_WRONLY | O_NONBLOCK);
  }

  // Waits until the watcher has woken at least `count` times; how often it did.
  int WaitForWakes(int count) {
    std::unique_lock<std::mutex> hold(lock_);
    changed_.wait_for(hold, kPatience, [&] { return wakes_ >= count; });
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

  int first = Plug("event0");
  ASSERT_GE(first, 0);
  ASSERT_EQ(write(first, "press", 5), 5);
  EXPECT_EQ(WaitForWakes(1), 1) << "a button press";

  close(first);
  EXPECT_EQ(WaitForWakes(2), 2) << "the controller unplugged";

  std::ofstream(folder_ / "devices/event1") << "";
  EXPECT_EQ(WaitForWakes(3), 3) << "a controller plugged in";

  int second = Plug("event2");
  ASSERT_GE(second, 0);
  ASSERT_EQ(write(second, "press", 5), 5);
  EXPECT_EQ(WaitForWakes(4), 4)
      << "exactly one wake for each: the unplugged file is no longer looked at";
  close(second);
}

}  // namespace
