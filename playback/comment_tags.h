// Tags other than ID3: the Vorbis comments of FLAC, Ogg Vorbis, Opus and FLAC
// in Ogg, and the INFO list of a WAV file.
#pragma once

#include "app/app_state.h"

enum class CommentTags { kNone, kFlac, kOgg, kWav };

// The bytes that tell which of these tags a file holds: its first ones.
constexpr DWORD kCommentTagsHeadBytes = 12;
CommentTags CommentTagsOf(const BYTE* head, DWORD length);

// Fills the fields that the file's tags give (title, artist, album), leaving
// the others; true when it found the tags. For a WAV file, the place of its
// ID3 chunk's content, if it has one, goes in *id3Start and *id3End (else 0).
bool ReadCommentTags(HANDLE file, uint64_t fileSize, CommentTags kind, WCHAR* const fields[3],
                     uint64_t* id3Start, uint64_t* id3End);
