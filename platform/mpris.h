// The desktop's media controls: what the player reports is published on the
// session bus as an MPRIS player ("org.mpris.MediaPlayer2.vesk"), so panels,
// lock screens, media keys and playerctl show it and control it. Their
// commands come to the window given in the report as WM_APPCOMMAND, on the
// user-interface thread. Without a session bus nothing happens, silently.
#pragma once

#include "platform/base.h"

constexpr UINT WM_APPCOMMAND = 0x0319;
// The command of a WM_APPCOMMAND: the high word of lParam, without the device bits.
constexpr int GetAppCommand(LPARAM lParam) {
  return static_cast<int>((static_cast<DWORD>(lParam) >> 16) & 0x0FFF);
}
constexpr short APPCOMMAND_MEDIA_NEXTTRACK = 11;
constexpr short APPCOMMAND_MEDIA_PREVIOUSTRACK = 12;
constexpr short APPCOMMAND_MEDIA_STOP = 13;
constexpr short APPCOMMAND_MEDIA_PLAY_PAUSE = 14;
constexpr short APPCOMMAND_MEDIA_PLAY = 46;
constexpr short APPCOMMAND_MEDIA_PAUSE = 47;
// Commands with a value, which wParam carries: a position in milliseconds, a
// volume 0..100, shuffle 0 or 1, repeat 0 (off), 1 (one) or 2 (all).
constexpr short APPCOMMAND_VESK_SET_POSITION = 0x0801;
constexpr short APPCOMMAND_VESK_SET_VOLUME = 0x0802;
constexpr short APPCOMMAND_VESK_SET_SHUFFLE = 0x0803;
constexpr short APPCOMMAND_VESK_SET_REPEAT = 0x0804;
// "Quit" comes as the quit command, WM_COMMAND kQuitCommand; "Raise" shows and raises
// the window by itself.

enum class MediaState { Stopped, Playing, Paused };

struct MediaReport {
  MediaState state = MediaState::Stopped;
  // The track's path under the music root when it opens; null keeps the
  // track last reported, until the state is Stopped.
  const WCHAR* file = nullptr;
  const WCHAR* title = nullptr;
  const WCHAR* artist = nullptr;
  const WCHAR* album = nullptr;
  DWORD lengthMs = 0;
  DWORD positionMs = 0;  // now; while playing it is counted on from here
  int volume = 0;        // 0..100
  bool shuffle = false;
  int repeat = 0;  // 0 off, 1 one, 2 all
  bool canGoPrevious = false;
  bool canGoNext = false;
};

// Publishes what plays; the first call connects to the bus. Call it at start
// and whenever the track, the play state, the volume or a setting changes.
void ReportMedia(HWND window, const MediaReport& report);
