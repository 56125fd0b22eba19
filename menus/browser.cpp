// The folder browser. The rows of MenuList are its only record of a listing:
// each carries its entry's FileOrdinal, by which a name cut with "..." is
// found again and from which the playlist is built.
//
// How the started file's row is found again: starting a file leaves the
// listing in MenuList, hidden, with the chosen row selected, and browsePath
// ends with the file's entry while the Now Playing panes show. Nothing moves
// a hidden list's selection (the wheel and the keys act on the Now Playing
// panes), so BrowseUp cuts the entry off again and shows the panes' listing
// with the started file's row still selected. Matching the entry's name
// against the rows could select another file whose name begins the same or
// differs only in letter case.
#include "menus/browser.h"

#include "display/painters.h"
#include "display/slide.h"
#include "menus/menu_list.h"
#include "menus/menu_screens.h"
#include "platform/device.h"
#include "platform/files.h"
#include "platform/strings.h"
#include "platform/window.h"
#include "playback/playlist.h"
#include "playback/sound_engine.h"

namespace {

constexpr WCHAR kSeparator = u'\\';
constexpr WCHAR kRoot[] = u"\\";
constexpr WCHAR kExtensionMark = u'.';
// What an empty listing of the music folder says, naming the folder.
constexpr WCHAR kMusicFolderMissing[] = u"The music folder %s does not exist.";
constexpr WCHAR kMusicFolderEmpty[] = u"The music folder %s has no folders or music files.";
constexpr int kNoteChars = kPathChars + 64;

bool EndsWith(const WCHAR* text, int length, const WCHAR* tail, int tailLength) {
  return length >= tailLength && lstrcmpW(text + length - tailLength, tail) == 0;
}

// The folder followed by the pattern; false when it does not fit a path
// buffer, since a cut pattern would name another folder.
bool MakePattern(WCHAR* pattern, const WCHAR* folder, const WCHAR* wildcards) {
  return StringCchCopyW(pattern, kPathChars, folder) &&
         StringCchCatW(pattern, kPathChars, wildcards);
}

// A folder can be entered only when its path leaves room for the longer of
// the two patterns, so listing it and opening its files see the same folder.
bool FolderFits(const WCHAR* folder, const WCHAR* name) {
  return lstrlenW(folder) + lstrlenW(name) + 1 + lstrlenW(kMusicPattern) < kPathChars;
}

// A music file's row leaves out its extension: what follows the last ".".
void CutExtension(WCHAR* name) {
  WCHAR* mark = nullptr;
  for (WCHAR* c = name; *c; ++c) {
    if (*c == kExtensionMark) mark = c;
  }
  if (mark) *mark = 0;
}

// One pass over the folder with one pattern: a row for each entry of the
// kind wanted, with the entry's position among all matches.
void AddRows(HWND list, const WCHAR* folder, const WCHAR* wildcards, bool folders) {
  WCHAR pattern[kPathChars];
  if (!MakePattern(pattern, folder, wildcards)) return;
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW(pattern, &found);
  if (find == INVALID_HANDLE_VALUE) return;
  int32_t ordinal = 0;
  do {
    bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (isFolder == folders) {
      if (!folders) CutExtension(found.cFileName);
      int32_t row =
          AddMenuRow(list, found.cFileName, folders ? RowKind::Arrow : RowKind::Plain, true);
      if (row >= 0) {
        SendMessageW(list, LB_SETITEMDATA, static_cast<WPARAM>(row),
                     MakeListItemData(ordinal, folders));
      }
    }
    ++ordinal;
  } while (FindNextFileW(find, &found));
  FindClose(find);
}

// The name of the entry at the ordinal of the folder's matches; false when
// the folder ends before it.
bool NthName(const WCHAR* folder, const WCHAR* wildcards, int32_t ordinal, WCHAR* name) {
  WCHAR pattern[kPathChars];
  if (ordinal < 0 || !MakePattern(pattern, folder, wildcards)) return false;
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW(pattern, &found);
  if (find == INVALID_HANDLE_VALUE) return false;
  bool more = true;
  for (int32_t i = 0; i < ordinal && more; ++i) more = FindNextFileW(find, &found);
  FindClose(find);
  if (more) StringCchCopyW(name, kPathChars, found.cFileName);
  return more;
}

// Whether the folder holds an entry of the kind the pattern's rows show.
bool HasRows(const WCHAR* folder, const WCHAR* wildcards, bool folders) {
  WCHAR pattern[kPathChars];
  if (!MakePattern(pattern, folder, wildcards)) return false;
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW(pattern, &found);
  if (find == INVALID_HANDLE_VALUE) return false;
  bool has = false;
  do {
    has = ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) == folders;
  } while (!has && FindNextFileW(find, &found));
  FindClose(find);
  return has;
}

// Why the music folder lists nothing, in words that name it.
void DescribeNoMusic(WCHAR* note) {
  WCHAR folder[kPathChars];
  GetMusicFolderName(folder, kPathChars);
  bool missing = GetFileAttributesW(kRoot) == INVALID_FILE_ATTRIBUTES;
  StringCchPrintfW(note, kNoteChars, missing ? kMusicFolderMissing : kMusicFolderEmpty, folder);
}

// The root, or a path that names no folder below it (a damaged last played
// folder from the settings file): going up from it leads to the Main menu.
bool AtTop() {
  int length = lstrlenW(app.browsePath);
  return length <= 1 || app.browsePath[0] != kSeparator || app.browsePath[length - 1] != kSeparator;
}

// Removes browsePath's last component: the folder being left, or the entry
// of the started file. A path cut short when the entry was appended still
// comes back to its folder.
void CutToParent() {
  int length = lstrlenW(app.browsePath);
  if (length > 1) app.browsePath[--length] = 0;
  while (length > 1 && app.browsePath[length - 1] != kSeparator) app.browsePath[--length] = 0;
}

// The header of a listing: "Browse" at the root, else the folder's own name.
void SetFolderHeader() {
  if (AtTop()) {
    StringCchCopyW(app.headerTitle, kTextChars, kBrowseRow);
    return;
  }
  WCHAR name[kPathChars];
  StringCchCopyW(name, kPathChars, app.browsePath);
  name[lstrlenW(name) - 1] = 0;
  KeepAfterLast(name, kSeparator);
  StringCchCopyW(app.headerTitle, kTextChars, name);
}

// Selects the row of the folder that was left: its uncut row when there is
// one (exactly, letter case included); otherwise the first row that begins
// with the longest leading part of the name, which finds a row cut with "...".
void SelectFolderRow(HWND list, WCHAR* name) {
  WCHAR wanted[kPathChars];
  StringCchCopyW(wanted, kPathChars, name);
  StringCchCatW(wanted, kPathChars, kArrowSuffix);
  int32_t rows = static_cast<int32_t>(SendMessageW(list, LB_GETCOUNT, 0, 0));
  for (int32_t row = 0; row < rows; ++row) {
    WCHAR text[kPathChars];
    SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(text));
    if (lstrcmpW(text, wanted) == 0) {
      SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(row), 0);
      return;
    }
  }
  int length = lstrlenW(name);
  while (SendMessageW(list, LB_SELECTSTRING, 0, reinterpret_cast<LPARAM>(name)) == LB_ERR &&
         length > 1) {
    name[--length] = 0;
  }
}

}  // namespace

void ListFolder(HWND list, const WCHAR* folder) {
  BeginRefill(list);
  AddRows(list, folder, kAllPattern, true);
  AddRows(list, folder, kMusicPattern, false);
  // An empty listing of the music folder itself says why, on the list's area
  // (the list shows its text only while it has no rows).
  WCHAR note[kNoteChars] = u"";
  if (lstrcmpW(folder, kRoot) == 0 && SendMessageW(list, LB_GETCOUNT, 0, 0) == 0) {
    DescribeNoMusic(note);
  }
  SetWindowTextW(list, note);
  app.menuKind = MenuKind::Browse;
  EndRefill(list);
}

void ReportMissingMusic() {
  if (HasRows(kRoot, kAllPattern, true) || HasRows(kRoot, kMusicPattern, false)) return;
  WCHAR note[kNoteChars];
  DescribeNoMusic(note);
  OutputDebugStringW(note);
}

bool RowFullName(HWND list, int32_t row, WCHAR* name, bool* isFolder) {
  name[0] = 0;
  *isFolder = false;
  LRESULT data = SendMessageW(list, LB_GETITEMDATA, static_cast<WPARAM>(row), 0);
  if (data == LB_ERR) return false;
  SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(name));
  *isFolder = IsFolderItem(data);
  int length = lstrlenW(name);
  if (*isFolder && EndsWith(name, length, kArrowSuffix, kArrowSuffixChars)) {
    length -= kArrowSuffixChars;
    name[length] = 0;
  }
  if (EndsWith(name, length, kEllipsis, kEllipsisChars)) {
    // A folder that changed since it was listed may give another entry, or
    // none, and then the cut text stays.
    NthName(app.browsePath, *isFolder ? kAllPattern : kMusicPattern, ItemOrdinal(data), name);
  }
  return true;
}

int32_t FileRow(HWND list, const WCHAR* folder, const WCHAR* name) {
  WCHAR pattern[kPathChars];
  if (!MakePattern(pattern, folder, kMusicPattern)) return -1;
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW(pattern, &found);
  if (find == INVALID_HANDLE_VALUE) return -1;
  int32_t ordinal = 0;
  bool more = true;
  while (more && lstrcmpW(found.cFileName, name) != 0) {
    more = FindNextFileW(find, &found);
    ++ordinal;
  }
  FindClose(find);
  if (!more) return -1;
  LPARAM wanted = MakeListItemData(ordinal, false);
  int32_t rows = static_cast<int32_t>(SendMessageW(list, LB_GETCOUNT, 0, 0));
  for (int32_t row = 0; row < rows; ++row) {
    if (SendMessageW(list, LB_GETITEMDATA, static_cast<WPARAM>(row), 0) == wanted) return row;
  }
  return -1;
}

void OpenBrowseRow(HWND list, int32_t row) {
  WCHAR name[kPathChars];
  bool isFolder;
  if (!RowFullName(list, row, name, &isFolder)) return;
  if (isFolder) {
    // A folder too deep for the path buffers is not entered: a cut path
    // would list another folder.
    if (!FolderFits(app.browsePath, name)) return;
    StringCchCatW(app.browsePath, kPathChars, name);
    StringCchCatW(app.browsePath, kPathChars, u"\\");
    SlideOut(list, SlideDirection::Left, app.screenColor);
    StringCchCopyW(app.headerTitle, kTextChars, name);
    InvalidateRect(Pane(kStatusBarId), nullptr, TRUE);
    ListFolder(list, app.browsePath);
    SendMessageW(list, LB_SETCURSEL, 0, 0);
    return;
  }
  BuildPlaylist(list, app.browsePath, row);
  StringCchCopyW(app.lastPlayedFolder, kPathChars, app.browsePath);
  StringCchCatW(app.browsePath, kPathChars, name);
  StringCchCatW(app.browsePath, kPathChars, u"\\");
  // The chosen row stays selected in the hidden list: BrowseUp returns to it.
  SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(row), 0);
  SlideOut(list, SlideDirection::Left, app.screenColor);
  if (app.playlistCount != 0) OpenTrack(app.playlist[app.playlistPos], 0);
  ShowNowPlayingPanes();
}

void BrowseUp(HWND list) {
  if (app.viewMode > ViewMode::Menu) {
    // Back from the Now Playing panes to the listing they were started
    // from, as it was: same folder, same rows, the started file selected.
    CutToParent();
    SetFolderHeader();
    FillPaneRect(Pane(kPlayViewId), app.screenColor, nullptr);
    SlideOut(Pane(kTrackViewId), SlideDirection::Right, app.screenColor);
    ShowMenuPanes();
    PaintStatusBar(Pane(kStatusBarId), true);
    return;
  }
  if (AtTop()) {
    SlideOut(list, SlideDirection::Right, app.screenColor);
    ShowMainMenu(list, kBrowseRow);
    return;
  }
  WCHAR name[kPathChars];
  StringCchCopyW(name, kPathChars, app.browsePath);
  name[lstrlenW(name) - 1] = 0;
  KeepAfterLast(name, kSeparator);
  CutToParent();
  SetFolderHeader();
  SlideOut(list, SlideDirection::Right, app.screenColor);
  ListFolder(list, app.browsePath);
  SelectFolderRow(list, name);
  PaintStatusBar(Pane(kStatusBarId), true);
}
