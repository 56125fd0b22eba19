// A clean headless platform for each test: no window, no display, a manual clock.
#pragma once

#include <gtest/gtest.h>

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
