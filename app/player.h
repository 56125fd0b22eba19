// The program's start, its windows, and its end.
#pragma once

#include "app/app_state.h"
#include "platform/instance.h"

// Command and message that end the program: the quit command saves the
// settings first, the close request from another program does not.
constexpr WORD kQuitCommand = 40004;  // kCloseRequest: platform/instance.h

int RunPlayer(HINSTANCE instance);
void CreateMainWindow(HINSTANCE instance);
// Creates StatusBar, ScrollBar, TrackView, PlayView and AboutView, in that order.
void CreatePanes(HINSTANCE instance);
void GetScreenSize(int32_t* width, int32_t* height);
void RefreshDesktop();
bool GetProgramFolder(WCHAR* folder);  // 260 characters, ends in a backslash
bool MakeProgramPath(WCHAR* name);     // 260 characters: the name becomes folder + name
void QuitPlayer(HWND window);
