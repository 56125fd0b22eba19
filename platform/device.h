// Other device services: the clock, sleeping, the message box, battery, the
// idle timer, random numbers and the time format.
#pragma once

#include "platform/base.h"

DWORD GetTickCount();  // milliseconds; wraps after 49.7 days
void Sleep(DWORD ms);  // presents what was drawn first

constexpr UINT MB_OK = 0x00000000;
constexpr int IDOK = 1;
// A modal box on the desktop; without a display the text goes to standard error.
int MessageBoxW(HWND owner, const WCHAR* text, const WCHAR* caption, UINT type);
// The device's debug output: a line of standard error here, after "vesk: ".
void OutputDebugStringW(const WCHAR* text);

struct SYSTEM_POWER_STATUS_EX {
  BYTE ACLineStatus;
  BYTE BatteryFlag;
  BYTE BatteryLifePercent;  // 0..100, or 255 when unknown
  BYTE Reserved1;
  DWORD BatteryLifeTime;
  DWORD BatteryFullLifeTime;
};
BOOL GetSystemPowerStatusEx(SYSTEM_POWER_STATUS_EX* status, BOOL update);

// The device's full-screen switch: the presenter decides what the window
// looks like, so these only exist for the calls the player makes.
constexpr DWORD SHFS_HIDETASKBAR = 0x0002;
constexpr DWORD SHFS_HIDESIPBUTTON = 0x0008;
constexpr DWORD SHFS_HIDESTARTICON = 0x0020;
BOOL SHFullScreen(HWND hwnd, DWORD state);

// Keeps the screen saver off until the next call with false.
void KeepDisplayAwake(bool awake);

DWORD Random();  // a well-seeded 32-bit pseudo-random number

struct SYSTEMTIME {
  WORD wYear;
  WORD wMonth;
  WORD wDayOfWeek;
  WORD wDay;
  WORD wHour;
  WORD wMinute;
  WORD wSecond;
  WORD wMilliseconds;
};
// Supports the quoted literals and the m, mm, ss and s fields of the player's
// formats ("m':'ss"); minutes of 60 and more show whole minutes.
int GetTimeFormatW(DWORD locale, DWORD flags, const SYSTEMTIME* time, const WCHAR* format,
                   WCHAR* buffer, int size);
