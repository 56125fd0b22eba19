// The single-instance rule: a player's main window can be reached by other
// programs of the same user through a socket in the user's private runtime
// folder ($XDG_RUNTIME_DIR, else ${TMPDIR:-/tmp}/vesk-<uid>).
#pragma once

#include "platform/base.h"

// The player's main window as other programs find it, and the one message
// they may post to it: the close request, which ends the player without
// saving its settings.
constexpr const WCHAR* kMainWindowClass = u"Main Window";
constexpr const WCHAR* kMainWindowTitle = u"Vesk";  // the player's name, also its menu's header
constexpr UINT kCloseRequest = 1023;
// The WM_COMMAND that ends the player as its own Quit does, saving the
// settings first (the desktop's media controls send it).
constexpr WORD kQuitCommand = 40004;

// The socket of the player's main window, or null when
// this run has no private folder for it (a warning has then gone to stderr).
const char* InstanceSocketPath();
