// The one place that talks to the sound back end: opening the current track,
// pausing, seeking, the volume, and the end of a track.
#pragma once

#include "app/app_state.h"

// Starts the back end, retrying a few times; shows one message box when it
// cannot. The user interface works without it; nothing then plays.
bool InitSoundEngine(HWND owner);
// path holds playlistFolder + kMusicPattern (260 characters). True with the path
// of the n-th match in it; false with the buffer unchanged.
bool FindNthFile(int32_t ordinal, WCHAR* path);
bool OpenTrack(int32_t ordinal, int32_t openPaused);
void ReopenTrack();
void TogglePause();
void ApplyVolume(int32_t volume);
void CloseStream();
// With no stream open: 0, and seeking does nothing.
int32_t GetStreamMs();
constexpr int32_t kMsPerSecond = 1000;
int32_t GetStreamLengthMs();
void SeekStreamMs(int32_t ms);
bool HasFatalFileError();
// Every timer tick, after the fatal-error check: an entry that cannot be
// played counts as played (the list goes on, and ends once when none plays),
// and music paused for want of a sound output resumes once one is back.
void KeepPlaying();
// The text of a back-end error code; "Unknown error" for codes it lacks.
const char* SoundErrorText(int code);
