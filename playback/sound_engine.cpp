#include "playback/sound_engine.h"

// Until the sound back end exists there is never a stream: the callers see
// the no-stream behaviour (time 0, moves ignored).
bool InitSoundEngine(HWND) {
  return false;
}
bool FindNthFile(int32_t, WCHAR*) {
  return false;
}
bool OpenTrack(int32_t, int32_t) {
  return false;
}
void ReopenTrack() {}
void TogglePause() {}
void ApplyVolume(int32_t) {}
void CloseStream() {}
int32_t GetStreamMs() {
  return 0;
}
void SeekStreamMs(int32_t) {}
bool HasFatalFileError() {
  return false;
}
