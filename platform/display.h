// Where the framebuffer is shown and where input comes from. The program uses
// the desktop window (SDL2); tests and tools use the headless display, which
// shows nothing, takes input that the caller injects and runs on a manual
// clock, so that timers and animations are deterministic.
#pragma once

#include <functional>

#include "platform/base.h"

enum class DisplayKind { Window, Headless };

// Chooses the display before the first window is created; Window by default.
void SelectDisplay(DisplayKind kind);

// Headless display only: input as the stylus and keys would give it, in
// screen pixels, and the clock. Sleep and GetMessageW's waits advance the
// manual clock instead of waiting.
void InjectStylus(UINT message, int x, int y);  // WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONUP
// The same, arriving when the manual clock reaches the tick: input made while
// the player is busy (a pause, a scan).
void InjectStylusAt(DWORD ticks, UINT message, int x, int y);
void InjectKey(UINT virtualKey);
void InjectWheel(int notches);  // the mouse's scroll wheel; positive away from the user
void InjectDesktopClose();      // the desktop window's close button
void SetHeadlessBattery(int percent);
bool HeadlessKeptAwake();  // whether the screen saver is held off now  // -1: unknown (the default)
void SetManualClock(DWORD ticks);
void AdvanceManualClock(DWORD ms);
int PresentCount();  // frames presented so far
// Runs on the user-interface thread whenever the message loop has nothing to
// do and would wait: a test's way to look at a running program and act on it.
void SetHeadlessIdleHook(std::function<void()> hook);

// Reads a pixel of the framebuffer as a colour (tests and tools).
COLORREF ScreenPixel(int x, int y);
// Writes the framebuffer as a 24-bit BMP file (tools). False on failure.
bool SaveScreenBitmap(const char* path);

// Forgets every window, class, timer, message and drawing object, so that a
// test can start from a clean platform. Not for the program.
void ResetPlatformForTests();
