// The whole player with a music folder of the test's own making.
#pragma once

#include "menus/browser.h"
#include "playback/sound_engine.h"
#include "tests/player_fixture.h"
#include "tests/sound_fixture.h"

class MusicTest : public PlayerTest {
 protected:
  static constexpr WCHAR kBox[] = u"\\Box\\";  // the folder most tests fill

  // Each step at an idle moment; the stream the quit leaves open is closed for later tests.
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

  void Folder(const std::string& relative) const {
    std::filesystem::create_directories(Path(relative));
  }
  void EmptyFile(const std::string& relative) const { WriteText(Path(relative), ""); }
  void Song(const std::string& relative) const {
    WriteText(Path(relative), ReadBytes(VESK_BINARY_DIR "/demo/Vesk Demo/Morning/01 Sunrise.mp3"));
  }

  static std::vector<std::u16string> Place() {  // title, folder browsed, selected row
    return {app.headerTitle, app.browsePath, SelectedRow()};
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
};
