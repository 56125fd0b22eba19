// The whole player on the headless display with a music folder of the test's
// own making: real MP3 files, or empty files where only listing matters.
#pragma once

#include "menus/browser.h"
#include "playback/sound_engine.h"
#include "tests/player_fixture.h"
#include "tests/sound_fixture.h"

class MusicTest : public PlayerTest {
 protected:
  static constexpr WCHAR kBox[] = u"\\Box\\";  // the folder most tests fill

  void TearDown() override {
    PlayerTest::TearDown();
    if (!bulk_.empty()) std::filesystem::remove_all(bulk_);
  }

  // Each step at an idle moment, after what the last left for the message loop
  // (an end notice); the stream the quit leaves open is closed for later tests.
  static void RunSteps(std::vector<std::function<void()>> steps) {
    size_t next = 0;
    SetHeadlessIdleHook([&] {
      if (next < steps.size()) steps[next++]();
      if (next == steps.size()) {
        ++next;
        InjectDesktopClose();
      }
    });
    RunPlayer(GetModuleHandleW(nullptr));
    CloseStream();
  }
  static void Run(const std::function<void()>& action) { RunSteps({action}); }

  // Made with their folders (names that are not UTF-8 too).
  void Folder(const std::string& relative) const {
    std::filesystem::create_directories(Path(relative));
  }
  void EmptyFile(const std::string& relative) const { WriteText(Path(relative), ""); }
  // A folder of count empty files named 00000.mp3 and on, made in memory
  // (tmpfs) where there is one, as a disk makes many files slowly.
  void ManyFiles(const std::string& relative, int count) {
    bulk_ = (std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : root_) + "/vesk-bulk-XXXXXX";
    ASSERT_NE(mkdtemp(bulk_.data()), nullptr);
    char name[16];
    for (int i = 0; i < count; ++i) {
      std::snprintf(name, sizeof name, "/%05d.mp3", i);
      WriteText(bulk_ + name, "");
    }
    std::filesystem::create_directory_symlink(bulk_, Path(relative));
  }
  // A real MP3: one of the demo pieces built beside the program.
  void Song(const std::string& relative) const {
    WriteText(Path(relative), ReadBytes(VESK_BINARY_DIR "/demo/Vesk Demo/Morning/01 Sunrise.mp3"));
  }

  static int32_t RowOf(const std::u16string& text) {
    for (int32_t i = 0; i < RowCount(); ++i)
      if (Row(i) == text) return i;
    return -1;
  }
  // Browses the folder as the Browse row does, with row 0 selected.
  static void Browse(const WCHAR* folder) {
    StringCchCopyW(app.browsePath, kPathChars, folder);
    ListFolder(List(), app.browsePath);
    SendMessageW(List(), LB_SETCURSEL, 0, 0);
  }

  std::string bulk_;
};
