// The playlist: one folder's MP3 files in list order or shuffled, and moving
// through it with the repeat mode.
#pragma once

#include "app/app_state.h"

// Entries of the folder matching the pattern (folder + "*.mp3").
int32_t CountMatchingFiles(const WCHAR* pattern);
// Builds the playlist from the folder and the rows of the list, starting at
// the chosen row. False, with no playlist, when it cannot.
bool BuildPlaylist(HWND list, const WCHAR* folder, int32_t row);
void NextTrack();
void PreviousTrack();
void EndPlaylist();
