#include <gtest/gtest.h>

#include "input/controls.h"

namespace {

class WheelStepTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetAppState();
    LayoutControls({120, 120}, {40, 40}, {40, 40}, {40, 40}, {40, 40});  // centre (120, 210)
  }
};

using WheelStep = WheelStepTest;
using ControlLayout = WheelStepTest;

TEST_F(ControlLayout, TheShippedBitmapsGiveTheButtonRowUnderTheWheel) {
  EXPECT_EQ(app.wheelRect.right, 180);
  EXPECT_EQ(app.backRect.left, 22);
  EXPECT_EQ(app.forwardRect.right, 218);
  EXPECT_EQ(app.menuRect.bottom, 315);
  EXPECT_TRUE(HitTest(app.wheelRect, 60, 150));
  EXPECT_FALSE(HitTest(app.wheelRect, 180, 200)) << "right edge is outside";
  EXPECT_FALSE(HitTest(app.wheelRect, 100, 270)) << "bottom edge is outside";
  EXPECT_TRUE(HitTest(app.wheelRect, 110, 200) && HitTest(app.centerRect, 110, 200));
}

TEST_F(ControlLayout, TheCentreButtonStaysWhateverTheBitmapSizes) {
  LayoutControls({100, 90}, {30, 30}, {30, 30}, {30, 30}, {30, 30});
  EXPECT_EQ(app.wheelRect.right, 160);
  EXPECT_EQ(app.wheelBitmapHeight, 90);
  EXPECT_EQ(app.centerRect.left, 105);
  EXPECT_EQ(app.centerRect.bottom, 220);
}

TEST_F(WheelStep, ASmallClockwiseMoveStepsOnlyPastTheThreshold) {
  EXPECT_EQ(DecodeWheelStep({170, 210}, {170, 220}, 10), 1);  // 0 to 11.3 degrees
  EXPECT_EQ(DecodeWheelStep({170, 210}, {170, 220}, 12), 0);
}

TEST_F(WheelStep, CrossingThreeOClockUpwardsIsCounterClockwise) {
  EXPECT_EQ(DecodeWheelStep({170, 215}, {170, 205}, 10), -1);  // 5 and -5: exactly 10
  EXPECT_EQ(DecodeWheelStep({170, 205}, {170, 215}, 10), 1);
}

TEST_F(WheelStep, CrossingNineOClockUpwardsIsClockwise) {
  EXPECT_EQ(DecodeWheelStep({70, 215}, {70, 205}, 10), 1);  // 174.3 to -174.3
  EXPECT_EQ(DecodeWheelStep({70, 205}, {70, 215}, 10), -1);
}

TEST_F(WheelStep, StraightUpIsNotAboveMinusNinety) {
  EXPECT_EQ(DecodeWheelStep({120, 160}, {70, 215}, 10), -1);
}

TEST_F(WheelStep, ASlowMoveAccumulatesUntilItPassesTheThreshold) {
  POINT ref{170, 210};                                // 0 degrees
  EXPECT_EQ(DecodeWheelStep(ref, {170, 212}, 3), 0);  // 2.3 degrees: the reference stays
  EXPECT_EQ(DecodeWheelStep(ref, {170, 213}, 3), 1);  // 3.4 degrees
}

TEST_F(WheelStep, NearZeroTheTruncatedThresholdAndExactDirectionDisagree) {
  // -0.9 and +9.9 degrees are 10.8 apart but truncate to 0 and 9.
  POINT minus{120 + 1000, 210 - 16};  // about -0.92 degrees
  POINT plus{120 + 100, 210 + 17};    // about 9.65 degrees
  EXPECT_EQ(DecodeWheelStep(minus, plus, 10), 0);
}

TEST_F(WheelStep, APointOnTheCentreHasAngleZero) {
  EXPECT_EQ(DecodeWheelStep({120, 210}, {120, 260}, 10), 1);  // 0 to +90
}

}  // namespace
