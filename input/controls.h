// Where the wheel and the four buttons lie, and how a stylus circling the
// wheel becomes steps.
#pragma once

#include "app/app_state.h"

// +1 clockwise on the screen, -1 counter-clockwise, 0 no step.
using WheelStep = int32_t;

struct ControlSize {
  int32_t width;
  int32_t height;
};

// Lays the controls out from the sizes of the skin's wheel, back, menu,
// play/pause and forward bitmaps.
void LayoutControls(ControlSize wheel, ControlSize back, ControlSize menu, ControlSize playPause,
                    ControlSize forward);
bool HitTest(const HitRect& rect, int32_t x, int32_t y);
// Compares the angles of the reference and the new point around the wheel's
// centre; at most one step per call, none below the threshold in degrees.
WheelStep DecodeWheelStep(POINT reference, POINT point, int32_t thresholdDegrees);
// How far apart two points lie around the wheel's centre: 0 to 180 degrees.
int32_t WheelDegreesBetween(POINT a, POINT b);
