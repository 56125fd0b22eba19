// The playlist: FileOrdinals of one folder's music files' enumeration, in the
// order of the listing's rows or shuffled, and the moves through it.
#include "playback/playlist.h"

#include <new>

#include "display/painters.h"
#include "display/play_view.h"
#include "display/slide.h"
#include "menus/browser.h"
#include "menus/menu_screens.h"
#include "platform/device.h"
#include "platform/files.h"
#include "platform/strings.h"
#include "platform/window.h"
#include "playback/sound_engine.h"

namespace {

void FreePlaylist() {
  delete[] app.playlist;
  app.playlist = nullptr;
}

// The data word of a row, and whether it is a file row whose ordinal can be
// an entry of a folder of count matches. A folder that changed since it was
// listed can leave rows whose ordinals lie beyond it.
bool FileRowOrdinal(HWND list, int32_t row, int32_t count, int32_t* ordinal) {
  LRESULT data = SendMessageW(list, LB_GETITEMDATA, static_cast<WPARAM>(row), 0);
  if (data == LB_ERR || IsFolderItem(data)) return false;
  *ordinal = ItemOrdinal(data);
  return *ordinal >= 0 && *ordinal < count;
}

// Folder order: the file rows from the top. The chosen file is current; if
// its row no longer names an entry, the next file row below it is.
void FillInRowOrder(HWND list, int32_t chosenRow) {
  int32_t rows = static_cast<int32_t>(SendMessageW(list, LB_GETCOUNT, 0, 0));
  int32_t filled = 0;
  int32_t pos = -1;
  for (int32_t row = 0; row < rows && filled < app.playlistCount; ++row) {
    if (row == chosenRow) pos = filled;
    int32_t ordinal;
    if (FileRowOrdinal(list, row, app.playlistCount, &ordinal)) app.playlist[filled++] = ordinal;
  }
  app.playlistCount = filled;
  if (pos < 0 || pos >= filled) pos = filled - 1;
  app.playlistPos = pos;
}

// Shuffled: the chosen file first, then every other file once in random
// order. A pick leaves the pool by taking the pool's last value into its
// place: the order is as uniform as when the rest moves down, and a build of
// tens of thousands of files stays linear.
bool FillShuffled(HWND list, int32_t chosenRow) {
  int32_t* pool = new (std::nothrow) int32_t[app.playlistCount];
  if (!pool) return false;
  for (int32_t i = 0; i < app.playlistCount; ++i) pool[i] = i;
  int32_t first = 0;
  bool chosenIsEntry = FileRowOrdinal(list, chosenRow, app.playlistCount, &first);
  uint32_t remaining = static_cast<uint32_t>(app.playlistCount);
  for (int32_t k = 0; k < app.playlistCount; ++k) {
    uint32_t i = k == 0 && chosenIsEntry ? static_cast<uint32_t>(first) : Random() % remaining;
    app.playlist[k] = pool[i];
    pool[i] = pool[--remaining];
  }
  delete[] pool;
  app.playlistPos = 0;
  return true;
}

// Repaints the Now Playing panes for the entry just opened.
void RepaintNowPlaying() {
  if (app.viewMode <= ViewMode::Menu) return;
  PaintTrackView(Pane(kTrackViewId), true);
  PaintPlayView(Pane(kPlayViewId), true);
}

}  // namespace

int32_t CountMatchingFiles(const WCHAR* pattern) {
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW(pattern, &found);
  if (find == INVALID_HANDLE_VALUE) return 0;
  int32_t count = 1;
  while (FindNextFileW(find, &found)) ++count;
  FindClose(find);
  return count;
}

bool BuildPlaylist(HWND list, const WCHAR* folder, int32_t row) {
  WCHAR pattern[kPathChars];
  // A folder too deep for its pattern has no files that could be opened.
  bool fits = StringCchCopyW(pattern, kPathChars, folder) &&
              StringCchCatW(pattern, kPathChars, kMusicPattern);
  app.playlistCount = fits ? CountMatchingFiles(pattern) : 0;
  StringCchCopyW(app.playlistFolder, kPathChars, folder);
  FreePlaylist();
  if (app.playlistCount == 0) return true;
  app.playlist = new (std::nothrow) int32_t[app.playlistCount];
  bool built = app.playlist &&
               (app.shuffle == 0 ? (FillInRowOrder(list, row), true) : FillShuffled(list, row));
  if (!built || app.playlistCount == 0) {
    FreePlaylist();
    app.playlistCount = 0;
  }
  return built;
}

void NextTrack() {
  if (app.playlistCount < 1) return;
  if (app.repeatMode != RepeatMode::One) {
    ++app.playlistPos;
    if (app.playlistPos >= app.playlistCount) {
      // Any mode but All, one read from an edited settings file too, ends.
      if (app.repeatMode != RepeatMode::All) {
        EndPlaylist();
        return;
      }
      app.playlistPos = 0;
    }
  }
  OpenTrack(app.playlist[app.playlistPos], app.paused);
  RepaintNowPlaying();
}

void PreviousTrack() {
  if (app.playlistCount < 1) return;
  int32_t playedSec = GetStreamMs() / kMsPerSecond;
  if (playedSec == 0 && app.repeatMode != RepeatMode::One) {
    --app.playlistPos;
    if (app.playlistPos < 0) {
      app.playlistPos = app.repeatMode == RepeatMode::All ? app.playlistCount - 1 : 0;
    }
  }
  OpenTrack(app.playlist[app.playlistPos], app.paused);
  RepaintNowPlaying();
}

void EndPlaylist() {
  CloseStream();
  app.trackLengthSec = 0;
  app.pausedAtMs = 0;
  app.positionSec = 0;
  app.playlistCount = 0;
  FreePlaylist();
  if (app.viewMode > ViewMode::Menu) {
    ShowMainMenu(Pane(kMenuListId), kBrowseRow);
    ShowMenuPanes();
    FillPaneRect(Pane(kPlayViewId), app.screenColor, nullptr);
    SlideOut(Pane(kTrackViewId), SlideDirection::Right, app.screenColor);
  }
  PaintStatusBar(Pane(kStatusBarId), true);
}
