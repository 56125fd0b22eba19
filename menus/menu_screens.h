// The menu screens of the simulated player.
#pragma once

#include "app/app_state.h"

// Shows the Main menu and selects the row that begins with the selection text.
void ShowMainMenu(HWND list, const WCHAR* selection);
