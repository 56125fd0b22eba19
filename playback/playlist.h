// The playlist: one folder's music files in list order or shuffled, and moving
// through it with the repeat mode.
#pragma once

#include "app/app_state.h"

// The data word of a folder-listing row: the low 16 bits say folder (1) or
// file (0), the whole FileOrdinal stands above them. The word is
// pointer-sized, so folders of more than 65,536 entries keep their ordinals.
constexpr LPARAM kFolderRowFlag = 1;
constexpr int kOrdinalShift = 16;
constexpr LPARAM kRowKindMask = 0xFFFF;
constexpr LPARAM MakeListItemData(int32_t ordinal, bool isFolder) {
  return (static_cast<LPARAM>(ordinal) << kOrdinalShift) | (isFolder ? kFolderRowFlag : 0);
}
constexpr bool IsFolderItem(LPARAM data) {
  return (data & kRowKindMask) != 0;
}
constexpr int32_t ItemOrdinal(LPARAM data) {
  return static_cast<int32_t>(static_cast<uintptr_t>(data) >> kOrdinalShift);
}

// Pattern of every entry of a folder.
inline constexpr WCHAR kAllPattern[] = u"*.*";

// Entries matching the wildcard path (folders whose names match count too).
int32_t CountMatchingFiles(const WCHAR* pattern);
// Builds the playlist from the folder and the rows of the list, starting at
// the chosen row. False, with no playlist, when memory cannot be had.
bool BuildPlaylist(HWND list, const WCHAR* folder, int32_t row);
void NextTrack();
void PreviousTrack();
void EndPlaylist();
