// `tool_play_track NAME.mp3`: the player plays one file of the music root to its end, then quits.
#include "app/player.h"
#include "app/settings.h"
#include "display/skin.h"
#include "input/main_window.h"
#include "menus/menu_screens.h"
#include "platform/display.h"
#include "platform/files.h"
#include "platform/internal.h"
#include "platform/strings.h"
#include "platform/window.h"
#include "playback/sound_engine.h"

#include <string>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  SelectDisplay(DisplayKind::Window);
  LoadSettings();
  app.instance = GetModuleHandleW(nullptr);
  CreateDrawingResources(app.instance);
  CreateMainWindow(app.instance);
  CreatePanes(app.instance);
  if (!app.mainWindow) return 1;
  InitSoundEngine(app.mainWindow);

  StringCchCopyW(app.playlistFolder, kPathChars, u"\\");
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((u"\\" + std::u16string(kMusicPattern)).c_str(), &data);
  const std::u16string wanted = plat::FromUtf8(argv[1]);
  int32_t entry = 0;
  for (bool more = find != INVALID_HANDLE_VALUE; more && wanted != data.cFileName; ++entry)
    more = FindNextFileW(find, &data);
  FindClose(find);
  app.playlist = new int32_t[1]{entry};  // the playlist's own, freed at its end
  app.playlistCount = 1;
  ShowNowPlayingPanes();
  if (!OpenTrack(entry, 0)) return 3;

  // The stream closes while its tail still plays out: quit a tick of the player's timer later.
  bool closedAtLastTick = false;
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    DispatchMessageW(&msg);
    if (msg.message != WM_TIMER || msg.wParam != kTimerId) continue;
    if (closedAtLastTick) break;
    closedAtLastTick = app.streamOpen == 0;
  }
  delete[] app.playlist;
  return 0;
}
