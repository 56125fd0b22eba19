#include <gtest/gtest.h>

#include <tuple>

#include "input/controls.h"

namespace {

TEST(WheelStep, ADragStepsOnlyPastTheThresholdInTheDirectionItTurns) {
  ResetAppState();
  LayoutControls({120, 120}, {40, 40}, {40, 40}, {40, 40}, {40, 40});  // centre (120, 210)
  const std::tuple<const char*, POINT, POINT, int32_t, WheelStep> cases[] = {
      {"0 to 11.3 degrees", {170, 210}, {170, 220}, 10, 1},
      {"below a larger threshold", {170, 210}, {170, 220}, 12, 0},
      {"2.3 degrees: the reference stays", {170, 210}, {170, 212}, 3, 0},
      {"3.4 degrees", {170, 210}, {170, 213}, 3, 1},
      {"up across three o'clock: counter-clockwise", {170, 215}, {170, 205}, 10, -1},
      {"down across three o'clock", {170, 205}, {170, 215}, 10, 1},
      {"up across nine o'clock: clockwise", {70, 215}, {70, 205}, 10, 1},
      {"down across nine o'clock", {70, 205}, {70, 215}, 10, -1},
      {"straight up is not above -90", {120, 160}, {70, 215}, 10, -1},
      // -0.92 and 9.65 degrees are 10.6 apart but truncate to 0 and 9.
      {"the threshold looks at whole degrees", {1120, 194}, {220, 227}, 10, 0},
      {"the centre itself is at 0 degrees", {120, 210}, {120, 260}, 10, 1},
  };
  for (const auto& [what, from, to, threshold, step] : cases)
    EXPECT_EQ(DecodeWheelStep(from, to, threshold), step) << what;
}

}  // namespace
