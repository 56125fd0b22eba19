#include "playback/playlist.h"

// Until playlists exist there is no track to move to.
int32_t CountMatchingFiles(const WCHAR*) {
  return 0;
}
bool BuildPlaylist(HWND, const WCHAR*, int32_t) {
  return false;
}
void NextTrack() {}
void PreviousTrack() {}
void EndPlaylist() {}
