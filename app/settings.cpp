#include "app/settings.h"

#include <algorithm>

#include "app/app_state.h"
#include "platform/registry.h"
#include "platform/strings.h"

static const WCHAR kSettingsKey[] = u"Software\\Mireva\\Vesk";
static const WCHAR kVolumeValue[] = u"Volume";
static const WCHAR kShuffleValue[] = u"Shuffle";
static const WCHAR kRepeatValue[] = u"Repeat";
static const WCHAR kClickerValue[] = u"Clicker";
static const WCHAR kBackLightValue[] = u"BackLight";
static const WCHAR kShellValue[] = u"Shell";
static const WCHAR kLastPldValue[] = u"LastPld";
static const WCHAR kLastTrkValue[] = u"LastTrk";  // the track's name within LastPld
static const WCHAR kLastPosValue[] = u"LastPos";  // the place heard in it, in milliseconds
constexpr WCHAR kSeparator = u'\\';

constexpr int32_t kDefaultVolume = 50;
constexpr int32_t kDefaultClicker = 1;

bool AccessSetting(int direction, const WCHAR* name, DWORD* type, BYTE* data, DWORD* size) {
  HKEY key;
  DWORD disposition;
  WCHAR noClass[] = u"";
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, noClass, 0, 0, nullptr, &key,
                      &disposition) != ERROR_SUCCESS)
    return false;
  LONG result = ERROR_INVALID_PARAMETER;
  if (direction == kWriteSetting) {
    result = RegSetValueExW(key, name, 0, *type, data, *size);
  } else if (direction == kReadSetting) {
    result = RegQueryValueExW(key, name, nullptr, type, data, size);
  }
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

// The stored type is not looked at, but a value of any size other than 4
// bytes is no integer: it would leave part of the field unset.
static int32_t ReadInteger(const WCHAR* name, int32_t fallback) {
  BYTE bytes[4];
  DWORD type = REG_DWORD;
  DWORD size = sizeof bytes;
  if (!AccessSetting(kReadSetting, name, &type, bytes, &size) || size != sizeof bytes)
    return fallback;
  return static_cast<int32_t>(bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) |
                              (DWORD{bytes[3]} << 24));
}

static void WriteInteger(const WCHAR* name, int32_t value) {
  DWORD v = static_cast<DWORD>(value);
  BYTE bytes[4] = {static_cast<BYTE>(v), static_cast<BYTE>(v >> 8), static_cast<BYTE>(v >> 16),
                   static_cast<BYTE>(v >> 24)};
  DWORD type = REG_DWORD;
  DWORD size = sizeof bytes;
  AccessSetting(kWriteSetting, name, &type, bytes, &size);
}

// A text of a path field, stored with its terminating zero.
static void WriteText(const WCHAR* name, const WCHAR* text) {
  WCHAR stored[kPathChars];
  DWORD length = 0;  // never past the field, even were its zero missing
  for (; length < kPathChars - 1 && text[length]; ++length) stored[length] = text[length];
  stored[length] = 0;
  DWORD type = REG_SZ;
  DWORD size = (length + 1) * sizeof(WCHAR);
  AccessSetting(kWriteSetting, name, &type, reinterpret_cast<BYTE*>(stored), &size);
}

// The track to resume is a name within LastPld. A damaged value (another
// type, too long, a path rather than a name) leaves nothing to resume, and a
// damaged place (a negative one) resumes the track at its start.
static void LoadResumePoint() {
  app.lastPlayedFile[0] = 0;
  app.lastPlayedMs = 0;
  WCHAR name[kPathChars];
  DWORD type = REG_SZ;
  DWORD size = sizeof name;
  if (!AccessSetting(kReadSetting, kLastTrkValue, &type, reinterpret_cast<BYTE*>(name), &size) ||
      type != REG_SZ)
    return;
  name[std::min<DWORD>(size / sizeof(WCHAR), kPathChars - 1)] = 0;
  if (!StringCchCopyW(app.lastPlayedFile, kPathChars, app.lastPlayedFolder) ||
      !StringCchCatW(app.lastPlayedFile, kPathChars, name) || !LastPlayedName()) {
    app.lastPlayedFile[0] = 0;
    return;
  }
  app.lastPlayedMs = std::max(ReadInteger(kLastPosValue, 0), 0);
}

const WCHAR* LastPlayedName() {
  const WCHAR* folder = app.lastPlayedFolder;
  int length = lstrlenW(folder);
  if (length == 0 || folder[0] != kSeparator || folder[length - 1] != kSeparator) return nullptr;
  for (int i = 0; i < length; ++i) {
    if (app.lastPlayedFile[i] != folder[i]) return nullptr;
  }
  const WCHAR* name = app.lastPlayedFile + length;
  for (const WCHAR* c = name; *c; ++c) {
    if (*c == kSeparator) return nullptr;
  }
  return name[0] ? name : nullptr;
}

void LoadSettings() {
  app.volume = ReadInteger(kVolumeValue, kDefaultVolume);
  app.shuffle = ReadInteger(kShuffleValue, 0);
  app.repeatMode = static_cast<RepeatMode>(ReadInteger(kRepeatValue, 0));
  app.clicker = ReadInteger(kClickerValue, kDefaultClicker);
  app.backlight = ReadInteger(kBackLightValue, 0);
  app.shell = static_cast<Shell>(ReadInteger(kShellValue, 0));

  app.lastPlayedFolder[0] = 0;
  DWORD type = REG_SZ;
  DWORD size = sizeof app.lastPlayedFolder;
  if (AccessSetting(kReadSetting, kLastPldValue, &type,
                    reinterpret_cast<BYTE*>(app.lastPlayedFolder), &size)) {
    // The stored text need not end in a zero (or may end in half a character):
    // end it after the last whole character, within the field.
    app.lastPlayedFolder[std::min<DWORD>(size / sizeof(WCHAR), kPathChars - 1)] = 0;
  }
  LoadResumePoint();
}

void SaveSettings() {
  WriteInteger(kVolumeValue, app.volume);
  WriteInteger(kShuffleValue, app.shuffle);
  WriteInteger(kRepeatValue, static_cast<int32_t>(app.repeatMode));
  WriteInteger(kClickerValue, app.clicker);
  WriteInteger(kBackLightValue, app.backlight);
  WriteInteger(kShellValue, static_cast<int32_t>(app.shell));
  WriteText(kLastPldValue, app.lastPlayedFolder);
  const WCHAR* name = LastPlayedName();
  WriteText(kLastTrkValue, name ? name : u"");
  WriteInteger(kLastPosValue, name ? app.lastPlayedMs : 0);
}
