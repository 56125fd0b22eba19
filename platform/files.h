// Folders and files. Paths keep the device's form: "\" is the music root and
// folders are separated by backslashes ("\Albums\Blue\song.mp3"). Only the
// platform turns them into real paths under the music root.
#pragma once

#include "platform/base.h"

constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x01;
constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x02;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;

// What the player reads of an entry: its attributes and its name. Sizes and
// times are left out, since finding them would cost a look-up per entry.
struct WIN32_FIND_DATAW {
  DWORD dwFileAttributes;
  WCHAR cFileName[MAX_PATH];
};

// The pattern of every music file: a name that ends in .mp3, .flac, .ogg,
// .oga, .opus or .wav, letter case aside. As long as "*.mp3", so that a
// folder's path with it appended fits the path buffers as far as it did.
inline constexpr WCHAR kMusicPattern[] = u"*.mus";

// Enumerates the entries of one folder that match the last component of the
// pattern ("*.*" every entry, "*.mp3" any letter case, kMusicPattern, or a
// plain name). Never yields "." or "..", treats a link to a folder as a
// folder, and yields an unchanged folder in the same order on every pass.
HANDLE FindFirstFileW(const WCHAR* pattern, WIN32_FIND_DATAW* data);
BOOL FindNextFileW(HANDLE find, WIN32_FIND_DATAW* data);
BOOL FindClose(HANDLE find);

// The attributes of a file or folder under the music root ("\\" is the root
// itself); INVALID_FILE_ATTRIBUTES when there is none.
DWORD GetFileAttributesW(const WCHAR* path);

// A file under the music root opened for reading in pieces, and its size;
// INVALID_HANDLE_VALUE when it cannot be opened or is no regular file.
HANDLE OpenFileForReading(const WCHAR* path, uint64_t* size);
// Reads up to `count` bytes from `offset` on; the number read, fewer only at
// the end of the file or when reading fails.
DWORD ReadFileAt(HANDLE file, uint64_t offset, BYTE* buffer, DWORD count);
BOOL CloseHandle(HANDLE file);

// The program's own executable as a device-form path is meaningless, so this
// gives its real location as the device would: the full path with its
// separators turned into backslashes. 0 on failure.
DWORD GetModuleFileNameW(HINSTANCE module, WCHAR* buffer, DWORD size);
// Where a file that ships with the program lies, in the same form: beside the
// program (a build folder), or in <prefix>\share\vesk\ when only there (an
// installed <prefix>\bin\vesk). 0 on failure or when the path does not fit.
DWORD ProgramFilePath(const WCHAR* name, WCHAR* buffer, DWORD size);

// Where "\" lies: $VESK_MUSIC_DIR, else the XDG music folder when it exists,
// else the demo folder that ships with the program. Decided once, on first use.
// Returns the real path in UTF-8 (for the README's messages and tests).
const char* MusicRootPath();
// The same as its user knows it, for messages: the home folder as "~".
// Returns its length; 0 when it does not fit the buffer.
DWORD GetMusicFolderName(WCHAR* buffer, DWORD size);
