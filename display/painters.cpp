#include "display/painters.h"

#include <algorithm>
#include <initializer_list>

#include "display/play_view.h"
#include "display/skin.h"
#include "menus/menu_list.h"
#include "platform/device.h"
#include "platform/gdi.h"
#include "platform/strings.h"
#include "platform/text.h"
#include "platform/window.h"

namespace {

constexpr int32_t kVisibleRows = 6;
constexpr RECT kScrollTrack{1, 1, 6, 106};
constexpr int32_t kMinThumbLength = 5;  // a square as wide as the track
constexpr int32_t kTitleMargin = 50;    // room for the play state and the battery
constexpr POINT kPlayStateOrigin{10, 4};
constexpr int32_t kIconSize = 9;
constexpr int32_t kBatteryGaugeWidth = 15;
constexpr const WCHAR* kAboutLines[] = {u"Vesk V1.04", u"Mireva", u"\u00A9 2026 Mireva",
                                        u"www.mireva.example"};

void FillWith(HDC hdc, HBRUSH brush, const RECT& rc) {
  FillRect(hdc, &rc, brush);
}

// A context of the pane, or none for a missing pane: a null window would
// give a context of the whole screen.
HDC PaneDc(HWND pane) {
  return IsWindow(pane) ? GetDC(pane) : nullptr;
}

}  // namespace

LRESULT PaneWindowProc(HWND pane, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(pane, &ps);
      switch (GetDlgCtrlID(pane)) {
        case kStatusBarId:
          PaintStatusBar(pane, false);
          break;
        case kScrollBarId:
          PaintScrollBar(pane);
          break;
        case kTrackViewId:
          PaintTrackView(pane, false);
          break;
        case kPlayViewId:
          PaintPlayView(pane, false);
          break;
        case kAboutViewId:
          PaintAboutView(pane);
          break;
      }
      EndPaint(pane, &ps);
      return 0;
    }
    case WM_ERASEBKGND: {
      RECT rc;
      GetClientRect(pane, &rc);
      FillRect(reinterpret_cast<HDC>(wParam), &rc, app.screenBrush);
      return 0;
    }
  }
  return DefWindowProcW(pane, msg, wParam, lParam);
}

void FillPaneRect(HWND pane, COLORREF color, const RECT* rect) {
  HDC hdc = PaneDc(pane);
  if (!hdc) return;
  HBRUSH brush = CreateSolidBrush(color);
  RECT rc;
  if (rect) {
    rc = *rect;
  } else {
    GetClientRect(pane, &rc);
  }
  if (HGDIOBJ old = SelectObject(hdc, brush)) {
    PatBlt(hdc, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, PATCOPY);
    SelectObject(hdc, old);
  }
  DeleteObject(brush);
  ReleaseDC(pane, hdc);
}

void PaintStatusBar(HWND pane, bool clearFirst) {
  HDC hdc = PaneDc(pane);
  if (!hdc) return;
  SetBkColor(hdc, app.screenColor);
  if (clearFirst) FillPaneRect(pane, app.screenColor, nullptr);
  RECT rc;
  GetClientRect(pane, &rc);
  POINT separator[] = {{rc.left, rc.bottom - 1}, {rc.right, rc.bottom - 1}};
  Polyline(hdc, separator, 2);

  HBRUSH black = CreateSolidBrush(kBlack);
  HBRUSH screen = CreateSolidBrush(app.screenColor);
  DrawBitmap(hdc, app.batteryBitmap, rc.right - 22, 4, 20, 10);
  int32_t fill = BatteryPercent() * kBatteryGaugeWidth / 100;
  FillWith(hdc, black, RECT{rc.right - 20, 6, rc.right - 20 + fill, 12});
  FillWith(hdc, screen, RECT{rc.right - 20 + fill, 6, rc.right - 5, 12});

  if (app.streamOpen) {
    const RECT icon{kPlayStateOrigin.x, kPlayStateOrigin.y, kPlayStateOrigin.x + kIconSize,
                    kPlayStateOrigin.y + kIconSize};
    if (!clearFirst) FillWith(hdc, screen, icon);
    DrawBitmap(hdc, app.paused ? app.pauseIconBitmap : app.playIconBitmap, icon.left, icon.top,
               kIconSize, kIconSize);
  }
  DeleteObject(black);
  DeleteObject(screen);

  HGDIOBJ oldFont = SelectObject(hdc, app.largeFont);
  EllipsizeToWidth(app.headerTitle, rc.right - kTitleMargin);
  DrawTextW(hdc, app.headerTitle, -1, &rc, DT_CENTER | DT_VCENTER);
  SelectObject(hdc, oldFont);
  ReleaseDC(pane, hdc);
}

int32_t BatteryPercent() {
  SYSTEM_POWER_STATUS_EX status;
  if (!GetSystemPowerStatusEx(&status, FALSE)) return 100;
  if (status.BatteryLifePercent <= 100) return status.BatteryLifePercent;
  if (!GetSystemPowerStatusEx(&status, TRUE) || status.BatteryLifePercent > 100) return 100;
  return status.BatteryLifePercent;
}

void PaintScrollBar(HWND pane) {
  HDC hdc = PaneDc(pane);
  if (!hdc) return;
  HWND list = Pane(kMenuListId);
  int32_t count = static_cast<int32_t>(SendMessageW(list, LB_GETCOUNT, 0, 0));
  int32_t top = static_cast<int32_t>(SendMessageW(list, LB_GETTOPINDEX, 0, 0));
  int32_t percent = count > 0 ? 600 / count : 0;
  HBRUSH black = CreateSolidBrush(kBlack);
  HBRUSH screen = CreateSolidBrush(app.screenColor);
  if (HGDIOBJ old = SelectObject(hdc, screen)) {
    const RECT& t = kScrollTrack;
    PatBlt(hdc, t.left, t.top, t.right - t.left, t.bottom - t.top, PATCOPY);
    RECT thumb = t;
    if (count > kVisibleRows) {
      // Past 600 rows the share rounds to nothing: the thumb keeps a size
      // that shows.
      int32_t length = std::max((t.bottom - t.top) * percent / 100, kMinThumbLength);
      int32_t travel = (t.bottom - length) - t.top;
      double step = static_cast<double>(travel) / (count - kVisibleRows);
      if (top == count - kVisibleRows) {
        thumb.top = t.bottom - length;
      } else {
        thumb.top = t.top + static_cast<int32_t>(top * step);
        thumb.bottom = thumb.top + length;
      }
    }
    SelectObject(hdc, black);
    PatBlt(hdc, thumb.left, thumb.top, thumb.right - thumb.left, thumb.bottom - thumb.top, PATCOPY);
    SelectObject(hdc, old);
  }
  DeleteObject(black);
  DeleteObject(screen);
  ReleaseDC(pane, hdc);
}

void PaintTrackView(HWND pane, bool clearFirst) {
  WCHAR number[kTextChars];
  StringCchPrintfW(number, kTextChars, u"%d of %d", app.playlistPos + 1, app.playlistCount);
  HDC hdc = PaneDc(pane);
  if (!hdc) return;
  RECT rc;
  GetClientRect(pane, &rc);
  int32_t width = rc.right - rc.left, height = rc.bottom - rc.top;
  if (clearFirst) FillPaneRect(pane, app.screenColor, nullptr);
  if (app.repeatMode == RepeatMode::One || app.repeatMode == RepeatMode::All) {
    DrawBitmap(hdc, app.repeatMode == RepeatMode::One ? app.repeatOneBitmap : app.repeatAllBitmap,
               width - 30, 4, 11, 7);
  }
  if (app.shuffle) DrawBitmap(hdc, app.shuffleBitmap, width - 15, 4, 11, 7);
  SetBkColor(hdc, app.screenColor);
  HGDIOBJ oldFont = SelectObject(hdc, app.smallFont);
  DrawTextW(hdc, number, -1, &rc, 0);
  SelectObject(hdc, app.largeFont);
  int32_t quarter = height / 4;
  for (const WCHAR* tag : {app.trackTags.title, app.trackTags.artist, app.trackTags.album}) {
    rc.top += quarter;
    WCHAR line[kTextChars];
    StringCchCopyW(line, kTextChars, tag);
    EllipsizeToWidth(line, width - 10);
    DrawTextW(hdc, line, -1, &rc, DT_CENTER);
  }
  SelectObject(hdc, oldFont);
  ReleaseDC(pane, hdc);
}

void PaintAboutView(HWND pane) {
  HDC hdc = PaneDc(pane);
  if (!hdc) return;
  RECT rc;
  GetClientRect(pane, &rc);
  SetBkColor(hdc, app.screenColor);
  HGDIOBJ oldFont = SelectObject(hdc, app.largeFont);
  rc.top += 10;
  rc.bottom -= 10;
  int32_t gap = (rc.bottom - rc.top) / 4;
  for (const WCHAR* line : kAboutLines) {
    DrawTextW(hdc, line, -1, &rc, DT_CENTER);
    rc.top += gap;
  }
  SelectObject(hdc, oldFont);
  ReleaseDC(pane, hdc);
}
