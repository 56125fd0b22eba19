// The music player behind the sound engine: streams of MP3, FLAC, Ogg Vorbis,
// Opus or WAV, decoded on a thread of their own and played through the
// program's one sound output.
//
// Times are in milliseconds of the stream. The time of a stream is what the
// listener hears now, not what was decoded ahead. Tracks follow one another
// without a gap: a stream whose last sample is queued gives its end notice
// shortly before it is heard, and when it is then closed its tail plays out
// while the next stream starts right after it.
#pragma once

#include "platform/base.h"

// Error codes of the sound back end (SoundLastError).
enum SoundError : int {
  kSoundOk = 0,
  kSoundNotStarted = 2,
  kSoundNoDevice = 3,
  kSoundPlayFailed = 5,
  kSoundFileNotFound = 9,
  kSoundUnknownFormat = 10,
  kSoundLoadFailed = 11,
  kSoundNoMemory = 12,
  kSoundBadArgument = 14,
};

struct SoundStream;  // opaque
// Called on the user-interface thread, once per stream, when its end nears.
using SoundEndNotice = void (*)(SoundStream* stream);

// Opens the output device. False, with the error 3, when there is none.
bool StartSound();
int SoundLastError();

// Opens a music file under the music root (a device path) to play once, at
// time 0, not playing; its first bytes, not its name, tell its format. Null
// when it cannot (see SoundLastError).
SoundStream* OpenSoundStream(const WCHAR* path);
void SetSoundEndNotice(SoundStream* stream, SoundEndNotice notice);
// Starts playing at the stream's time; returns the channel it plays on, or
// -1 (the error 5) when no sound output can be opened: the stream then stays
// stopped.
int PlaySoundStream(SoundStream* stream);
// Stops at once, keeping the time heard; a stream that has given its end
// notice lets its queued tail play out instead.
void StopSoundStream(SoundStream* stream);
// Releases the stream; the handle is not used again.
void CloseSoundStream(SoundStream* stream);
int32_t SoundStreamLengthMs(SoundStream* stream);
int32_t SoundStreamTimeMs(SoundStream* stream);
// Moves to the time (clamped to the stream); a playing stream is heard there
// at once.
void SetSoundStreamTimeMs(SoundStream* stream, int32_t ms);
// Volume 0..255 of the channel that PlaySoundStream returned; the next channel
// started begins at the volume last set.
void SetSoundChannelVolume(int channel, int volume);
// True once the file of a stream can no longer be read (deleted, cut short,
// unreadable); cleared by the next successful open.
bool SoundFileFailed();
// True while a stream plays but nothing can be heard: the sound output went
// away (a sound server restarting, a headset unplugged).
bool SoundOutputLost();
// Opens the sound output if it can, trying at most twice a second; true
// when it is open.
bool SoundOutputAvailable();

// Short sounds: the click, played from the program's resources over the music.
constexpr DWORD SND_ASYNC = 0x0001;
constexpr DWORD SND_RESOURCE = 0x00040004;

// Plays the WAVE resource of the module by name, without waiting (only
// SND_RESOURCE | SND_ASYNC). False when there is no such resource or no
// sound output; the sound is then silent.
BOOL PlaySoundW(const WCHAR* name, HINSTANCE module, DWORD flags);
