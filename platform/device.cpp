// Clock, sleeping, the message box, power, the screen saver, random numbers
// and the time format.
#include "platform/device.h"

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>

#include "platform/internal.h"
#include "platform/strings.h"

using namespace plat;

DWORD GetTickCount() {
  return Backend().Ticks();
}

void Sleep(DWORD ms) {
  PresentIfDirty();  // whatever was drawn is seen during the pause
  Backend().Delay(ms);
}

int MessageBoxW(HWND, const WCHAR* text, const WCHAR* caption, UINT) {
  PresentIfDirty();  // whatever was drawn is seen behind the box
  Backend().ShowMessage(ToUtf8(View(caption)).c_str(), ToUtf8(View(text)).c_str());
  return IDOK;
}

void OutputDebugStringW(const WCHAR* text) {
  std::fprintf(stderr, "vesk: %s\n", ToUtf8(View(text)).c_str());
}

BOOL GetSystemPowerStatusEx(SYSTEM_POWER_STATUS_EX* status, BOOL) {
  if (!status) return FALSE;
  *status = SYSTEM_POWER_STATUS_EX{};
  int percent;
  status->BatteryLifePercent =
      Backend().BatteryPercent(&percent) ? static_cast<BYTE>(std::clamp(percent, 0, 100)) : 255;
  return TRUE;
}

BOOL SHFullScreen(HWND, DWORD) {
  return TRUE;
}

void KeepDisplayAwake(bool awake) {
  Backend().KeepAwake(awake);
}

DWORD Random() {
  static std::mt19937 generator{std::random_device{}()};
  return static_cast<DWORD>(generator());
}

int GetTimeFormatW(DWORD, DWORD, const SYSTEMTIME* time, const WCHAR* format, WCHAR* buffer,
                   int size) {
  if (!time || !format || time->wSecond > 59) return 0;
  std::u16string out;
  auto number = [&](int value, bool twoDigits) {
    if (twoDigits && value < 10) out.push_back(u'0');
    for (char c : std::to_string(value)) out.push_back(static_cast<char16_t>(c));
  };

  for (const WCHAR* p = format; *p;) {
    WCHAR c = *p;
    int run = 1;
    while (p[run] == c) ++run;
    if (c == u'\'') {
      // A quoted literal; two quotes in a row stand for one.
      ++p;
      while (*p && !(*p == u'\'' && p[1] != u'\'')) {
        if (*p == u'\'') ++p;
        out.push_back(*p++);
      }
      if (*p) ++p;
      continue;
    }
    switch (c) {
      case u'h':
        number(time->wHour % 12 == 0 ? 12 : time->wHour % 12, run >= 2);
        break;
      case u'H':
        number(time->wHour, run >= 2);
        break;
      case u'm':  // 60 minutes and more stay whole minutes
        number(time->wMinute, run >= 2);
        break;
      case u's':
        number(time->wSecond, run >= 2);
        break;
      case u't':
        out += time->wHour < 12 ? u"AM" : u"PM";
        if (run == 1) out.pop_back();
        break;
      default:
        out.append(run, c);
    }
    p += run;
  }
  if (!buffer || size <= 0) return static_cast<int>(out.size()) + 1;
  if (static_cast<int>(out.size()) + 1 > size) return 0;
  StringCchCopyW(buffer, size, out.c_str());
  return static_cast<int>(out.size()) + 1;
}
