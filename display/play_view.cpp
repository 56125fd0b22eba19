#include "display/play_view.h"

#include <algorithm>
#include <iterator>

#include "display/painters.h"
#include "display/skin.h"
#include "platform/device.h"
#include "platform/gdi.h"
#include "platform/text.h"
#include "platform/window.h"
#include "playback/sound_engine.h"

namespace {

constexpr const WCHAR* kElapsedFormat = u"m':'ss";
constexpr const WCHAR* kRemainingFormat = u"'-'m':'ss";
constexpr int32_t kSecondsPerMinute = 60;

// The bar of the times: box, inner width and its chamfered outline.
constexpr RECT kTimeInset{5, 0, 155, 30};
constexpr LONG kBarBottom = 13;
constexpr LONG kInnerLeft = 6;
constexpr LONG kInnerTop = 6;
constexpr int32_t kInnerWidth = 149;
constexpr POINT kProgressOutline[] = {{5, 7},    {7, 5},  {153, 5}, {155, 7}, {155, 11},
                                      {153, 13}, {7, 13}, {5, 11},  {5, 7}};
constexpr POINT kSeekOutline[] = {{5, 5}, {155, 5}, {155, 13}, {5, 13}, {5, 5}};

// The volume bar between its two speakers.
constexpr LONG kVolumeLeft = 18;
constexpr LONG kVolumeRight = 135;
constexpr POINT kVolumeDownAt{8, 4};
constexpr SIZE kVolumeDownSize{6, 11};
constexpr POINT kVolumeUpAt{140, 3};
constexpr SIZE kVolumeUpSize{13, 13};
constexpr POINT kVolumeOutline[] = {{18, 5}, {135, 5}, {135, 13}, {18, 13}, {18, 5}};

void FormatTime(int32_t seconds, const WCHAR* format, WCHAR* text) {
  SYSTEMTIME time{};
  // A negative time (a position past the length) shows as zero.
  seconds = std::max(seconds, 0);
  time.wMinute = static_cast<WORD>(seconds / kSecondsPerMinute);
  time.wSecond = static_cast<WORD>(seconds % kSecondsPerMinute);
  GetTimeFormatW(0, 0, &time, format, text, kTextChars);
}

void Fill(HDC hdc, HBRUSH brush, LONG left, LONG right) {
  RECT rc{left, kInnerTop, right, kBarBottom};
  if (rc.right > rc.left) FillRect(hdc, &rc, brush);
}

// The two times at the bottom corners, in largeFont.
HGDIOBJ DrawTimes(HDC hdc, const WCHAR* elapsed, const WCHAR* remaining) {
  RECT inset = kTimeInset;
  SetBkColor(hdc, app.screenColor);
  HGDIOBJ oldFont = SelectObject(hdc, app.largeFont);
  DrawTextW(hdc, elapsed, -1, &inset, DT_BOTTOM);
  DrawTextW(hdc, remaining, -1, &inset, DT_BOTTOM | DT_RIGHT);
  return oldFont;
}

int32_t Percent() {
  return app.trackLengthSec ? app.positionSec * 100 / app.trackLengthSec : 0;
}

void PaintProgress(HDC hdc, HBRUSH black, HBRUSH screen) {
  int32_t fill = kInnerWidth * Percent() / 100;
  Fill(hdc, black, kInnerLeft, kInnerLeft + fill);
  Fill(hdc, screen, kInnerLeft + 1 + fill, kTimeInset.right);
  Polyline(hdc, kProgressOutline, static_cast<int>(std::size(kProgressOutline)));
}

void PaintSeek(HDC hdc, HBRUSH black, HBRUSH screen) {
  Polyline(hdc, kSeekOutline, static_cast<int>(std::size(kSeekOutline)));
  Fill(hdc, screen, kInnerLeft, kTimeInset.right);
  int32_t percent = Percent();
  // Any position after the start shows at least one percent.
  if (percent == 0 && app.positionSec != 0) percent = 1;
  if (percent == 0) return;
  int32_t x = kInnerWidth * percent / 100;
  Fill(hdc, black, kInnerLeft + x, kInnerLeft + 1 + x);
}

void PaintVolume(HDC hdc, HBRUSH black, HBRUSH screen) {
  DrawBitmap(hdc, app.volumeDownBitmap, kVolumeDownAt.x, kVolumeDownAt.y, kVolumeDownSize.cx,
             kVolumeDownSize.cy);
  DrawBitmap(hdc, app.volumeUpBitmap, kVolumeUpAt.x, kVolumeUpAt.y, kVolumeUpSize.cx,
             kVolumeUpSize.cy);
  Polyline(hdc, kVolumeOutline, static_cast<int>(std::size(kVolumeOutline)));
  app.volume = std::clamp(app.volume, 0, kMaxVolume);
  int32_t fill = (kVolumeRight - kVolumeLeft) * app.volume / kMaxVolume;
  Fill(hdc, black, kVolumeLeft, kVolumeLeft + fill);
  if (app.volume < kMaxVolume) Fill(hdc, screen, kVolumeLeft + 1 + fill, kVolumeRight);
}

}  // namespace

void PaintPlayView(HWND pane, bool clearFirst) {
  WCHAR elapsed[kTextChars];
  WCHAR remaining[kTextChars];
  FormatTime(app.positionSec, kElapsedFormat, elapsed);
  FormatTime(app.trackLengthSec - app.positionSec, kRemainingFormat, remaining);
  if (clearFirst) FillPaneRect(pane, app.screenColor, nullptr);
  ViewMode mode = app.viewMode;
  if (mode != ViewMode::NowPlaying && mode != ViewMode::VolumeAdjust && mode != ViewMode::Seek)
    return;
  HDC hdc = GetDC(pane);
  if (!hdc) return;
  HBRUSH black = CreateSolidBrush(kBlack);
  HBRUSH screen = CreateSolidBrush(app.screenColor);
  HGDIOBJ oldFont = nullptr;
  if (mode == ViewMode::VolumeAdjust) {
    PaintVolume(hdc, black, screen);
  } else {
    oldFont = DrawTimes(hdc, elapsed, remaining);
    if (mode == ViewMode::NowPlaying) {
      PaintProgress(hdc, black, screen);
    } else {
      PaintSeek(hdc, black, screen);
    }
  }
  DeleteObject(black);
  DeleteObject(screen);
  if (oldFont) SelectObject(hdc, oldFont);
  ReleaseDC(pane, hdc);
  if (mode == ViewMode::VolumeAdjust) ApplyVolume(app.volume);
}
