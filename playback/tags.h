// The tags of a music file: title, artist, album. An MP3 file's come from the
// ID3 version 2 tag at its start, or the version 1 tag at its end; FLAC, Ogg
// and WAV files have tags of their own (playback/comment_tags.h).
#pragma once

#include "app/app_state.h"

// The bytes of a file read whole or up to a limit.
struct FileBuffer {
  BYTE* data;
  BYTE* cursor;
  DWORD length;  // in: the limit (0: the whole file); out: the bytes read
};

// Fills `tags` from the file's tag, "Unknown" where it has none. True when a
// tag of a handled kind and version was walked.
bool ReadTrackTags(const WCHAR* path, TrackTags* tags);
// True with the record filled; false with nothing allocated.
bool ReadFileHead(FileBuffer* buffer, const WCHAR* path);
// True when it released memory.
bool FreeFileBuffer(FileBuffer* buffer);
