// The player started headless without its message loop: tests hand it messages as the loop would.
#pragma once

#include <cmath>

#include "menus/menu_list.h"
#include "menus/menu_screens.h"
#include "playback/sound_engine.h"
#include "tests/player_fixture.h"
#include "tests/sound_fixture.h"

class MainWindowTest : public PlayerTest {
 protected:
  void SetUp() override {
    PlayerTest::SetUp();
    Start();
  }
  void TearDown() override {
    CloseStream();
    PlayerTest::TearDown();
  }

  static void Start() {
    Restart();
    plat::UseAudioSinkForTests(plat::AudioFormat{48000, 2});
    int exitCode;
    ASSERT_TRUE(StartPlayer(GetModuleHandleW(nullptr), &exitCode));
    PumpMessages();
    app.clicker = 1;
    Heard();
  }

  static POINT Middle(const RECT& r) {
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  }
  // A point on the wheel's ring, degrees clockwise from three o'clock.
  static POINT Ring(double degrees) {
    POINT c = Middle(app.wheelRect);
    double a = degrees * M_PI / 180;
    return POINT{c.x + static_cast<LONG>(std::lround(40 * std::cos(a))),
                 c.y + static_cast<LONG>(std::lround(40 * std::sin(a)))};
  }

  static void Pen(UINT message, POINT p) {
    InjectStylus(message, p.x, p.y);
    PumpMessages();
  }
  static void Down(POINT p) { Pen(WM_LBUTTONDOWN, p); }
  static void Move(POINT p) { Pen(WM_MOUSEMOVE, p); }
  static void Up(POINT p) { Pen(WM_LBUTTONUP, p); }
  static void Tap(const RECT& button) {
    Down(Middle(button));
    Up(Middle(button));
  }
  // perMove degrees (12: a menu step) a move; the pen goes down on the ring unless put elsewhere.
  static void Circle(double from, double degrees, double perMove = 12,
                     std::optional<POINT> down = std::nullopt) {
    Down(down.value_or(Ring(from)));
    double step = degrees < 0 ? -perMove : perMove;
    for (double a = step; std::abs(a) <= std::abs(degrees); a += step) Move(Ring(from + a));
    Up(Ring(from + degrees));
  }
  static void Wheel(int notches) {
    InjectWheel(notches);
    PumpMessages();
  }
  static void Key(UINT key) {
    InjectKey(key);
    PumpMessages();
  }
  static void Tick() { PumpAfter(1000); }

  // The list filled with rows, as a menu or listing of that kind, row 0 selected.
  static void FillList(int rows, MenuKind kind) {
    BeginRefill(List());
    for (int i = 0; i < rows; ++i) AddMenuRow(List(), u"Row", RowKind::Plain, false);
    app.menuKind = kind;
    ToList(LB_SETCURSEL, 0);
    EndRefill(List());
    PumpMessages();
  }

  // Whether a sound was mixed since the last call.
  static bool Heard() {
    std::vector<float> out(4096 * 2);  // stereo
    plat::PullAudioSinkForTests(out.data(), 4096);
    return std::any_of(out.begin(), out.end(), [](float s) { return s != 0; });
  }

  // A folder of real MP3 files copied into the music folder, tracks opening from it.
  void UseFolder(const char* source) {
    std::string name = std::filesystem::path(source).filename();
    if (!std::filesystem::exists(Path(name)))
      std::filesystem::copy(std::string(VESK_SOURCE_DIR "/") + source, Path(name));
    StringCchCopyW(app.playlistFolder, kPathChars, (u"\\" + plat::FromUtf8(name) + u"\\").c_str());
  }
  static constexpr const char* kTones = "tests/data";                          // a second each
  static constexpr const char* kEvening = "resources/demo/Vesk Demo/Evening";  // 19 s each

  // Now Playing as the Main menu's row opens it, a track paused.
  void OpenNowPlaying() {
    UseFolder(kEvening);
    ASSERT_TRUE(OpenTrack(0, 1));
    ShowMainMenu(List(), u"Now Playing");
    PumpMessages();
    Tap(app.centerRect);
  }
};
