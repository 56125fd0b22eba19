// A clean headless platform for each test: no window, no display, a manual clock.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "platform/test_hooks.h"
#include "platform/window.h"

class Headless : public ::testing::Test {
 protected:
  void SetUp() override {
    SelectDisplay(DisplayKind::Headless);
    ResetPlatformForTests();
  }
  void TearDown() override { ResetPlatformForTests(); }
};

// Dispatches every message that is due now, paints and timers included.
inline int PumpMessages() {
  MSG msg;
  int count = 0;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) break;
    DispatchMessageW(&msg);
    ++count;
  }
  return count;
}

// The screen's pixels in an area, row by row, to compare before and after.
inline std::vector<COLORREF> ScreenPixels(RECT area = {0, 0, 240, 320}) {
  std::vector<COLORREF> pixels;
  for (int y = area.top; y < area.bottom; ++y)
    for (int x = area.left; x < area.right; ++x) pixels.push_back(ScreenPixel(x, y));
  return pixels;
}
