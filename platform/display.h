// Where the framebuffer is shown and where input comes from. The program uses
// the desktop window (SDL2); tests and tools use the headless display, which
// shows nothing, takes input that the caller injects and runs on a manual
// clock, so that timers and animations are deterministic (test_hooks.h).
#pragma once

enum class DisplayKind { Window, Headless };

// Chooses the display before the first window is created; Window by default.
// False, with the reason on stderr, when it cannot show a window: the desktop
// display without a display server (an invisible fallback driver is refused
// unless SDL_VIDEODRIVER names it).
bool SelectDisplay(DisplayKind kind);
