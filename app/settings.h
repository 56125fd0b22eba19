// The settings that outlive the program: loaded once before any window
// exists, saved once when the player quits.
#pragma once

#include "platform/base.h"

constexpr int kWriteSetting = 0;
constexpr int kReadSetting = 1;

// Writes or reads one value of the player's key, creating the key when it is
// missing. A read takes the buffer size in *size and returns the stored size
// and type. True on success.
bool AccessSetting(int direction, const WCHAR* name, DWORD* type, BYTE* data, DWORD* size);
// The name of lastPlayedFile within lastPlayedFolder, the track to resume;
// null when it lies elsewhere or there is none.
const WCHAR* LastPlayedName();
// Fills the settings fields of app; what cannot be read takes its default.
void LoadSettings();
// Writes the settings fields of app; failures are ignored.
void SaveSettings();
