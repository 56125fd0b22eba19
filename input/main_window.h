// The main window: the frame, the wheel and the four buttons, the timer.
#pragma once

#include "app/app_state.h"
#include "platform/device.h"

constexpr UINT_PTR kTimerId = 1;
constexpr UINT kTimerPeriodMs = 1000;
constexpr int32_t kStatusRefreshTicks = 5;
constexpr DWORD kFullScreenFlags = SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON | SHFS_HIDESTARTICON;

LRESULT MainWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
