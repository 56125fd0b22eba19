#include "input/main_window.h"

#include <algorithm>

#include "app/resume.h"
#include "app/services.h"
#include "display/painters.h"
#include "display/play_view.h"
#include "display/skin.h"
#include "display/slide.h"
#include "input/controls.h"
#include "menus/menu_screens.h"
#include "platform/gdi.h"
#include "platform/instance.h"
#include "platform/mpris.h"
#include "platform/sound.h"
#include "platform/window.h"
#include "playback/playlist.h"
#include "playback/sound_engine.h"

namespace {

constexpr const WCHAR* kClickSound = u"CLICK";
constexpr int32_t kMenuThresholdDegrees = 10;
constexpr int32_t kFineThresholdDegrees = 3;  // VolumeAdjust and Seek
constexpr DWORD kMenuStepPauseMs = 100;
constexpr int32_t kVolumeKeyStep = 5;
constexpr int32_t kClickEveryVolume = 10;
constexpr int32_t kSeekStepSec = 4;
constexpr int32_t kVolumeIdleTicks = 2;
constexpr int32_t kSeekIdleTicks = 3;
constexpr int32_t kSkipHoldTicks = 1;
constexpr int32_t kQuitHoldTicks = 2;
constexpr DWORD kScanIntervalMs = 200;
// The stylus's messages, dropped after a menu step; the scroll wheel's
// notches (WM_MOUSEWHEEL) stay queued, each to be a step of its own.
constexpr UINT kLastStylusMessage = WM_MOUSEWHEEL - 1;
// Circling the wheel in a folder listing longer than this speeds up: one turn
// a second or faster, kept up, moves more rows a step, up to a fiftieth of
// the listing; slowing down, turning back or a pause of the stylus ends it.
constexpr int32_t kAcceleratedListRows = 100;
constexpr int32_t kFastDegreesPerSecond = 360;
constexpr DWORD kRunPauseMs = 300;
constexpr int32_t kMostRowsShare = 50;

POINT PointOf(LPARAM lParam) {
  return POINT{LOWORD(static_cast<WPARAM>(lParam)), HIWORD(static_cast<WPARAM>(lParam))};
}

bool Inside(const HitRect& rect, POINT p) {
  return HitTest(rect, p.x, p.y);
}

void Click() {
  if (app.clicker == 1)
    PlaySoundW(kClickSound, GetModuleHandleW(nullptr), SND_RESOURCE | SND_ASYNC);
}

void StartTimer(HWND hwnd) {
  app.timerId = static_cast<int32_t>(SetTimer(hwnd, kTimerId, kTimerPeriodMs, nullptr));
}

// 5 s for steps 1 to 4, 15 s for steps 5 to 8, 30 s from step 9 on.
int32_t ScanStep(int32_t k) {
  if (k <= 4) return 5;
  if (k <= 8) return 15;
  return 30;
}

bool PlayViewShown() {
  return static_cast<int32_t>(app.viewMode) > 0;  // NowPlaying, VolumeAdjust or Seek
}

void MoveStreamToMs(int32_t ms) {
  app.pausedAtMs = ms;
  SeekStreamMs(ms);
  ReportPlayback();
}

void ApplyPendingSeek() {
  app.seekPending = 0;
  MoveStreamToMs(app.positionSec * kMsPerSecond);
}

void EnterVolumeAdjust() {
  app.viewMode = ViewMode::VolumeAdjust;
  HWND playView = Pane(kPlayViewId);
  SlideOut(playView, SlideDirection::Left, app.screenColor);
  InvalidateRect(playView, nullptr, FALSE);
}

void SetVolume(int32_t volume) {
  app.volume = volume;
  PaintPlayView(Pane(kPlayViewId), false);
  ReportPlayback();
}

void StepVolume(WheelStep step) {
  int32_t volume = std::clamp(app.volume + step, 0, kMaxVolume);
  if (volume == app.volume) return;
  if (volume % kClickEveryVolume == 0) Click();
  SetVolume(volume);
}

void StepSeek(WheelStep step) {
  if (app.seekPending == 0) {
    app.positionSec = GetStreamMs() / kMsPerSecond;
    app.seekPending = 1;
  }
  int32_t position = app.positionSec + kSeekStepSec * step;
  if (position < 0) position = 0;
  if (position > app.trackLengthSec) position = app.trackLengthSec;
  if (position == app.positionSec) return;
  app.positionSec = position;
  PaintPlayView(Pane(kPlayViewId), false);
}

// The rows a stylus step moves the menu: one, or more while fast circling in
// a long folder listing goes on, the more the faster it goes.
int32_t RowsOfStep(WheelStep step, POINT from, POINT to, int32_t count) {
  DWORD now = GetTickCount();
  DWORD elapsed = now - app.menuStepTick;
  app.menuStepTick = now;
  if (app.menuKind != MenuKind::Browse || count <= kAcceleratedListRows) return 1;
  int32_t speed =
      WheelDegreesBetween(from, to) * 1000 / static_cast<int32_t>(std::max<DWORD>(elapsed, 1));
  bool goingOn = elapsed <= kRunPauseMs && app.wheelRun * step > 0;
  if (!goingOn || speed < kFastDegreesPerSecond) {
    app.wheelRun = step;
    return 1;
  }
  app.wheelRun += step * (speed / kFastDegreesPerSecond);
  int32_t run = std::min(std::abs(app.wheelRun) / 2, 20);
  return std::clamp(1 << run, 1, std::max(2, count / kMostRowsShare));
}

// A step of rows, then a pause; what the stylus did meanwhile is dropped, so
// the selection never runs on after it stops.
void StepMenu(int32_t rows) {
  HWND list = Pane(kMenuListId);
  int32_t count = static_cast<int32_t>(SendMessageW(list, LB_GETCOUNT, 0, 0));
  int32_t current = static_cast<int32_t>(SendMessageW(list, LB_GETCURSEL, 0, 0));
  int32_t row = current + rows;
  if (row < 0) row = 0;
  if (row > count - 1) row = count - 1;
  if (row == current) return;
  Click();
  SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(row), 0);
  PaintScrollBar(Pane(kScrollBarId));
  Sleep(kMenuStepPauseMs);
  MSG msg;
  while (PeekMessageW(&msg, app.mainWindow, WM_MOUSEFIRST, kLastStylusMessage, PM_REMOVE)) {
  }
}

// A wheel step as the view mode takes it. NowPlaying is handled by callers:
// the first movement there only switches to VolumeAdjust.
void TurnWheel(WheelStep step) {
  switch (app.viewMode) {
    case ViewMode::VolumeAdjust:
      StepVolume(step);
      break;
    case ViewMode::Seek:
      StepSeek(step);
      break;
    case ViewMode::Menu:
      StepMenu(step);
      break;
    default:
      break;
  }
}

void OnPenDown(HWND hwnd, POINT p) {
  app.penDownPoint = p;
  app.wheelRun = 0;
  if (app.timerId != 0) {
    KillTimer(hwnd, kTimerId);
    app.timerId = 0;
  }
  StartTimer(hwnd);
  if (Inside(app.backRect, p) || Inside(app.forwardRect, p)) {
    app.holdCountdown = kSkipHoldTicks;
    Click();
  } else if (Inside(app.playPauseRect, p)) {
    app.holdCountdown = kQuitHoldTicks;
    Click();
  } else if (Inside(app.menuRect, p) || Inside(app.centerRect, p)) {
    Click();
  }
}

void OnPenMove(POINT p) {
  app.idleTicks = 0;
  app.penMovePoint = p;
  // Only a drag that started on the ring turns the wheel.
  if (!Inside(app.wheelRect, app.penDownPoint) || Inside(app.centerRect, app.penDownPoint)) return;
  if (app.viewMode == ViewMode::NowPlaying) {
    EnterVolumeAdjust();
    return;
  }
  if (app.viewMode == ViewMode::About) return;
  int32_t threshold =
      app.viewMode == ViewMode::Menu ? kMenuThresholdDegrees : kFineThresholdDegrees;
  WheelStep step = DecodeWheelStep(app.penDownPoint, app.penMovePoint, threshold);
  if (step == 0) return;
  POINT from = app.penDownPoint;
  app.penDownPoint = app.penMovePoint;
  if (app.viewMode == ViewMode::Menu) {
    int32_t count = static_cast<int32_t>(SendMessageW(Pane(kMenuListId), LB_GETCOUNT, 0, 0));
    StepMenu(step * RowsOfStep(step, from, p, count));
    return;
  }
  TurnWheel(step);
}

// The scroll wheel: one notch is one step, wheel down (towards the user) clockwise.
void OnScrollWheel(WPARAM wParam) {
  app.idleTicks = 0;
  int32_t notches = static_cast<int16_t>(HIWORD(wParam)) / WHEEL_DELTA;
  WheelStep step = notches < 0 ? 1 : -1;
  for (int32_t n = notches < 0 ? -notches : notches; n > 0; --n) {
    if (app.viewMode == ViewMode::NowPlaying) {
      EnterVolumeAdjust();
      return;
    }
    TurnWheel(step);
  }
}

// A pen up in Seek applies the chosen position before any button acts.
void ApplySeekOnRelease() {
  if (app.seekPending == 1 && app.viewMode == ViewMode::Seek) ApplyPendingSeek();
}

void OnPenUp(POINT p) {
  app.idleTicks = 0;
  app.holdCountdown = 0;
  app.penDownPoint = p;
  ApplySeekOnRelease();
  // Only the lifting point decides.
  if (Inside(app.backRect, p)) {
    PreviousTrack();
  } else if (Inside(app.playPauseRect, p)) {
    TogglePause();
  } else if (Inside(app.forwardRect, p)) {
    NextTrack();
  } else if (Inside(app.menuRect, p)) {
    MenuButtonAction();
  } else if (Inside(app.centerRect, p)) {
    CentreButtonAction();
  }
}

// The centre and menu keys press and lift their button at once.
void PressButtonByKey(void (*action)()) {
  Click();
  app.idleTicks = 0;
  ApplySeekOnRelease();
  action();
}

void OnKey(WPARAM key) {
  if (key == VK_SELECT) {
    TogglePause();
    return;
  }
  if (key == VK_RETURN) {
    PressButtonByKey(CentreButtonAction);
    return;
  }
  if (key == VK_ESCAPE || key == VK_BACK) {
    PressButtonByKey(MenuButtonAction);
    return;
  }
  if (app.viewMode == ViewMode::Menu) return;
  if (key == VK_LEFT) {
    PreviousTrack();
  } else if (key == VK_RIGHT) {
    NextTrack();
  } else if (key == VK_UP || key == VK_DOWN) {
    app.idleTicks = 0;
    if (app.viewMode == ViewMode::NowPlaying) {
      EnterVolumeAdjust();
      return;
    }
    int32_t change = key == VK_UP ? kVolumeKeyStep : -kVolumeKeyStep;
    int32_t volume = std::clamp(app.volume + change, 0, kMaxVolume);
    if (volume != app.volume) SetVolume(volume);
  }
}

// Holding back or forward: steps through the track until the pen is
// lifted. The pen-up is taken here, so a scan never changes the track.
void Scan(bool forwards) {
  MSG msg;
  for (int32_t k = 1; !PeekMessageW(&msg, nullptr, WM_LBUTTONUP, WM_LBUTTONUP, PM_REMOVE); ++k) {
    int32_t now = GetStreamMs() / kMsPerSecond;
    int32_t position = forwards ? now + ScanStep(k) : now - ScanStep(k);
    if (position < 0) position = 0;
    if (forwards && position > app.trackLengthSec) position = app.trackLengthSec;
    app.positionSec = position;
    MoveStreamToMs(position * kMsPerSecond);
    if (PlayViewShown()) PaintPlayView(Pane(kPlayViewId), false);
    Sleep(kScanIntervalMs);
  }
  // The quit message passes every filter: it ends the scan and goes back
  // for the message loop.
  if (msg.message == WM_QUIT) PostQuitMessage(static_cast<int>(msg.wParam));
}

void ReturnToNowPlaying() {
  app.viewMode = ViewMode::NowPlaying;
  app.idleTicks = 0;
  app.seekPending = 0;
  HWND playView = Pane(kPlayViewId);
  SlideOut(playView, SlideDirection::Right, app.screenColor);
  PaintPlayView(playView, false);
}

void OnTimer(HWND hwnd) {
  if (HasFatalFileError()) ReopenTrack();
  KeepPlaying();

  if (++app.tickCount >= kStatusRefreshTicks) {
    app.tickCount = 0;
    PaintStatusBar(Pane(kStatusBarId), false);
    // The desktop's screen saver stands in for the device's idle timer.
    KeepDisplayAwake(app.streamOpen == 1 && app.paused == 0);
  }

  if (app.seekPending == 1 && app.viewMode == ViewMode::Seek) {
    app.idleTicks = 0;
    ApplyPendingSeek();
    return;
  }

  if (app.viewMode == ViewMode::VolumeAdjust || app.viewMode == ViewMode::Seek) {
    ++app.idleTicks;
    int32_t limit = app.viewMode == ViewMode::VolumeAdjust ? kVolumeIdleTicks : kSeekIdleTicks;
    if (app.idleTicks >= limit) ReturnToNowPlaying();
  }

  if ((app.viewMode == ViewMode::NowPlaying || app.viewMode == ViewMode::Seek) &&
      app.streamOpen == 1 && app.paused == 0) {
    app.positionSec = GetStreamMs() / kMsPerSecond;
    PaintPlayView(Pane(kPlayViewId), false);
  }

  if (app.holdCountdown == 0 || --app.holdCountdown > 0) return;
  if (Inside(app.backRect, app.penDownPoint)) {
    Scan(false);
  } else if (Inside(app.forwardRect, app.penDownPoint)) {
    Scan(true);
  } else if (Inside(app.playPauseRect, app.penDownPoint)) {
    SendMessageW(hwnd, WM_COMMAND, kQuitCommand, 0);
  }
}

// A place chosen on the desktop's media controls, applied as a seek is.
void MoveToMs(WPARAM ms) {
  if (app.streamOpen != 1) return;
  auto to = static_cast<int32_t>(std::min<WPARAM>(ms, GetStreamLengthMs()));
  app.seekPending = 0;
  app.positionSec = to / kMsPerSecond;
  MoveStreamToMs(to);
  if (PlayViewShown()) PaintPlayView(Pane(kPlayViewId), false);
}

// Stop leaves the track paused at its start, ready to play again.
void StopTrack() {
  if (app.streamOpen != 1) return;
  if (!app.paused) TogglePause();
  MoveToMs(0);
}

// The Settings menu shows the new value at once, its selection kept.
void SetSetting() {
  if (app.viewMode == ViewMode::Menu && app.menuKind == MenuKind::Settings) {
    HWND list = Pane(kMenuListId);
    ShowSettingsMenu(list, static_cast<int32_t>(SendMessageW(list, LB_GETCURSEL, 0, 0)));
  }
  ReportPlayback();
}

// The desktop's media controls, in every view mode; a value rides in wParam.
void OnAppCommand(WPARAM value, LPARAM lParam) {
  switch (GetAppCommand(lParam)) {
    case APPCOMMAND_MEDIA_PLAY_PAUSE:
      TogglePause();
      break;
    case APPCOMMAND_MEDIA_PLAY:
      if (app.paused) TogglePause();
      break;
    case APPCOMMAND_MEDIA_PAUSE:
      if (!app.paused) TogglePause();
      break;
    case APPCOMMAND_MEDIA_NEXTTRACK:
      NextTrack();
      break;
    case APPCOMMAND_MEDIA_PREVIOUSTRACK:
      PreviousTrack();
      break;
    case APPCOMMAND_MEDIA_STOP:
      StopTrack();
      break;
    case APPCOMMAND_VESK_SET_POSITION:
      MoveToMs(value);
      break;
    case APPCOMMAND_VESK_SET_VOLUME:
      app.volume = static_cast<int32_t>(std::min<WPARAM>(value, kMaxVolume));
      ApplyVolume(app.volume);
      if (app.viewMode == ViewMode::VolumeAdjust) PaintPlayView(Pane(kPlayViewId), false);
      ReportPlayback();
      break;
    case APPCOMMAND_VESK_SET_SHUFFLE:
      app.shuffle = value != 0 ? 1 : 0;
      SetSetting();
      break;
    case APPCOMMAND_VESK_SET_REPEAT:
      if (value <= static_cast<WPARAM>(RepeatMode::All))
        app.repeatMode = static_cast<RepeatMode>(value);
      SetSetting();
      break;
  }
}

void OnCommand(HWND hwnd, WPARAM wParam) {
  if (HIWORD(wParam) == LBN_SELCHANGE) PaintScrollBar(Pane(kScrollBarId));
  if (LOWORD(wParam) == kQuitCommand) QuitPlayer(hwnd);
}

void OnPaint(HWND hwnd) {
  SHFullScreen(hwnd, kFullScreenFlags);
  PAINTSTRUCT ps;
  HDC hdc = BeginPaint(hwnd, &ps);
  PaintFrame(hdc);
  EndPaint(hwnd, &ps);
}

}  // namespace

LRESULT MainWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CREATE:
      StartTimer(hwnd);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_PAINT:
      OnPaint(hwnd);
      return 0;
    case WM_ERASEBKGND: {
      RECT rc;
      GetClientRect(hwnd, &rc);
      FillRect(reinterpret_cast<HDC>(wParam), &rc, app.frameBrush);
      return 0;
    }
    case WM_KEYDOWN:
      OnKey(wParam);
      return 0;
    case WM_COMMAND:
      OnCommand(hwnd, wParam);
      return 0;
    case WM_APPCOMMAND:
      OnAppCommand(wParam, lParam);
      return TRUE;
    case WM_TIMER:
      if (wParam == kResumeTimerId) {
        KillTimer(hwnd, kResumeTimerId);
        ResumeLastTrack();
      } else {
        OnTimer(hwnd);
      }
      return 0;
    case WM_CTLCOLORLISTBOX:
      SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
      SetFocus(Pane(kMenuListId));
      return reinterpret_cast<LRESULT>(app.screenBrush);
    case WM_MOUSEMOVE:
      OnPenMove(PointOf(lParam));
      return 0;
    case WM_LBUTTONDOWN:
      OnPenDown(hwnd, PointOf(lParam));
      return 0;
    case WM_LBUTTONUP:
      OnPenUp(PointOf(lParam));
      return 0;
    case WM_MOUSEWHEEL:
      OnScrollWheel(wParam);
      return 0;
    case WM_SYSCOMMAND:
      // The desktop window's close button is how people quit here: it quits
      // like "Sleep", saving the settings.
      if ((wParam & 0xFFF0) == SC_CLOSE) {
        SendMessageW(hwnd, WM_COMMAND, kQuitCommand, 0);
        return 0;
      }
      break;
    case kCloseRequest:
      PostMessageW(hwnd, WM_CLOSE, 0, 0);
      return 0;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}
