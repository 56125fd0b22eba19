#include "input/main_window.h"

#include "app/player.h"
#include "display/painters.h"
#include "display/skin.h"
#include "platform/gdi.h"
#include "platform/window.h"

namespace {

void OnTimer() {
  if (++app.tickCount >= kStatusRefreshTicks) {
    app.tickCount = 0;
    PaintStatusBar(GetDlgItem(app.mainWindow, kStatusBarId), false);
  }
}

void OnCommand(HWND hwnd, WPARAM wParam) {
  if (HIWORD(wParam) == LBN_SELCHANGE) PaintScrollBar(GetDlgItem(app.mainWindow, kScrollBarId));
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
      app.timerId = static_cast<int32_t>(SetTimer(hwnd, kTimerId, kTimerPeriodMs, nullptr));
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
    case WM_COMMAND:
      OnCommand(hwnd, wParam);
      return 0;
    case WM_TIMER:
      OnTimer();
      return 0;
    case WM_CTLCOLORLISTBOX:
      SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
      SetFocus(GetDlgItem(app.mainWindow, kMenuListId));
      return reinterpret_cast<LRESULT>(app.screenBrush);
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
