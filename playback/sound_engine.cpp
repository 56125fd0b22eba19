#include "playback/sound_engine.h"

#include <iterator>

#include "app/services.h"
#include "display/painters.h"
#include "platform/device.h"
#include "platform/files.h"
#include "platform/sound.h"
#include "platform/strings.h"
#include "platform/window.h"
#include "playback/playlist.h"
#include "playback/tags.h"

namespace {

constexpr int kInitAttempts = 11;
constexpr DWORD kInitRetryMs = 100;
constexpr const WCHAR* kSoundErrorCaption = u"Sound System Error";
constexpr int32_t kChannelFullVolume = 255;

constexpr const char* kSoundErrorTexts[] = {
    "No errors",
    "Cannot call this command after FSOUND_Init.  Call FSOUND_Close first.",
    "This command failed because FSOUND_Init was not called",
    "Error initializing output device.",
    "The output device is already in use and cannot be reused.",
    "Playing the sound failed.",
    "Soundcard does not support the features needed for this soundsystem (16bit stereo output)",
    "Error setting cooperative level for hardware.",
    "Error creating hardware sound buffer.",
    "File not found",
    "Unknown file format",
    "Error loading file",
    "Not enough memory ",
    "The version number of this file format is not supported",
    "An invalid parameter was passed to this function",
    "Tried to use an EAX command on a non EAX enabled channel or output.",
    "Failed to allocate a new channel",
    "Recording not supported on this device",
    "Required Mediaplayer codec is not installed",
};
constexpr const char* kUnknownSoundError = "Unknown error";

// Runs on the user-interface thread: the back end hands its notice over.
void OnStreamEnd(SoundStream*) {
  NextTrack();
}

// The full path of the entry in `path` (260 characters); false when the
// entry is gone or the path does not fit.
bool FindEntryPath(int32_t ordinal, WCHAR* path) {
  return StringCchCopyW(path, kPathChars, app.playlistFolder) &&
         StringCchCatW(path, kPathChars, kMusicPattern) && FindNthFile(ordinal, path);
}

// Opens the file as the stream, with its end notice and length.
bool OpenStreamOf(const WCHAR* path) {
  SoundStream* stream = OpenSoundStream(path);
  app.stream = stream;
  if (!stream) return false;
  SetSoundEndNotice(stream, OnStreamEnd);
  app.streamOpen = 1;
  StringCchCopyW(app.lastPlayedFile, kPathChars, path);
  app.trackLengthSec = SoundStreamLengthMs(stream) / kMsPerSecond;
  return true;
}

// Plays the stream. Without a sound output to hear it on, it stays paused
// where it stands until KeepPlaying finds the output back.
void PlayStream() {
  app.channel = PlaySoundStream(app.stream);
  app.outputWait = app.channel < 0;
  app.paused = app.outputWait;
  if (app.paused) app.pausedAtMs = GetStreamMs();
}

// Closing on the way to another stream: the report waits for the new one.
void StopAndClose() {
  if (!app.streamOpen || !app.stream) return;
  StopSoundStream(app.stream);
  CloseSoundStream(app.stream);
  app.stream = nullptr;
  app.streamOpen = 0;
}

}  // namespace

const char* SoundErrorText(int code) {
  auto index = static_cast<unsigned>(code);
  return index < std::size(kSoundErrorTexts) ? kSoundErrorTexts[index] : kUnknownSoundError;
}

bool InitSoundEngine(HWND owner) {
  for (int attempt = 0; attempt < kInitAttempts; ++attempt) {
    if (attempt > 0) Sleep(kInitRetryMs);
    if (StartSound()) return true;
  }
  // The texts are plain ASCII, which widens byte for byte.
  WCHAR text[kTextChars];
  const char* narrow = SoundErrorText(SoundLastError());
  size_t n = 0;
  for (; narrow[n] && n + 1 < kTextChars; ++n) text[n] = static_cast<unsigned char>(narrow[n]);
  text[n] = 0;
  MessageBoxW(owner, text, kSoundErrorCaption, MB_OK);
  return false;
}

bool FindNthFile(int32_t ordinal, WCHAR* path) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(path, &data);
  if (find == INVALID_HANDLE_VALUE) return false;
  for (int32_t n = 0; n < ordinal; ++n) {
    if (!FindNextFileW(find, &data)) {
      FindClose(find);
      return false;
    }
  }
  FindClose(find);
  WCHAR full[kPathChars];
  if (!StringCchCopyW(full, kPathChars, app.playlistFolder) ||
      !StringCchCatW(full, kPathChars, data.cFileName))
    return false;  // never opened under a cut name
  StringCchCopyW(path, kPathChars, full);
  return true;
}

bool OpenTrack(int32_t ordinal, int32_t openPaused) {
  WCHAR path[kPathChars];
  if (!FindEntryPath(ordinal, path)) return false;
  StopAndClose();
  app.trackLengthSec = 0;
  app.pausedAtMs = 0;
  app.positionSec = 0;
  ReadTrackTags(path, &app.trackTags);
  bool opened = OpenStreamOf(path);
  if (opened) {
    if (openPaused) {
      app.paused = 1;
    } else {
      PlayStream();
    }
    ApplyVolume(app.volume);
  }
  ReportPlayback(path);
  return opened;
}

void ReopenTrack() {
  if (app.playlistCount == 0) return;
  WCHAR path[kPathChars];
  if (!FindEntryPath(app.playlist[app.playlistPos], path)) return;
  StopAndClose();
  ReadTrackTags(path, &app.trackTags);
  if (OpenStreamOf(path)) {
    if (!app.paused) {
      SetSoundStreamTimeMs(app.stream, app.positionSec * kMsPerSecond);
      PlayStream();
    }
    ApplyVolume(app.volume);
  }
  ReportPlayback(path);
}

void TogglePause() {
  if (!app.streamOpen) return;
  if (app.paused) {
    SetSoundStreamTimeMs(app.stream, app.pausedAtMs);
    PlayStream();
    ApplyVolume(app.volume);
  } else {
    app.pausedAtMs = SoundStreamTimeMs(app.stream);
    StopSoundStream(app.stream);
    app.paused = 1;
  }
  if (HWND bar = Pane(kStatusBarId)) PaintStatusBar(bar, false);
  ReportPlayback();
}

void ApplyVolume(int32_t volume) {
  if (!app.streamOpen) return;
  app.volume = volume;
  SetSoundChannelVolume(app.channel, volume * kChannelFullVolume / kMaxVolume);
}

void CloseStream() {
  if (!app.streamOpen || !app.stream) return;
  StopAndClose();
  ReportPlayback();
}

int32_t GetStreamLengthMs() {
  return SoundStreamLengthMs(app.stream);
}

int32_t GetStreamMs() {
  return SoundStreamTimeMs(app.stream);
}

void SeekStreamMs(int32_t ms) {
  SetSoundStreamTimeMs(app.stream, ms);
}

bool HasFatalFileError() {
  return SoundFileFailed();
}

void KeepPlaying() {
  if (!app.streamOpen || !app.paused) app.outputWait = 0;
  if (app.streamOpen && !app.paused && SoundOutputLost()) {
    TogglePause();  // shown paused at once, where it was heard last
    app.outputWait = 1;
  } else if (app.outputWait && SoundOutputAvailable()) {
    TogglePause();
  }
  if (app.playlistCount < 1) return;
  if (app.streamOpen && !HasFatalFileError()) {
    app.failedOpens = 0;
    return;
  }
  // The entry could not be opened, or its file is gone for good. With repeat
  // One it would only fail again.
  if (++app.failedOpens >= app.playlistCount || app.repeatMode == RepeatMode::One) {
    app.failedOpens = 0;
    EndPlaylist();
    return;
  }
  NextTrack();
}
