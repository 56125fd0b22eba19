// What the player's layers share beside the state record: the program's own
// files, the report of what plays to the desktop, and the quit sequence that
// the main window runs. Start-up (app/player.h) sits above them all.
#pragma once

#include "app/app_state.h"

// 260 characters: the name becomes the path of the file of that name that ships
// with the program (beside it, or where an installed program's files lie).
bool MakeProgramPath(WCHAR* name);
// Tells the desktop's media controls what plays: at start, and wherever the
// track, the play state, the volume or a setting changes. The path of a
// track comes with the report made when it opens.
void ReportPlayback(const WCHAR* openedPath = nullptr);
void QuitPlayer(HWND window);
