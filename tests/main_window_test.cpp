// The main window driven by stylus, scroll-wheel, key and timer messages: the
// wheel in each view mode, the buttons, the press-and-hold actions, the tick.
#include "input/main_window.h"
#include "display/skin.h"
#include "platform/device.h"
#include "platform/internal.h"
#include "tests/main_window_fixture.h"

namespace {

class MainWindow : public MainWindowTest {};

TEST_F(MainWindow, OnlyADragStartedOnTheRingStepsTheMenuAndClicksStoppingAtTheEnds) {
  struct Case {
    const char* what;
    double degrees;
    int selected;
    bool click;
    std::optional<POINT> down = std::nullopt;  // off the ring: the drag turns nothing
    int clicker = 1;
  } cases[] = {
      {"two steps clockwise: down the list", 24, 2, true},
      {"one step back", -12, 1, true},
      {"to Sleep, the last row; further steps do nothing", 120, 4, true},
      {"back to Browse", -120, 0, true},
      {"already at the top", -12, 0, false},
      {"from the centre button: its own click", 72, 0, true, Middle(app.centerRect)},
      {"from the frame outside the wheel", 72, 0, false, POINT{5, 200}},
      {"from the status bar", 72, 0, false, POINT{100, 15}},
      {"Clicker Off", 12, 1, false, std::nullopt, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    app.clicker = c.clicker;
    Heard();
    Circle(90, c.degrees, c.down);
    EXPECT_EQ(Selected(), c.selected);
    EXPECT_EQ(Heard(), c.click);
  }
}

TEST_F(MainWindow, AStepClicksAndDrawsTheNewHighlightAtOnce) {
  const POINT row1{42, 28 + 18 + 9};
  COLORREF before = ScreenPixel(row1.x, row1.y);
  Down(Ring(90));
  EXPECT_FALSE(Heard()) << "a press on the ring itself makes no click";
  // Handled directly, without the loop's paint afterwards.
  SendMessageW(app.mainWindow, WM_MOUSEMOVE, 1, MAKELPARAM(Ring(102).x, Ring(102).y));
  EXPECT_NE(ScreenPixel(row1.x, row1.y), before);
  EXPECT_TRUE(Heard());
}

TEST_F(MainWindow, InputMadeDuringThePauseAfterAStepIsDropped) {
  Down(Ring(90));
  POINT step = Ring(102);
  // The pen-up over the centre arrives while the step's pause runs.
  DWORD now = GetTickCount();
  InjectStylus(WM_MOUSEMOVE, step.x, step.y);
  InjectStylusAt(now + 50, WM_LBUTTONUP, Middle(app.centerRect).x, Middle(app.centerRect).y);
  PumpMessages();
  EXPECT_EQ(SelectedRow(), u"Settings\t>");
  EXPECT_EQ(app.menuKind, MenuKind::Main) << "the centre button did not act";
  EXPECT_EQ(app.penDownPoint.x, step.x);
  EXPECT_EQ(app.penDownPoint.y, step.y);

  // Two notches of the scroll wheel at once: the second falls in the pause.
  InjectWheel(-1);
  InjectWheel(-1);
  PumpMessages();
  EXPECT_EQ(Selected(), 2);
}

TEST_F(MainWindow, TheScrollWheelTurnsTheWheelInEveryMode) {
  Wheel(-1);  // towards the user: clockwise, down the list
  EXPECT_EQ(Selected(), 1);
  Wheel(1);
  EXPECT_EQ(Selected(), 0);

  OpenNowPlaying();
  app.volume = 50;
  Wheel(-1);
  EXPECT_EQ(app.viewMode, ViewMode::VolumeAdjust);
  EXPECT_EQ(app.volume, 50) << "the first notch only switches, like a drag";
  struct Case {
    int notches;
    int volume;
    bool click;  // only on a multiple of ten
  } cases[] = {{-1, 51, false}, {-2, 53, false}, {3, 50, true}, {1, 49, false}, {-1, 50, true}};
  for (const Case& c : cases) {
    Heard();
    Wheel(c.notches);
    EXPECT_EQ(app.volume, c.volume);
    EXPECT_EQ(Heard(), c.click) << c.volume;
  }
}

TEST_F(MainWindow, TheVolumeStopsAtItsLimitsWithoutAClick) {
  OpenNowPlaying();
  struct Case {
    int from;
    double degrees;  // a drag on the ring; 0 for the up key
    int to;
    bool click;
  } cases[] = {
      {99, 6, 100, true},
      {100, 6, 100, false},
      {1, -6, 0, true},
      {97, 0, 100, false},
  };
  for (const Case& c : cases) {
    app.volume = c.from;
    Down(Ring(0));
    Move(Ring(2));  // NowPlaying becomes VolumeAdjust, no step yet
    ASSERT_EQ(app.viewMode, ViewMode::VolumeAdjust);
    Heard();
    if (c.degrees != 0) Move(Ring(c.degrees));
    Up(Ring(c.degrees));
    for (int i = 0; c.degrees == 0 && i < 2; ++i) Key(VK_UP);
    EXPECT_EQ(app.volume, c.to) << c.from;
    EXPECT_EQ(Heard(), c.click) << c.from;
    Tick();
    Tick();
    ASSERT_EQ(app.viewMode, ViewMode::NowPlaying);
  }
}

TEST_F(MainWindow, VolumeAndSeekReturnToNowPlayingAfterTheirIdleTicks) {
  OpenNowPlaying();
  struct Case {
    UINT enter;  // the key that leaves NowPlaying
    ViewMode mode;
    int idleTicks;
  } cases[] = {{VK_DOWN, ViewMode::VolumeAdjust, 2}, {VK_RETURN, ViewMode::Seek, 3}};
  for (const Case& c : cases) {
    Key(c.enter);
    ASSERT_EQ(app.viewMode, c.mode);
    for (int i = 1; i < c.idleTicks; ++i) Tick();
    InjectStylus(WM_LBUTTONDOWN, 5, 5);  // any movement restarts the count
    InjectStylus(WM_MOUSEMOVE, 6, 6);
    PumpMessages();
    for (int i = 1; i < c.idleTicks; ++i) Tick();
    EXPECT_EQ(app.viewMode, c.mode);
    Tick();
    EXPECT_EQ(app.viewMode, ViewMode::NowPlaying);
    Up(POINT{6, 6});
  }
}

TEST_F(MainWindow, ASeekDragIsAppliedByTheTickAndNotAgainByThePenUp) {
  OpenNowPlaying();
  app.trackLengthSec = 100;
  Tap(app.centerRect);
  ASSERT_EQ(app.viewMode, ViewMode::Seek);
  Down(Ring(0));
  Move(Ring(4));
  Move(Ring(8));
  EXPECT_EQ(app.positionSec, 8) << "two steps of 4 s from the stream's 0";
  EXPECT_EQ(app.seekPending, 1);
  Tick();
  EXPECT_EQ(app.seekPending, 0);
  EXPECT_EQ(app.pausedAtMs, 8000);
  app.positionSec = 50;
  Up(Ring(8));
  EXPECT_EQ(app.pausedAtMs, 8000);
  EXPECT_EQ(app.viewMode, ViewMode::Seek);

  // The next drag starts from the stream again and is applied by the pen up.
  Down(Ring(0));
  Move(Ring(-4));
  EXPECT_EQ(app.positionSec, 0) << "clamped at the start";
  Up(Middle(app.centerRect));
  EXPECT_EQ(app.pausedAtMs, 0);
  EXPECT_EQ(app.viewMode, ViewMode::NowPlaying) << "the centre button after the seek";
}

// Holding forward or back scans one step per 200 ms from the first tick; the
// pen-up ends the scan and is taken by it.
TEST_F(MainWindow, HoldingForwardOrBackScansWithGrowingStepsUntilThePenIsLifted) {
  struct Case {
    bool forward;
    int steps;
    int lengthSec;
    int positionSec;  // the stream stays at 0 without a track: one step from 0
  } cases[] = {
      {true, 1, 600, 5},  {true, 4, 600, 5},  {true, 5, 600, 15}, {true, 8, 600, 15},
      {true, 9, 600, 30}, {true, 12, 20, 20}, {false, 3, 600, 0},
  };
  for (const Case& c : cases) {
    app.trackLengthSec = c.lengthSec;
    app.positionSec = -1;
    const RECT& button = c.forward ? app.forwardRect : app.backRect;
    POINT press = Middle(button);
    Down(press);
    DWORD scanStart = GetTickCount() + 1000;
    POINT lift{press.x + 1, press.y};
    InjectStylusAt(scanStart + 200 * (c.steps - 1) + 100, WM_LBUTTONUP, lift.x, lift.y);
    Tick();
    EXPECT_EQ(GetTickCount() - scanStart, static_cast<DWORD>(200 * c.steps)) << c.steps;
    EXPECT_EQ(app.positionSec, c.positionSec) << c.steps;
    EXPECT_EQ(app.pausedAtMs, c.positionSec * 1000);
    EXPECT_EQ(app.penDownPoint.x, press.x) << "the scan took its pen-up";
    EXPECT_EQ(app.holdCountdown, 0);
  }
}

TEST_F(MainWindow, AQuitPostedDuringAScanEndsItAndStillEndsTheLoop) {
  Down(Middle(app.forwardRect));
  plat::RunOnUiThread([] { PostQuitMessage(3); });  // taken in by the scan's look for the pen-up
  SendMessageW(app.mainWindow, WM_TIMER, kTimerId, 0);
  MSG msg{};
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_QUIT);
  EXPECT_EQ(msg.wParam, 3u);
}

// The pen up comes to the main window wherever it is lifted, so a press on
// a button lifted over the simulated screen ends its hold as a tap does.
TEST_F(MainWindow, AButtonLiftedBeforeItsHoldNeitherScansNorQuits) {
  const POINT overScreen{100, 80};  // over MenuList
  struct Case {
    const char* what;
    const RECT& button;
    POINT lift;
    int ticksHeld;
  } cases[] = {
      {"back tapped", app.backRect, Middle(app.backRect), 0},
      {"forward tapped", app.forwardRect, Middle(app.forwardRect), 0},
      {"forward lifted over the screen", app.forwardRect, overScreen, 0},
      {"play-pause lifted over the screen", app.playPauseRect, overScreen, 0},
      {"play-pause lifted after one tick", app.playPauseRect, Middle(app.playPauseRect), 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    app.positionSec = 7;
    Down(Middle(c.button));
    for (int i = 0; i < c.ticksHeld; ++i) Tick();
    Up(c.lift);
    EXPECT_EQ(app.holdCountdown, 0);
    Tick();
    Tick();
    EXPECT_EQ(app.positionSec, 7) << "no scan";
    ASSERT_TRUE(IsWindow(app.mainWindow)) << "no quit";
    EXPECT_FALSE(Saved("Volume"));
  }
}

TEST_F(MainWindow, HoldingPlayPauseForTwoTicksQuitsAndSaves) {
  app.volume = 37;
  Down(Middle(app.playPauseRect));
  Tick();
  Tick();
  EXPECT_FALSE(IsWindow(app.mainWindow));
  EXPECT_TRUE(Saved("\"Volume\"=dword:00000025"));
}

TEST_F(MainWindow, APressOnTheRingLiftedOverAButtonRunsThatButton) {
  Wheel(-1);  // "Settings"
  Down(Ring(45));
  Up(Middle(app.centerRect));
  EXPECT_EQ(app.menuKind, MenuKind::Settings);
  Down(Ring(45));
  Up(Middle(app.menuRect));
  EXPECT_EQ(app.menuKind, MenuKind::Main);
}

TEST_F(MainWindow, KeysInTheMenusAndInAbout) {
  Key(VK_DOWN);  // the list's own key
  EXPECT_EQ(SelectedRow(), u"Settings\t>");
  Key(VK_LEFT);  // ignored in a menu
  Key(VK_RETURN);
  EXPECT_EQ(app.menuKind, MenuKind::Settings);
  Key(VK_RETURN);
  EXPECT_EQ(app.viewMode, ViewMode::About);
  app.volume = 50;
  Key(VK_UP);  // stored, nothing shows
  EXPECT_EQ(app.volume, 55);
  Key(VK_ESCAPE);
  EXPECT_EQ(SelectedRow(), u"About\t>");
  Key(VK_BACK);
  EXPECT_EQ(app.menuKind, MenuKind::Main);
  EXPECT_EQ(SelectedRow(), u"Settings\t>");
}

TEST_F(MainWindow, TheScreenSaverIsKeptOffOnlyWhileMusicPlays) {
  struct Case {
    int streamOpen;
    int paused;
    bool awake;
  } cases[] = {{1, 0, true}, {1, 1, false}, {1, 0, true}, {0, 0, false}};
  for (const Case& c : cases) {
    app.streamOpen = c.streamOpen;
    app.paused = c.paused;
    for (int i = 0; i < 4; ++i) Tick();
    EXPECT_NE(HeadlessKeptAwake(), c.awake) << "not before the fifth tick";
    Tick();
    EXPECT_EQ(HeadlessKeptAwake(), c.awake) << c.streamOpen << c.paused;
  }
}

TEST_F(MainWindow, TheCloseRequestEndsWithoutSaving) {
  PostMessageW(app.mainWindow, kCloseRequest, 0, 0);
  PumpMessages();
  PumpMessages();
  EXPECT_FALSE(IsWindow(app.mainWindow));
  EXPECT_FALSE(Saved("Volume"));
}

}  // namespace
