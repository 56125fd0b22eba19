// The program's start and its windows: the top of the player, which nothing
// below it includes.
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
