// The settings store. Each key is a text file in the registry-export form
// under $XDG_CONFIG_HOME (default ~/.config), readable and editable by hand.
// It is read once and kept in memory; writing replaces the file atomically;
// a damaged line is ignored.
#pragma once

#include "platform/base.h"

inline HKEY const HKEY_CURRENT_USER = reinterpret_cast<HKEY>(uintptr_t{0x80000001});

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;

constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_ACCESS_DENIED = 5;
constexpr LONG ERROR_INVALID_HANDLE = 6;
constexpr LONG ERROR_INVALID_PARAMETER = 87;
constexpr LONG ERROR_MORE_DATA = 234;

constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Creates the key (and its file) when missing.
LONG RegCreateKeyExW(HKEY root, const WCHAR* subKey, DWORD reserved, WCHAR* className,
                     DWORD options, DWORD access, void* security, HKEY* result, DWORD* disposition);
// Stores the bytes as given, under the given type.
LONG RegSetValueExW(HKEY key, const WCHAR* name, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD size);
// size holds the buffer size and receives the stored size; ERROR_MORE_DATA
// when the stored data is larger than the buffer.
LONG RegQueryValueExW(HKEY key, const WCHAR* name, DWORD* reserved, DWORD* type, BYTE* data,
                      DWORD* size);
LONG RegCloseKey(HKEY key);
// Writes the changes made since the last flush as one atomic replace of the
// file. The message loop calls it before it waits, and the program at its end,
// so a burst of changes (the quit's) reaches the disk whole or not at all.
LONG RegFlushKey(HKEY key);

// The file that holds a key of HKEY_CURRENT_USER (UTF-8 path).
const char* SettingsFilePath();
