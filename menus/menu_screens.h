// The menu screens of the simulated player: the Main, Settings and Shells
// menus, About, and which panes show on which screen.
#pragma once

#include "app/app_state.h"

// The Main menu's row that leads to the browser; also the root's header.
inline constexpr WCHAR kBrowseRow[] = u"Browse";

// Shows the Main menu and selects the row that begins with the selection text.
void ShowMainMenu(HWND list, const WCHAR* selection);
void ShowSettingsMenu(HWND list, int32_t row);
void ShowShellsMenu(HWND list, int32_t row);
void SelectMainMenuRow(HWND list, int32_t row);
void SelectSettingsRow(HWND list, int32_t row);
void SelectShellRow(HWND list, int32_t row);
void MenuButtonAction();
void CentreButtonAction();
void ShowNowPlayingPanes();
void ShowMenuPanes();
void ShowAbout();
void HideAbout();
