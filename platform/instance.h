// The single-instance rule: a player's main window can be reached by other
// programs of the same user through a socket in the user's private runtime
// folder ($XDG_RUNTIME_DIR, else ${TMPDIR:-/tmp}/vesk-<uid>).
#pragma once

#include "platform/base.h"

// The socket of the window of class "Main Window" titled "Vesk", or null when
// this run has no private folder for it (a warning has then gone to stderr).
const char* InstanceSocketPath();

// Tests: called on the user-interface thread each time another program has
// brought a window of this process to the front.
void SetForegroundNoticeForTests(void (*notice)(HWND hwnd));
