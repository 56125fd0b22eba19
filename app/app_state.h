// The one record of the player's state. Every operation reads and writes its
// fields directly; there are no other long-lived objects.
#pragma once

#include "platform/base.h"

struct SoundStream;  // platform/sound.h

// Stored as 32-bit integers; a value read from the settings file may lie
// outside the named ones and is kept as it is.
enum class ViewMode : int32_t { About = -1, Menu = 0, NowPlaying = 1, VolumeAdjust = 2, Seek = 3 };
enum class MenuKind : int32_t { Main = 0, Browse = 1, Settings = 2, NowPlaying = 3, Shells = 4 };
enum class RepeatMode : int32_t { Off = 0, One = 1, All = 2 };
enum class Shell : int32_t { Classic = 0, Night = 1 };

// Rectangles of the controls in main-window client pixels; left and top
// inclusive, right and bottom exclusive.
using HitRect = RECT;

// Buffer sizes in characters, terminator included.
constexpr int kPathChars = 260;
constexpr int kTextChars = 256;

// The volume's top; 0 is silence.
constexpr int32_t kMaxVolume = 100;

// Control ids of the panes of the simulated screen.
constexpr int kMenuListId = 6;
constexpr int kStatusBarId = 7;
constexpr int kScrollBarId = 8;
constexpr int kTrackViewId = 9;
constexpr int kPlayViewId = 10;
constexpr int kAboutViewId = 11;

struct TrackTags {
  WCHAR title[kTextChars];
  WCHAR artist[kTextChars];
  WCHAR album[kTextChars];
};

struct AppState {
  // Settings, kept across runs.
  int32_t volume;  // 0..kMaxVolume
  int32_t shuffle;
  RepeatMode repeatMode;
  int32_t clicker;
  Shell shell;
  int32_t backlight;
  WCHAR lastPlayedFolder[kPathChars];
  // The path of the track last opened, and at quit the place heard in it:
  // kept when the track lies in lastPlayedFolder, to resume at the next start.
  WCHAR lastPlayedFile[kPathChars];
  int32_t lastPlayedMs;

  // What the screen shows.
  ViewMode viewMode;
  MenuKind menuKind;
  WCHAR headerTitle[kTextChars];
  WCHAR browsePath[kPathChars];

  // Playback.
  WCHAR playlistFolder[kPathChars];
  int32_t* playlist;
  int32_t playlistCount;
  int32_t playlistPos;
  TrackTags trackTags;
  int32_t trackLengthSec;
  int32_t positionSec;
  int32_t streamOpen;
  int32_t paused;
  int32_t pausedAtMs;
  SoundStream* stream;
  int32_t channel;
  int32_t outputWait;   // 1: paused since no sound output could be heard; resumes when one is back
  int32_t failedOpens;  // entries in a row that could not be played

  // Stylus and timer bookkeeping.
  POINT penDownPoint;
  POINT penMovePoint;
  int32_t seekPending;
  int32_t idleTicks;
  int32_t holdCountdown;
  int32_t tickCount;
  int32_t timerId;
  // Fast circling in a long folder listing: when the stylus last stepped the
  // menu, and how far the circling has built up, signed by its direction.
  DWORD menuStepTick;
  int32_t wheelRun;

  // Control layout.
  HitRect wheelRect;
  HitRect centerRect;
  HitRect backRect;
  HitRect menuRect;
  HitRect playPauseRect;
  HitRect forwardRect;
  int32_t wheelBitmapWidth;
  int32_t wheelBitmapHeight;

  // Drawing resources.
  COLORREF screenColor;
  COLORREF frameColor;
  HBRUSH screenBrush;
  HBRUSH frameBrush;
  HFONT largeFont;
  HFONT smallFont;
  HDC measureDC;
  HGDIOBJ previousMeasureFont;
  HBITMAP wheelBitmap;
  HBITMAP backBitmap;
  HBITMAP menuBitmap;
  HBITMAP playPauseBitmap;
  HBITMAP forwardBitmap;
  HBITMAP borderBitmap;
  HBITMAP batteryBitmap;
  HBITMAP playIconBitmap;
  HBITMAP pauseIconBitmap;
  HBITMAP shuffleBitmap;
  HBITMAP repeatOneBitmap;
  HBITMAP repeatAllBitmap;
  HBITMAP volumeDownBitmap;
  HBITMAP volumeUpBitmap;

  // Windows. Panes are reached through mainWindow by control id.
  HINSTANCE instance;
  HWND mainWindow;
  int32_t screenWidth;
  int32_t screenHeight;

  // Frame pacing of animations.
  DWORD frameStartTick;
  DWORD frameDurationMs;
};

extern AppState app;

// Puts the record in its process-start state: every field zero or empty,
// headerTitle "Vesk". Tests call it to start over.
void ResetAppState();

// The main window's child with the id (kMenuListId...); null without one.
HWND Pane(int id);
