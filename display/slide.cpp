#include "display/slide.h"

#include "platform/device.h"
#include "platform/gdi.h"
#include "platform/window.h"

namespace {

constexpr int32_t kStrip = 4;  // pixels the content moves per frame
constexpr DWORD kFrameMs = 1;

// One frame: the copy, shown at once so that the slide is seen.
void CopyFrame(HDC hdc, int x, int y, int width, int height, int fromX) {
  PaceFrame(kFrameMs, FramePhase::Begin);
  BitBlt(hdc, x, y, width, height, hdc, fromX, y, SRCCOPY);
  GdiFlush();
  PaceFrame(kFrameMs, FramePhase::End);
}

}  // namespace

void SlideOut(HWND pane, SlideDirection direction, COLORREF color) {
  RECT rc;
  if (!GetClientRect(pane, &rc)) return;  // a missing pane has nothing to slide
  HDC hdc = GetDC(pane);
  int32_t width = rc.right - rc.left, height = rc.bottom - rc.top;
  HBRUSH brush = CreateSolidBrush(color);
  if (direction == SlideDirection::Left) {
    RECT strip{rc.right - kStrip, rc.top, rc.right, rc.bottom};
    FillRect(hdc, &strip, brush);
    if (width > kStrip) {
      uint32_t frames = (static_cast<uint32_t>(width - 5) >> 2) + 1;
      int32_t w = width - kStrip;
      for (uint32_t i = 0; i < frames; ++i, w -= kStrip) {
        CopyFrame(hdc, rc.left, rc.top, w, height, rc.left + kStrip);
      }
    }
  } else {
    RECT strip{rc.left, rc.top, rc.left + kStrip, rc.bottom};
    FillRect(hdc, &strip, brush);
    for (int32_t offset = kStrip, w = width - kStrip; offset < width;
         offset += kStrip, w -= kStrip) {
      CopyFrame(hdc, rc.left + offset, rc.top, w, height, rc.left + offset - kStrip);
    }
  }
  ReleaseDC(pane, hdc);
  DeleteObject(brush);
}

void PaceFrame(DWORD durationMs, FramePhase phase) {
  if (phase == FramePhase::Begin) {
    app.frameDurationMs = durationMs;
    app.frameStartTick = GetTickCount();
    return;
  }
  DWORD elapsed = GetTickCount() - app.frameStartTick;  // right across a wrap
  if (elapsed < app.frameDurationMs) Sleep(app.frameDurationMs - elapsed);
}
