// With the player's windows on the screen and its real sound back end and
// output: how soon a click and a pause reach the output's mix, and how long
// what the user does takes while a read of the playing file is held for 10 s
// (a USB disk spinning up, a stalled network folder). Then quits as "Sleep"
// does and prints when it began; the caller sees when the process has ended.
// `stall_probe NAME.mp3`: a file of the music root larger than one read
// (64 KiB), 20 s or longer.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <thread>

#include "app/player.h"
#include "app/settings.h"
#include "display/skin.h"
#include "platform/audio_output.h"
#include "platform/device.h"
#include "platform/display.h"
#include "platform/files.h"
#include "platform/instance.h"
#include "platform/sound.h"
#include "platform/stream_decoder.h"
#include "platform/strings.h"
#include "platform/test_hooks.h"
#include "platform/window.h"
#include "playback/sound_engine.h"

namespace {

using Clock = std::chrono::steady_clock;
std::atomic<bool> armed{false};
std::atomic<bool> holding{false};

// The next read of the file waits 10 s.
void HoldRead() {
  if (!armed.exchange(false)) return;
  holding = true;
  std::this_thread::sleep_for(std::chrono::seconds(10));
  holding = false;
}

void Pump(int ms) {
  for (auto until = Clock::now() + std::chrono::milliseconds(ms); Clock::now() < until;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

// The longest wait, over 20 tries at odd moments, from the action to the
// next mix of the output (which takes in what the action changed).
template <typename Action>
void TimeToMix(const char* what, Action action) {
  double longest = 0;
  for (int i = 0; i < 20; ++i) {
    Pump(37 + i * 7);
    uint64_t mixed = plat::AudioOutputMixedFrames();
    auto start = Clock::now();
    action();
    while (plat::AudioOutputMixedFrames() == mixed) std::this_thread::yield();
    longest =
        std::max(longest, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  std::printf("%s reaches the mix within: %.1f ms\n", what, longest);
}

template <typename Action>
void Time(const char* what, Action action) {
  auto start = Clock::now();
  action();
  std::chrono::duration<double, std::milli> took = Clock::now() - start;
  std::printf("%s: %.2f ms%s\n", what, took.count(),
              holding ? "" : " (the read was no longer held)");
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
  if (!app.mainWindow || !InitSoundEngine(app.mainWindow)) return 1;
  StringCchCopyW(app.playlistFolder, kPathChars, u"\\");
  std::u16string wanted(argv[1], argv[1] + std::strlen(argv[1]));
  int32_t entry = 0;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(u"\\*.mp3", &data);
  for (bool more = find != INVALID_HANDLE_VALUE; more && wanted != data.cFileName; ++entry)
    more = FindNextFileW(find, &data);
  FindClose(find);
  app.playlist = new int32_t[1]{entry};
  app.playlistCount = 1;
  if (!OpenTrack(entry, 0)) return 3;
  app.clicker = 1;
  TimeToMix("a click",
            [] { PlaySoundW(u"CLICK", GetModuleHandleW(nullptr), SND_RESOURCE | SND_ASYNC); });
  TimeToMix("a pause or a play", TogglePause);
  if (app.paused) TogglePause();
  Pump(1000);

  plat::SetSourceReadHookForTests(HoldRead);
  armed = true;
  SeekStreamMs(15000);  // past what was read so far
  while (!holding) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  Time("pause", TogglePause);
  Time("play", TogglePause);
  Time("seek", [] { SeekStreamMs(5000); });
  Time("volume", [] { ApplyVolume(80); });
  Time("time", [] { GetStreamMs(); });
  std::printf(
      "quit at %.3f\n",
      std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count());
  std::fflush(stdout);
  SendMessageW(app.mainWindow, WM_COMMAND, kQuitCommand, 0);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  return holding ? 0 : 4;
}
