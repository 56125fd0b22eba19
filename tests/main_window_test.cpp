// The main window driven by stylus, scroll-wheel, key and timer messages.
#include "input/main_window.h"
#include "platform/device.h"
#include "platform/internal.h"
#include "tests/main_window_fixture.h"

namespace {

class MainWindow : public MainWindowTest {};

TEST_F(MainWindow, OnlyADragStartedOnTheRingStepsTheMenuAndClicksStoppingAtTheEnds) {
  // Degrees turned, the row then selected, a click heard, where the pen went down (none: the ring).
  const std::tuple<const char*, double, int, bool, std::optional<POINT>, int> cases[] = {
      {"two steps clockwise: down the list", 24, 2, true, {}, 1},
      {"one step back", -12, 1, true, {}, 1},
      {"to Sleep, the last row; further steps do nothing", 120, 4, true, {}, 1},
      {"back to Browse", -120, 0, true, {}, 1},
      {"already at the top", -12, 0, false, {}, 1},
      {"from the centre button: its own click", 72, 0, true, Middle(app.centerRect), 1},
      {"from the frame outside the wheel", 72, 0, false, POINT{5, 200}, 1},
      {"Clicker Off", 12, 1, false, {}, 0},
  };
  for (auto [what, degrees, selected, click, down, clicker] : cases) {
    app.clicker = clicker;
    Heard();
    Circle(90, degrees, 12, down);
    EXPECT_EQ(std::tuple(Selected(), Heard()), std::tuple(selected, click)) << what;
  }
}

// Handled directly, without the loop's paint afterwards.
TEST_F(MainWindow, AStepDrawsTheNewHighlightAndTheScrollThumbAtOnce) {
  FillList(30, MenuKind::Browse);
  const POINT row1{42, 28 + 18 + 9}, thumbTop{194, 29};
  for (int from : {0, 5}) {  // from the last row shown, the list scrolls
    ToList(LB_SETCURSEL, from);
    PumpMessages();
    COLORREF row = ScreenPixel(row1.x, row1.y), thumb = ScreenPixel(thumbTop.x, thumbTop.y);
    Down(Ring(90));
    SendMessageW(app.mainWindow, WM_MOUSEMOVE, 1, MAKELPARAM(Ring(102).x, Ring(102).y));
    EXPECT_EQ(ScreenPixel(row1.x, row1.y) != row, from == 0) << from;
    EXPECT_EQ(ScreenPixel(thumbTop.x, thumbTop.y) != thumb, from == 5) << from;
    Up(Ring(102));
  }
}

TEST_F(MainWindow, StylusInputDuringThePauseAfterAStepIsDroppedButEveryNotchSteps) {
  Down(Ring(90));
  POINT step = Ring(102);
  // The pen-up over the centre arrives while the step's pause runs.
  InjectStylus(WM_MOUSEMOVE, step.x, step.y);
  InjectStylusAt(GetTickCount() + 50, WM_LBUTTONUP, Middle(app.centerRect).x,
                 Middle(app.centerRect).y);
  PumpMessages();
  EXPECT_EQ(std::tuple(SelectedRow(), app.menuKind, app.penDownPoint.x),
            std::tuple(u"Settings\t>", MenuKind::Main, step.x));  // the centre did not act

  FillList(30, MenuKind::Browse);
  DWORD now = GetTickCount();
  for (DWORD k = 0; k < 10; ++k) InjectWheel(-1, now + 20 * k);
  PumpMessages();
  EXPECT_EQ(Selected(), 10);
}

TEST_F(MainWindow, FastCirclingSpeedsUpOnlyInFolderListingsOfMoreThan100Rows) {
  // Rows, menu kind, degrees per move (each a step, a tenth of a second apart), speeds up.
  const std::tuple<int, MenuKind, double, bool> cases[] = {
      {10000, MenuKind::Browse, 12, false},
      {100, MenuKind::Browse, 60, false},
      {300, MenuKind::Settings, 60, false},
  };
  for (auto [rows, kind, degreesPerMove, speedsUp] : cases) {
    FillList(rows, kind);
    Circle(0, 20 * degreesPerMove, degreesPerMove);
    EXPECT_EQ(Selected() > 20, speedsUp) << rows << " rows, " << degreesPerMove << " degrees";
  }
}

TEST_F(MainWindow, TenThousandRowsAreCrossedInUnderTenSecondsAndTurningBackIsOneRow) {
  FillList(10000, MenuKind::Browse);
  DWORD start = GetTickCount();
  Down(Ring(0));
  double at = 0;
  while (Selected() < 9999 && GetTickCount() - start < 20000) Move(Ring(at += 60));
  EXPECT_EQ(Selected(), 9999);
  EXPECT_LT(GetTickCount() - start, 10000u);
  Move(Ring(at -= 60));
  EXPECT_EQ(Selected(), 9998);
}

// The first movement in Now Playing only switches to the volume, like a drag.
TEST_F(MainWindow, TheVolumeFollowsWheelDragAndKeysClickingOnTensAndStoppingAtItsLimits) {
  OpenNowPlaying();
  // From, input (w: wheel notches, d: drag steps, k: up or down key), amount louder, to, click.
  const std::tuple<int, char, int, int, bool> cases[] = {
      {50, 'w', 1, 51, false},  {51, 'w', 2, 53, false},   {53, 'w', -3, 50, true},
      {99, 'd', 1, 100, true},  {100, 'd', 1, 100, false}, {1, 'd', -1, 0, true},
      {97, 'k', 1, 100, false}, {7, 'k', -2, 0, false},
  };
  for (auto [from, input, amount, to, click] : cases) {
    SCOPED_TRACE(testing::Message() << from << " " << input << amount);
    app.volume = from;
    Wheel(-1);
    ASSERT_EQ(std::tuple(app.viewMode, app.volume), std::tuple(ViewMode::VolumeAdjust, from));
    Heard();
    if (input == 'w') Wheel(-amount);
    if (input == 'd') Circle(0, 6 * amount, 6);
    for (int i = 0; input == 'k' && i < std::abs(amount); ++i) Key(amount > 0 ? VK_UP : VK_DOWN);
    EXPECT_EQ(std::tuple(app.volume, Heard()), std::tuple(to, click));
    Tick();
    Tick();
  }
}

TEST_F(MainWindow, VolumeAndSeekReturnToNowPlayingAfterTheirIdleTicks) {
  OpenNowPlaying();
  for (auto [key, mode, idleTicks] :
       {std::tuple{VK_DOWN, ViewMode::VolumeAdjust, 2}, {VK_RETURN, ViewMode::Seek, 3}}) {
    Key(key);
    ASSERT_EQ(app.viewMode, mode);
    for (int i = 1; i < idleTicks; ++i) Tick();
    Down(POINT{5, 5});  // any movement restarts the count
    Move(POINT{6, 6});
    for (int i = 1; i < idleTicks; ++i) Tick();
    EXPECT_EQ(app.viewMode, mode);
    Tick();
    EXPECT_EQ(app.viewMode, ViewMode::NowPlaying);
    Up(POINT{6, 6});
  }
}

TEST_F(MainWindow, ASeekDragIsAppliedByTheTickAndNotAgainByThePenUp) {
  OpenNowPlaying();
  Tap(app.centerRect);
  ASSERT_EQ(app.viewMode, ViewMode::Seek);
  Down(Ring(0));
  for (int degrees : {4, 8}) Move(Ring(degrees));
  Tick();
  EXPECT_EQ(GetStreamMs(), 8000) << "two steps of 4 s from the start";
  app.positionSec = 12;
  Up(Ring(8));
  EXPECT_EQ(std::tuple(GetStreamMs(), app.viewMode), std::tuple(8000, ViewMode::Seek));

  // The next drag starts from the stream again and is applied by the pen up.
  Down(Ring(0));
  for (int degrees : {-4, -8, -12}) Move(Ring(degrees));  // stopping at the start
  Up(Middle(app.centerRect));
  EXPECT_EQ(std::tuple(GetStreamMs(), app.pausedAtMs, app.viewMode),
            std::tuple(0, 0, ViewMode::NowPlaying));
}

// A step per 200 ms from the first tick; the pen-up ends the scan and is taken by it.
TEST_F(MainWindow, HoldingForwardOrBackScansWithGrowingStepsUntilThePenIsLifted) {
  // A track of 2:20: a demo piece seven times over, its header counting them all.
  std::string piece = ReadBytes(VESK_SOURCE_DIR "/resources/demo/Vesk Demo/Morning/01 Sunrise.mp3");
  uint32_t frames = 0;
  for (size_t at = piece.find("Info") + 8, i = 0; i < 4; ++i)
    frames = frames << 8 | uint8_t(piece[at + i]);
  std::string track;
  for (int i = 0; i < 7; ++i) track += piece;
  WriteText(Path("Long/long.mp3"), WithClaimedFrames(track, 7 * frames));
  StringCchCopyW(app.playlistFolder, kPathChars, u"\\Long\\");
  ASSERT_TRUE(OpenTrack(0, 1));
  ASSERT_EQ(app.trackLengthSec, 140);
  // Forward or back, from, steps, to (in seconds).
  const std::tuple<bool, int, int, int> cases[] = {
      {true, 0, 1, 5},   {true, 0, 4, 20},   {true, 0, 5, 35},   {true, 0, 8, 80},
      {true, 0, 9, 110}, {true, 0, 10, 140}, {false, 60, 3, 45}, {false, 5, 2, 0},
  };
  for (auto [forward, fromSec, steps, toSec] : cases) {
    SCOPED_TRACE(testing::Message() << (forward ? "forward " : "back ") << steps);
    SeekStreamMs(fromSec * 1000);
    POINT press = Middle(forward ? app.forwardRect : app.backRect);
    Down(press);
    DWORD scanStart = GetTickCount() + 1000;
    InjectStylusAt(scanStart + 200 * (steps - 1) + 100, WM_LBUTTONUP, press.x + 1, press.y);
    Tick();
    EXPECT_EQ(GetTickCount() - scanStart, static_cast<DWORD>(200 * steps));
    EXPECT_EQ(std::tuple(GetStreamMs(), app.positionSec, app.penDownPoint.x),
              std::tuple(toSec * 1000, toSec, press.x));  // the scan took its pen-up
  }
}

TEST_F(MainWindow, AQuitPostedDuringAScanEndsItAndStillEndsTheLoop) {
  Down(Middle(app.forwardRect));
  plat::RunOnUiThread([] { PostQuitMessage(3); });  // taken in by the scan's look for the pen-up
  SendMessageW(app.mainWindow, WM_TIMER, kTimerId, 0);
  MSG msg{};
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(std::tuple(msg.message, msg.wParam), std::tuple(WM_QUIT, 3u));
}

TEST_F(MainWindow, OnlyAButtonHeldLongEnoughScansOrQuitsAndTheQuitSaves) {
  const POINT overScreen{100, 80};  // over MenuList
  // The button pressed, where the pen is lifted, ticks held before, whether the player quits.
  const std::tuple<const char*, const RECT&, POINT, int, bool> cases[] = {
      {"back tapped", app.backRect, Middle(app.backRect), 0, false},
      {"play-pause lifted over the screen", app.playPauseRect, overScreen, 0, false},
      {"play-pause lifted after one tick", app.playPauseRect, Middle(app.playPauseRect), 1, false},
      {"play-pause held for two ticks", app.playPauseRect, overScreen, 2, true},
  };
  for (auto [what, button, lift, ticksHeld, quits] : cases) {
    SCOPED_TRACE(what);
    app.positionSec = 7;
    app.volume = 37;
    Down(Middle(button));
    for (int i = 0; i < ticksHeld; ++i) Tick();
    if (!quits) Up(lift);
    Tick();
    Tick();
    bool saved = StoreText().find("\"Volume\"=dword:00000025") != std::string::npos;
    EXPECT_EQ(std::tuple(app.positionSec, IsWindow(app.mainWindow), saved),
              std::tuple(7, !quits, quits));
  }
}

TEST_F(MainWindow, TheScreenSaverIsKeptOffOnlyWhileMusicPlays) {
  UseFolder(kEvening);
  const std::pair<void (*)(), bool> cases[] = {{[] { OpenTrack(0, 0); }, true},
                                               {TogglePause, false},
                                               {TogglePause, true},
                                               {CloseStream, false}};
  for (auto [change, awake] : cases) {
    change();
    for (int i = 0; i < 4; ++i) Tick();
    EXPECT_NE(HeadlessKeptAwake(), awake) << "not before the fifth tick";
    Tick();
    EXPECT_EQ(HeadlessKeptAwake(), awake);
  }
}

}  // namespace
