// The folder browser: listings of the music folders in MenuList, entering
// folders, starting a file, and going back up.
#pragma once

#include "app/app_state.h"

void ListFolder(HWND list, const WCHAR* folder);
// The row's full name (260 characters) and whether it is a folder.
bool RowFullName(HWND list, int32_t row, WCHAR* name, bool* isFolder);
void OpenBrowseRow(HWND list, int32_t row);
void BrowseUp(HWND list);
