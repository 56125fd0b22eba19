// The slide that moves a pane's old content out before a new screen is drawn.
#pragma once

#include "app/app_state.h"

// Right: the content leaves to the right (going back); Left: to the left (going in).
enum class SlideDirection : int32_t { Right = 0, Left = 1 };
enum class FramePhase : int32_t { Begin = 0, End = 1 };

// Returns when every pixel of the pane's client area is the colour.
void SlideOut(HWND pane, SlideDirection direction, COLORREF color);
// Begin starts a frame of the given duration; End sleeps for what is left of it.
void PaceFrame(DWORD durationMs, FramePhase phase);
