// Picking up where the player was left: the track that was playing at quit
// and the place in it, opened paused at the next start.
#pragma once

#include "app/app_state.h"

// The main window's timer that opens the kept track once the first frame is
// shown: timers come after paints.
constexpr UINT_PTR kResumeTimerId = 2;

// At quit, before the settings are saved: the open track and the place heard
// in it are kept; with no track open (the playlist ended) nothing is.
void KeepResumePoint();
// Builds the kept folder's playlist with the kept file chosen, in order or
// shuffled as the setting says, and opens it paused at the kept place (at
// 0:00 when that lies past its end). A folder or file that is gone, or a
// person who has left the start screen already, leaves everything as it is.
void ResumeLastTrack();
