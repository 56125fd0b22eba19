// The folder browser: listings of the music folders in MenuList, entering
// folders, starting a file, and going back up.
#pragma once

#include "app/app_state.h"

// Fills the list with the folder's sub-folders (Arrow rows) and music files
// (without their extension), sorted together; the selection is the caller's. An empty
// listing of the music folder says why in the list's place.
void ListFolder(HWND list, const WCHAR* folder);
// Says on standard error when the music folder is missing or has nothing to list.
void ReportMissingMusic();
// The row's full name (260 characters) and whether it is a folder. A row cut
// with "..." is looked up again in browsePath by its FileOrdinal, and a file
// name found that way keeps its extension. False when there is no such row.
bool RowFullName(HWND list, int32_t row, WCHAR* name, bool* isFolder);
// The row of the folder's file of that name (with its extension) in the
// list holding the folder's listing; -1 when it has none.
int32_t FileRow(HWND list, const WCHAR* folder, const WCHAR* name);
// Enters the chosen folder, or starts the chosen file's folder from it.
void OpenBrowseRow(HWND list, int32_t row);
// Back to the listing from the Now Playing panes, up one folder, or from the
// root to the Main menu.
void BrowseUp(HWND list);
