// Starts the player in its window on a screen the menus cannot reach yet,
// for screenshots: `show_screen about|playing|volume|seek`. Ends like the
// player does.
#include <cstring>

#include "app/player.h"
#include "app/settings.h"
#include "display/painters.h"
#include "display/skin.h"
#include "platform/strings.h"
#include "platform/test_hooks.h"
#include "platform/window.h"

int main(int argc, char** argv) {
  struct Screen {
    const char* name;
    ViewMode mode;
  } const screens[] = {{"about", ViewMode::About},
                       {"playing", ViewMode::NowPlaying},
                       {"volume", ViewMode::VolumeAdjust},
                       {"seek", ViewMode::Seek}};
  const Screen* screen = nullptr;
  for (const Screen& s : screens)
    if (argc == 2 && std::strcmp(argv[1], s.name) == 0) screen = &s;
  if (!screen) return 2;
  SelectDisplay(DisplayKind::Window);
  HINSTANCE instance = GetModuleHandleW(nullptr);
  LoadSettings();
  app.instance = instance;
  CreateDrawingResources(instance);
  CreateMainWindow(instance);
  CreatePanes(instance);
  if (!app.mainWindow) return 1;

  ShowWindow(GetDlgItem(app.mainWindow, kMenuListId), SW_HIDE);
  ShowWindow(GetDlgItem(app.mainWindow, kScrollBarId), SW_HIDE);
  app.viewMode = screen->mode;
  if (screen->mode == ViewMode::About) {
    StringCchCopyW(app.headerTitle, kTextChars, u"About");
    ShowWindow(GetDlgItem(app.mainWindow, kAboutViewId), SW_SHOW);
  } else {
    // A track 1:07 into 3:20, at volume 60, as the play view shows it.
    StringCchCopyW(app.headerTitle, kTextChars, u"Now Playing");
    StringCchCopyW(app.trackTags.title, kTextChars, u"Blue Hour");
    StringCchCopyW(app.trackTags.artist, kTextChars, u"The Quiet Rooms");
    StringCchCopyW(app.trackTags.album, kTextChars, u"Evening Songs");
    app.playlistPos = 2;
    app.playlistCount = 9;
    app.positionSec = 67;
    app.trackLengthSec = 200;
    app.volume = 60;
    app.streamOpen = 1;
    ShowWindow(GetDlgItem(app.mainWindow, kTrackViewId), SW_SHOW);
    ShowWindow(GetDlgItem(app.mainWindow, kPlayViewId), SW_SHOW);
  }
  PaintStatusBar(GetDlgItem(app.mainWindow, kStatusBarId), true);

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  return static_cast<int>(msg.wParam);
}
