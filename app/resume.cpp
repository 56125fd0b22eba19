#include "app/resume.h"

#include "app/services.h"
#include "app/settings.h"
#include "menus/browser.h"
#include "menus/menu_screens.h"
#include "platform/window.h"
#include "playback/playlist.h"
#include "playback/sound_engine.h"

void KeepResumePoint() {
  if (app.streamOpen != 1) {
    app.lastPlayedFile[0] = 0;
    app.lastPlayedMs = 0;
    return;
  }
  app.lastPlayedMs = app.paused ? app.pausedAtMs : GetStreamMs();
}

void ResumeLastTrack() {
  const WCHAR* name = LastPlayedName();
  if (!name || app.streamOpen || app.viewMode != ViewMode::Menu || app.menuKind != MenuKind::Main)
    return;
  // The playlist is built from the folder's rows as the browser lists them;
  // the Main menu takes the list back before anything is drawn.
  HWND list = Pane(kMenuListId);
  WCHAR selected[kTextChars] = {};
  SendMessageW(list, LB_GETTEXT, SendMessageW(list, LB_GETCURSEL, 0, 0),
               reinterpret_cast<LPARAM>(selected));
  ListFolder(list, app.lastPlayedFolder);
  int32_t row = FileRow(list, app.lastPlayedFolder, name);
  if (row >= 0) BuildPlaylist(list, app.lastPlayedFolder, row);
  if (app.playlistCount > 0 && OpenTrack(app.playlist[app.playlistPos], 1)) {
    int32_t ms = app.lastPlayedMs;
    if (ms > 0 && ms < GetStreamLengthMs()) {
      app.pausedAtMs = ms;
      app.positionSec = ms / kMsPerSecond;
      SeekStreamMs(ms);  // so that the stream's time, which back and Seek read, is the place
      ReportPlayback();
    }
  } else if (app.playlistCount > 0) {
    EndPlaylist();  // a file that cannot be played: as if nothing was kept
  }
  ShowMainMenu(list, selected);
}
