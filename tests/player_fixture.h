// The whole player on the headless display, with its own settings, runtime and music folders.
#pragma once

#include <functional>

#include "app/player.h"
#include "platform/internal.h"
#include "platform/strings.h"
#include "tests/settings_fixture.h"

class PlayerTest : public TempConfig {
 protected:
  void SetUp() override {
    TempConfig::SetUp();
    std::string runtime = root_ + "/run";
    std::filesystem::create_directory(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    music_ = root_ + "/music";
    std::filesystem::create_directory(music_);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    setenv("VESK_MUSIC_DIR", music_.c_str(), 1);
    // The media controls stay off the desktop's session bus.
    setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + runtime + "/no-bus").c_str(), 1);
    plat::ResetMusicRootForTests();
    SelectDisplay(DisplayKind::Headless);
    ResetPlatformForTests();
  }
  void TearDown() override {
    SetHeadlessIdleHook(nullptr);
    ResetPlatformForTests();
    plat::ResetMusicRootForTests();
    for (const char* name : {"XDG_RUNTIME_DIR", "VESK_MUSIC_DIR", "DBUS_SESSION_BUS_ADDRESS"})
      unsetenv(name);
    TempConfig::TearDown();
  }

  // Starts the player from scratch again, as a new process would.
  static void Restart() {
    RegFlushKey(HKEY_CURRENT_USER);  // as the program does at its end
    ResetAppState();
    ResetPlatformForTests();
  }

  static HWND List() { return Pane(kMenuListId); }
  static int ToList(UINT message, WPARAM w = 0, LPARAM l = 0) {
    return static_cast<int>(SendMessageW(List(), message, w, l));
  }
  static int RowCount() { return ToList(LB_GETCOUNT); }
  static int Selected() { return ToList(LB_GETCURSEL); }
  static std::u16string Row(int index) { return ListRow(List(), index); }
  static std::vector<std::u16string> Rows() { return ListRows(List()); }
  static std::u16string SelectedRow() { return Row(Selected()); }

  std::string Path(const std::string& relative) const { return music_ + "/" + relative; }

  std::string music_;
};
