// The play view: times and progress, the volume bar, the seek marker.
#pragma once

#include "app/app_state.h"

void PaintPlayView(HWND pane, bool clearFirst);
