#include "menus/menu_screens.h"

#include "menus/menu_list.h"
#include "platform/files.h"
#include "platform/instance.h"
#include "platform/strings.h"
#include "platform/window.h"

namespace {

constexpr const WCHAR* kMainHeader = kMainWindowTitle;
constexpr const WCHAR* kBrowseRow = u"Browse";
constexpr const WCHAR* kLastPlayedRow = u"Last Played";
constexpr const WCHAR* kSettingsRow = u"Settings";
constexpr const WCHAR* kBacklightRow = u"Backlight";
constexpr const WCHAR* kHideRow = u"Hide";
constexpr const WCHAR* kSleepRow = u"Sleep";
constexpr const WCHAR* kNowPlayingRow = u"Now Playing";

// Whether the last played folder still exists. The root gives an empty
// path, which is never found, so it never offers the row.
bool LastPlayedFolderExists() {
  WCHAR path[kPathChars];
  StringCchCopyW(path, kPathChars, app.lastPlayedFolder);
  int length = lstrlenW(path);
  if (length == 0) return false;
  path[length - 1] = 0;
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW(path, &found);
  if (find == INVALID_HANDLE_VALUE) return false;
  FindClose(find);
  return true;
}

}  // namespace

void ShowMainMenu(HWND list, const WCHAR* selection) {
  StringCchCopyW(app.headerTitle, kTextChars, kMainHeader);
  InvalidateRect(GetDlgItem(app.mainWindow, kStatusBarId), nullptr, TRUE);
  BeginRefill(list);
  AddMenuRow(list, kBrowseRow, RowKind::Arrow, false);
  if (app.lastPlayedFolder[0] && LastPlayedFolderExists()) {
    AddMenuRow(list, kLastPlayedRow, RowKind::Arrow, false);
  }
  AddMenuRow(list, kSettingsRow, RowKind::Arrow, false);
  AddMenuRow(list, kBacklightRow, RowKind::Plain, false);
  AddMenuRow(list, kHideRow, RowKind::Plain, false);
  AddMenuRow(list, kSleepRow, RowKind::Plain, false);
  if (app.streamOpen == 1) AddMenuRow(list, kNowPlayingRow, RowKind::Arrow, false);
  SendMessageW(list, LB_SELECTSTRING, 0, reinterpret_cast<LPARAM>(selection));
  EndRefill(list);
  app.menuKind = MenuKind::Main;
}

// The other screens arrive with the wheel and the buttons.
void ShowSettingsMenu(HWND, int32_t) {}
void ShowShellsMenu(HWND, int32_t) {}
void SelectMainMenuRow(HWND, int32_t) {}
void SelectSettingsRow(HWND, int32_t) {}
void SelectShellRow(HWND, int32_t) {}
void MenuButtonAction() {}
void CentreButtonAction() {}
void ShowNowPlayingPanes() {}
void ShowMenuPanes() {}
void ShowAbout() {}
void HideAbout() {}
