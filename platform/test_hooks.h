// What tests, tools and benchmarks use to drive and look at the platform;
// never the program itself.
#pragma once

#include <functional>

#include "platform/audio_output.h"
#include "platform/base.h"
#include "platform/display.h"

// Headless display only: input as the stylus and keys would give it, in
// screen pixels, and the clock. Sleep and GetMessageW's waits advance the
// manual clock instead of waiting.
void InjectStylus(UINT message, int x, int y);  // WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONUP
// The same, arriving when the manual clock reaches the tick: input made while
// the player is busy (a pause, a scan).
void InjectStylusAt(DWORD ticks, UINT message, int x, int y);
void InjectKey(UINT virtualKey);
// The mouse's scroll wheel, positive away from the user; arriving at the tick (0: now).
void InjectWheel(int notches, DWORD ticks = 0);
void InjectDesktopClose();             // the desktop window's close button
void SetHeadlessBattery(int percent);  // -1: unknown (the default)
bool HeadlessKeptAwake();              // whether the screen saver is held off now
void SetManualClock(DWORD ticks);
void AdvanceManualClock(DWORD ms);
int PresentCount();  // frames presented so far
// Runs on the user-interface thread whenever the message loop has nothing to
// do and would wait: a test's way to look at a running program and act on it.
void SetHeadlessIdleHook(std::function<void()> hook);

// How often a face was searched for a character that a font lacks (the first
// search starts fontconfig).
int FontFallbackSearches();

// Reads a pixel of the framebuffer as a colour.
COLORREF ScreenPixel(int x, int y);
// Writes the framebuffer as a 24-bit BMP file. False on failure.
bool SaveScreenBitmap(const char* path);

// Called on the user-interface thread each time another program has brought
// a window of this process to the front.
void SetForegroundNoticeForTests(void (*notice)(HWND hwnd));

// Forgets every window, class, timer, message and drawing object, so that a
// test can start from a clean platform.
void ResetPlatformForTests();

// True when the sound back end's decoder has nothing left to do for now.
bool SoundDecoderIdleForTests();

namespace plat {

// The sound output's device becomes a sink that the test pulls from, closed
// until opened; resets the output. Pulling a closed or lost sink gives
// silence and takes nothing from the sources, as a closed device would.
void UseAudioSinkForTests(AudioFormat format);
size_t PullAudioSinkForTests(float* out, size_t frames);
bool AudioSinkOpenForTests();
// The next `count` opens of the sink fail as on a machine without a device.
void FailAudioOpensForTests(int count);
// The sink goes away as a sound server that stops would.
void LoseAudioSinkForTests();

// Called before each read of a stream's file, on the reading thread.
void SetSourceReadHookForTests(void (*hook)());
// Makes MusicRootPath look at the environment again on its next call.
void ResetMusicRootForTests();

// The parts of ResetPlatformForTests.
void ResetWindowsForTests();
void ResetMessagesForTests();
void ResetGdiForTests();
void ResetTextForTests();
void ResetInstanceForTests();

}  // namespace plat
