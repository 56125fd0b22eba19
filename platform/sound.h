// Short sounds: the click, played from the program's resources over the music.
#pragma once

#include "platform/base.h"

constexpr DWORD SND_ASYNC = 0x0001;
constexpr DWORD SND_RESOURCE = 0x00040004;

// Plays the WAVE resource of the module by name, without waiting (only
// SND_RESOURCE | SND_ASYNC). False when there is no such resource or no
// sound output; the sound is then silent.
BOOL PlaySoundW(const WCHAR* name, HINSTANCE module, DWORD flags);
