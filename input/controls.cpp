#include "input/controls.h"

#include <cmath>
#include <cstdlib>

namespace {

constexpr POINT kWheelOrigin{60, 150};
constexpr int32_t kButtonTop = 275;
constexpr int32_t kBackLeft = 22;
constexpr int32_t kMenuLeft = 74;
constexpr int32_t kPlayPauseLeft = 126;
constexpr int32_t kForwardLeft = 178;
constexpr HitRect kCenterRect{105, 190, 135, 220};  // fixed, whatever the bitmaps
constexpr double kDegreesPerRadian = 57.29577951308232;

HitRect At(int32_t left, int32_t top, ControlSize size) {
  return HitRect{left, top, left + size.width, top + size.height};
}

// Degrees from three o'clock, growing clockwise on the screen (y grows down).
double AngleAroundWheel(POINT p) {
  const HitRect& wheel = app.wheelRect;
  int32_t cx = wheel.left + (wheel.right - wheel.left) / 2;
  int32_t cy = wheel.top + (wheel.bottom - wheel.top) / 2;
  return std::atan2(static_cast<double>(p.y - cy), static_cast<double>(p.x - cx)) *
         kDegreesPerRadian;
}

}  // namespace

void LayoutControls(ControlSize wheel, ControlSize back, ControlSize menu, ControlSize playPause,
                    ControlSize forward) {
  app.wheelRect = At(kWheelOrigin.x, kWheelOrigin.y, wheel);
  app.backRect = At(kBackLeft, kButtonTop, back);
  app.menuRect = At(kMenuLeft, kButtonTop, menu);
  app.playPauseRect = At(kPlayPauseLeft, kButtonTop, playPause);
  app.forwardRect = At(kForwardLeft, kButtonTop, forward);
  app.centerRect = kCenterRect;
  app.wheelBitmapWidth = wheel.width;
  app.wheelBitmapHeight = wheel.height;
}

bool HitTest(const HitRect& rect, int32_t x, int32_t y) {
  return PtInRect(&rect, POINT{x, y});
}

int32_t WheelDegreesBetween(POINT a, POINT b) {
  double degrees = std::abs(AngleAroundWheel(a) - AngleAroundWheel(b));
  return static_cast<int32_t>(degrees > 180 ? 360 - degrees : degrees);
}

WheelStep DecodeWheelStep(POINT reference, POINT point, int32_t thresholdDegrees) {
  double ref = AngleAroundWheel(reference);
  double now = AngleAroundWheel(point);
  // The threshold looks at whole degrees, the direction at the exact angles.
  if (std::abs(static_cast<int32_t>(ref) - static_cast<int32_t>(now)) < thresholdDegrees) return 0;
  if (ref > 0 && now < 0) return ref > 90.0 ? 1 : -1;   // up across nine or three o'clock
  if (now > 0 && ref < 0) return ref > -90.0 ? 1 : -1;  // down across three or nine o'clock
  if (ref > now) return -1;
  if (ref < now) return 1;
  return 0;
}
