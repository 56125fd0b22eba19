// The desktop window on X11: what ends it from outside. Kept apart from the
// rest of the display, as Xlib's headers define names such as Window and
// Expose as macros.
#pragma once

#include <SDL.h>

// Watches the window: another program destroying it, or the X server going
// away, no longer ends the process (Xlib's way) but is reported here. Nothing
// happens for a window that is not on X11.
void WatchX11Window(SDL_Window* window);
// Looks at an event of the window system for the window's destruction.
void NoteX11Event(const SDL_Event& event);
// Whether the watched window was destroyed or its display lost.
bool X11WindowEnded();
// Whether the X server went away, also before Xlib has noticed: SDL must not
// be asked to show, hide or close the window then (it would wait for the
// server's answer for ever). Any thread.
bool X11DisplayLost();
