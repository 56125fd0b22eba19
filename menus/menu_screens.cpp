#include "menus/menu_screens.h"

#include <iterator>

#include "app/services.h"
#include "app/settings.h"
#include "display/painters.h"
#include "display/skin.h"
#include "display/slide.h"
#include "menus/browser.h"
#include "menus/menu_list.h"
#include "platform/files.h"
#include "platform/gdi.h"
#include "platform/instance.h"
#include "platform/strings.h"
#include "platform/window.h"

namespace {

constexpr const WCHAR* kMainHeader = kMainWindowTitle;
constexpr const WCHAR* kLastPlayedRow = u"Last Played";
constexpr const WCHAR* kSettingsRow = u"Settings";
constexpr const WCHAR* kBacklightRow = u"Backlight";
constexpr const WCHAR* kHideRow = u"Hide";
constexpr const WCHAR* kSleepRow = u"Sleep";
constexpr const WCHAR* kNowPlayingRow = u"Now Playing";

constexpr const WCHAR* kSettingsHeader = u"Settings";
constexpr const WCHAR* kShellsHeader = u"Shells";
constexpr const WCHAR* kAboutHeader = u"About";
constexpr const WCHAR* kNowPlayingHeader = u"Now Playing";
constexpr const WCHAR* kLastPlayedHeader = u"Last Played";
constexpr const WCHAR* kRootFolder = u"\\";

constexpr const WCHAR* kAboutRow = u"About";
constexpr const WCHAR* kShellsRow = u"Shells";
constexpr const WCHAR* kShuffleRows[] = {u"Shuffle  Off", u"Shuffle  On"};
constexpr const WCHAR* kRepeatRows[] = {u"Repeat  Off", u"Repeat  One", u"Repeat  All"};
constexpr const WCHAR* kClickerRows[] = {u"Clicker  Off", u"Clicker  On"};
constexpr const WCHAR* kShellRows[] = {u"Classic", u"Night"};
constexpr int32_t kAboutRowIndex = 0;
constexpr int32_t kShellsRowIndex = 1;

void SetHeader(const WCHAR* title) {
  StringCchCopyW(app.headerTitle, kTextChars, title);
  InvalidateRect(Pane(kStatusBarId), nullptr, TRUE);
}

// A header that must show before the slide's pause ends: drawn at once.
void PaintHeaderNow(const WCHAR* title) {
  StringCchCopyW(app.headerTitle, kTextChars, title);
  PaintStatusBar(Pane(kStatusBarId), true);
}

void Show(int id) {
  ShowWindow(Pane(id), SW_SHOW);
}
void Hide(int id) {
  ShowWindow(Pane(id), SW_HIDE);
}

// The rows that are the same text with or without the arrow.
bool IsRow(const WCHAR* text, const WCHAR* row, RowKind kind) {
  WCHAR whole[kTextChars];
  StringCchCopyW(whole, kTextChars, row);
  if (kind == RowKind::Arrow) StringCchCatW(whole, kTextChars, kArrowSuffix);
  return lstrcmpW(text, whole) == 0;
}

// Ends the refill of a menu with the row at the index selected.
void SelectAndShow(HWND list, int32_t row) {
  SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(row), 0);
  EndRefill(list);
}

// Into a folder listing through the Browse or Last Played row, with the
// file's row selected when it has one, else the first row.
void EnterBrowser(HWND list, const WCHAR* folder, const WCHAR* header, const WCHAR* file) {
  StringCchCopyW(app.browsePath, kPathChars, folder);
  SlideOut(list, SlideDirection::Left, app.screenColor);
  SetHeader(header);
  ListFolder(list, app.browsePath);
  int32_t row = file ? FileRow(list, app.browsePath, file) : -1;
  SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(row < 0 ? 0 : row), 0);
}

void ToggleBacklight() {
  if (app.backlight == 1) {
    app.backlight = 0;
    app.screenColor = kScreenColorUnlit;
  } else {
    app.backlight = 1;
    app.screenColor = kScreenColorLit;
  }
  if (app.screenBrush) DeleteObject(app.screenBrush);
  app.screenBrush = CreateSolidBrush(app.screenColor);
  InvalidateRect(Pane(kMenuListId), nullptr, TRUE);
  InvalidateRect(Pane(kScrollBarId), nullptr, TRUE);
  InvalidateRect(Pane(kStatusBarId), nullptr, TRUE);
}

// The chosen row's text, as the list holds it.
void RowText(HWND list, int32_t row, WCHAR* text) {
  text[0] = 0;
  if (SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(text)) <
      0) {
    text[0] = 0;
  }
}

// Whether the last played folder still exists. The root gives an empty
// path, which is never found, so it never offers the row. Nor does a path
// with '*' or '?' (an edited setting): a look-up would take it for a pattern
// and list a whole folder to match some other one.
bool LastPlayedFolderExists() {
  WCHAR path[kPathChars];
  StringCchCopyW(path, kPathChars, app.lastPlayedFolder);
  int length = lstrlenW(path);
  if (length == 0) return false;
  for (int i = 0; i < length; ++i) {
    if (path[i] == u'*' || path[i] == u'?') return false;
  }
  path[length - 1] = 0;
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW(path, &found);
  if (find == INVALID_HANDLE_VALUE) return false;
  FindClose(find);
  return true;
}

}  // namespace

void ShowMainMenu(HWND list, const WCHAR* selection) {
  SetHeader(kMainHeader);
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

void ShowSettingsMenu(HWND list, int32_t row) {
  SetHeader(kSettingsHeader);
  BeginRefill(list);
  AddMenuRow(list, kAboutRow, RowKind::Arrow, false);
  AddMenuRow(list, kShellsRow, RowKind::Arrow, false);
  AddMenuRow(list, kShuffleRows[app.shuffle != 0], RowKind::Plain, false);
  int32_t repeat = static_cast<int32_t>(app.repeatMode);
  if (repeat >= 0 && repeat < static_cast<int32_t>(std::size(kRepeatRows))) {
    AddMenuRow(list, kRepeatRows[repeat], RowKind::Plain, false);
  }
  AddMenuRow(list, kClickerRows[app.clicker != 0], RowKind::Plain, false);
  SelectAndShow(list, row);
  app.menuKind = MenuKind::Settings;
}

void ShowShellsMenu(HWND list, int32_t row) {
  SetHeader(kShellsHeader);
  BeginRefill(list);
  for (const WCHAR* shell : kShellRows) AddMenuRow(list, shell, RowKind::Plain, false);
  SelectAndShow(list, row);
  app.menuKind = MenuKind::Shells;
}

void SelectMainMenuRow(HWND list, int32_t row) {
  WCHAR text[kTextChars];
  RowText(list, row, text);
  switch (text[0]) {
    case u'B':
      if (IsRow(text, kBrowseRow, RowKind::Arrow)) {
        EnterBrowser(list, kRootFolder, kBrowseRow, nullptr);
      } else if (IsRow(text, kBacklightRow, RowKind::Plain)) {
        ToggleBacklight();
      }
      break;
    case u'H':
      // The player goes on playing out of sight; starting it again shows it.
      ShowWindow(app.mainWindow, SW_HIDE);
      break;
    case u'L':
      EnterBrowser(list, app.lastPlayedFolder, kLastPlayedHeader, LastPlayedName());
      break;
    case u'N':
      SlideOut(list, SlideDirection::Left, app.screenColor);
      ShowNowPlayingPanes();
      app.menuKind = MenuKind::NowPlaying;
      break;
    case u'S':
      if (IsRow(text, kSleepRow, RowKind::Plain)) {
        SendMessageW(app.mainWindow, WM_COMMAND, kQuitCommand, 0);
      } else if (IsRow(text, kSettingsRow, RowKind::Arrow)) {
        SlideOut(list, SlideDirection::Left, app.screenColor);
        ShowSettingsMenu(list, 0);
      }
      break;
  }
}

void SelectSettingsRow(HWND list, int32_t row) {
  WCHAR text[kTextChars];
  RowText(list, row, text);
  switch (text[0]) {
    case u'A':
      SlideOut(list, SlideDirection::Left, app.screenColor);
      ShowAbout();
      break;
    case u'C':
      app.clicker = app.clicker == 0 ? 1 : 0;
      ShowSettingsMenu(list, row);
      break;
    case u'R': {
      int32_t next = static_cast<int32_t>(app.repeatMode) + 1;
      app.repeatMode = next > static_cast<int32_t>(RepeatMode::All) ? RepeatMode::Off
                                                                    : static_cast<RepeatMode>(next);
      ShowSettingsMenu(list, row);
      ReportPlayback();
      break;
    }
    case u'S':
      if (IsRow(text, kShellsRow, RowKind::Arrow)) {
        SlideOut(list, SlideDirection::Left, app.screenColor);
        ShowShellsMenu(list, static_cast<int32_t>(app.shell));
      } else {
        app.shuffle = app.shuffle == 0 ? 1 : 0;
        ShowSettingsMenu(list, row);
        ReportPlayback();
      }
      break;
  }
}

void SelectShellRow(HWND list, int32_t row) {
  WCHAR text[kTextChars];
  RowText(list, row, text);
  if (text[0] == u'C') app.shell = Shell::Classic;
  if (text[0] == u'N') app.shell = Shell::Night;
  LoadSkin(app.instance);
  InvalidateRect(app.mainWindow, nullptr, TRUE);
}

void MenuButtonAction() {
  HWND list = Pane(kMenuListId);
  if (app.menuKind == MenuKind::Browse) {
    BrowseUp(list);
  } else if (app.viewMode == ViewMode::About) {
    SlideOut(Pane(kAboutViewId), SlideDirection::Right, app.screenColor);
    HideAbout();
    ShowSettingsMenu(list, kAboutRowIndex);
  } else if (app.menuKind == MenuKind::Settings) {
    SlideOut(list, SlideDirection::Right, app.screenColor);
    ShowMainMenu(list, kSettingsRow);
  } else if (app.menuKind == MenuKind::Shells) {
    SlideOut(list, SlideDirection::Right, app.screenColor);
    ShowSettingsMenu(list, kShellsRowIndex);
  } else if (app.menuKind == MenuKind::NowPlaying) {
    FillPaneRect(Pane(kPlayViewId), app.screenColor, nullptr);
    SlideOut(Pane(kTrackViewId), SlideDirection::Right, app.screenColor);
    ShowMenuPanes();
    ShowMainMenu(list, kNowPlayingRow);
  }
}

void CentreButtonAction() {
  HWND list = Pane(kMenuListId);
  HWND playView = Pane(kPlayViewId);
  switch (app.viewMode) {
    case ViewMode::Menu: {
      int32_t row = static_cast<int32_t>(SendMessageW(list, LB_GETCURSEL, 0, 0));
      if (row < 0) return;
      // One choice per press: the chosen row may change menuKind.
      switch (app.menuKind) {
        case MenuKind::Main:
          SelectMainMenuRow(list, row);
          break;
        case MenuKind::Browse:
          OpenBrowseRow(list, row);
          break;
        case MenuKind::Settings:
          SelectSettingsRow(list, row);
          break;
        case MenuKind::Shells:
          SelectShellRow(list, row);
          break;
        default:
          break;
      }
      break;
    }
    case ViewMode::NowPlaying:
      app.viewMode = ViewMode::Seek;
      SlideOut(playView, SlideDirection::Left, app.screenColor);
      InvalidateRect(playView, nullptr, TRUE);
      break;
    case ViewMode::VolumeAdjust:
    case ViewMode::Seek:
      app.viewMode = ViewMode::NowPlaying;
      SlideOut(playView, SlideDirection::Right, app.screenColor);
      InvalidateRect(playView, nullptr, TRUE);
      break;
    default:
      break;
  }
}

void ShowNowPlayingPanes() {
  PaintHeaderNow(kNowPlayingHeader);
  Hide(kMenuListId);
  Hide(kScrollBarId);
  Show(kTrackViewId);
  Show(kPlayViewId);
  app.viewMode = ViewMode::NowPlaying;
}

void ShowMenuPanes() {
  Hide(kTrackViewId);
  Hide(kPlayViewId);
  Show(kMenuListId);
  Show(kScrollBarId);
  app.viewMode = ViewMode::Menu;
}

void ShowAbout() {
  PaintHeaderNow(kAboutHeader);
  Hide(kMenuListId);
  Hide(kScrollBarId);
  Show(kAboutViewId);
  app.viewMode = ViewMode::About;
}

void HideAbout() {
  Hide(kAboutViewId);
  Show(kMenuListId);
  Show(kScrollBarId);
  app.viewMode = ViewMode::Menu;
}
