// The program's start, its windows, and its end.
#pragma once

#include "app/app_state.h"

// Command and message that end the program: the quit command saves the
// settings first, the close request from another program does not.
constexpr WORD kQuitCommand = 40004;
constexpr UINT kCloseRequest = 1023;

int RunPlayer(HINSTANCE instance);
// Everything before the message loop. False when the program ends at once:
// another player runs (exit code 0) or there is no window (1).
bool StartPlayer(HINSTANCE instance, int* exitCode);
void CreateMainWindow(HINSTANCE instance);
// Creates StatusBar, ScrollBar, TrackView, PlayView and AboutView, in that order.
void CreatePanes(HINSTANCE instance);
void GetScreenSize(int32_t* width, int32_t* height);
void RefreshDesktop();
bool GetProgramFolder(WCHAR* folder);  // 260 characters, ends in a backslash
bool MakeProgramPath(WCHAR* name);     // 260 characters: the name becomes folder + name
void QuitPlayer(HWND window);
