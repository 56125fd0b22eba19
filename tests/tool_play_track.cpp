// The player's windows and its real sound engine playing one file of the
// music root to its end, then quitting: `tool_play_track NAME.mp3`. For the
// whole-program check of what is heard and for measuring a playing player.
#include "app/player.h"
#include "app/settings.h"
#include "display/painters.h"
#include "display/play_view.h"
#include "display/skin.h"
#include "platform/device.h"
#include "platform/display.h"
#include "platform/files.h"
#include "platform/strings.h"
#include "platform/window.h"
#include "playback/sound_engine.h"

#include <cstring>
#include <string>

namespace {

constexpr UINT_PTR kWatchTimer = 7;
constexpr UINT kWatchMs = 1000;  // as the player's own timer
constexpr DWORD kStillMs = 300;

int32_t entry = 0;

// Refreshes the play view as the one-second timer would, and quits once the
// time has reached the length and stood still for a moment: all was heard.
// The end of the one-entry playlist closes the stream while its tail still
// plays out, so a closed stream quits a tick later.
LRESULT WatchProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg != WM_TIMER) return DefWindowProcW(hwnd, msg, wParam, lParam);
  static int32_t lastMs = -1;
  static DWORD stillSince = 0;
  static bool closedAtLastTick = false;
  if (app.streamOpen == 0) {
    if (closedAtLastTick) PostQuitMessage(0);
    closedAtLastTick = true;
    return 0;
  }
  int32_t ms = GetStreamMs();
  app.positionSec = ms / 1000;
  PaintPlayView(GetDlgItem(app.mainWindow, kPlayViewId), false);
  if (ms != lastMs || ms < app.trackLengthSec * 1000) {
    lastMs = ms;
    stillSince = GetTickCount();
  } else if (GetTickCount() - stillSince >= kStillMs) {
    PostQuitMessage(0);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  SelectDisplay(DisplayKind::Window);
  HINSTANCE instance = GetModuleHandleW(nullptr);
  LoadSettings();
  app.instance = instance;
  CreateDrawingResources(instance);
  CreateMainWindow(instance);
  CreatePanes(instance);
  if (!app.mainWindow) return 1;
  InitSoundEngine(app.mainWindow);

  StringCchCopyW(app.playlistFolder, kPathChars, u"\\");
  WCHAR pattern[kPathChars];
  StringCchCopyW(pattern, kPathChars, u"\\");
  StringCchCatW(pattern, kPathChars, kMusicPattern);
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(pattern, &data);
  std::u16string wanted(argv[1], argv[1] + std::strlen(argv[1]));
  for (bool more = find != INVALID_HANDLE_VALUE; more && wanted != data.cFileName; ++entry)
    more = FindNextFileW(find, &data);
  FindClose(find);
  app.playlist = new int32_t[1]{entry};  // the playlist's own, freed at its end
  app.playlistCount = 1;
  app.viewMode = ViewMode::NowPlaying;
  ShowWindow(GetDlgItem(app.mainWindow, kMenuListId), SW_HIDE);
  ShowWindow(GetDlgItem(app.mainWindow, kScrollBarId), SW_HIDE);
  ShowWindow(GetDlgItem(app.mainWindow, kTrackViewId), SW_SHOW);
  ShowWindow(GetDlgItem(app.mainWindow, kPlayViewId), SW_SHOW);
  if (!OpenTrack(entry, 0)) return 3;

  WNDCLASSW wc{};
  wc.lpfnWndProc = WatchProc;
  wc.hInstance = instance;
  wc.lpszClassName = u"Watch";
  RegisterClassW(&wc);
  HWND watch =
      CreateWindowExW(0, u"Watch", u"", 0, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
  SetTimer(watch, kWatchTimer, kWatchMs, nullptr);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  delete[] app.playlist;
  return 0;
}
