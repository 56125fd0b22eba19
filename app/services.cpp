#include "app/services.h"

#include "app/resume.h"
#include "app/settings.h"
#include "display/skin.h"
#include "input/main_window.h"
#include "platform/files.h"
#include "platform/mpris.h"
#include "platform/strings.h"
#include "platform/window.h"
#include "playback/sound_engine.h"

bool MakeProgramPath(WCHAR* name) {
  WCHAR path[kPathChars];
  // A path that would not fit leaves the bare name, which is looked for as it is.
  if (!ProgramFilePath(name, path, kPathChars)) return false;
  StringCchCopyW(name, kPathChars, path);
  return true;
}

void ReportPlayback(const WCHAR* openedPath) {
  if (!app.mainWindow) return;  // the sound engine used alone: nothing to control
  MediaReport report;
  if (app.streamOpen == 1) {
    report.state = app.paused ? MediaState::Paused : MediaState::Playing;
    report.file = openedPath;
    report.title = app.trackTags.title;
    report.artist = app.trackTags.artist;
    report.album = app.trackTags.album;
    report.lengthMs = static_cast<DWORD>(GetStreamLengthMs());
    report.positionMs = static_cast<DWORD>(app.paused ? app.pausedAtMs : GetStreamMs());
    // NextTrack and PreviousTrack act whenever there is a playlist.
    report.canGoNext = report.canGoPrevious = app.playlistCount > 0;
  }
  report.volume = app.volume;
  report.shuffle = app.shuffle != 0;
  report.repeat = static_cast<int>(app.repeatMode);
  ReportMedia(app.mainWindow, report);
}

void QuitPlayer(HWND window) {
  // A kept track that has not been opened yet stays kept.
  if (!KillTimer(window, kResumeTimerId)) KeepResumePoint();
  SaveSettings();
  ReleaseResources();
  if (app.timerId) {
    KillTimer(window, kTimerId);
    app.timerId = 0;
  }
  DestroyWindow(window);
}
