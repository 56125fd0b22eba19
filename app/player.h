// The program's start, its windows, and its end.
#pragma once

#include "app/app_state.h"
#include "platform/instance.h"

int RunPlayer(HINSTANCE instance);
// Everything before the message loop. False when the program ends at once:
// another player runs (exit code 0) or there is no window (1).
bool StartPlayer(HINSTANCE instance, int* exitCode);
void CreateMainWindow(HINSTANCE instance);
// Creates StatusBar, ScrollBar, TrackView, PlayView and AboutView, in that order.
void CreatePanes(HINSTANCE instance);
void GetScreenSize(int32_t* width, int32_t* height);
void RefreshDesktop();
// 260 characters: the name becomes the path of the file of that name that ships
// with the program (beside it, or where an installed program's files lie).
bool MakeProgramPath(WCHAR* name);
// Tells the desktop's media controls what plays: at start, and wherever the
// track, the play state, the volume or a setting changes. The path of a
// track comes with the report made when it opens.
void ReportPlayback(const WCHAR* openedPath = nullptr);
void QuitPlayer(HWND window);
