#include <algorithm>
#include <array>

#include "display/slide.h"
#include "platform/device.h"
#include "platform/gdi.h"
#include "tests/headless.h"

namespace {

constexpr COLORREF kFill = RGB(198, 220, 202);

class Slide : public Headless {
 protected:
  void SetUp() override {
    Headless::SetUp();
    ResetAppState();
    main = PlainWindow();
  }

  HWND main = nullptr;
};

// Four pixels a frame of at least 1 ms; a pane of four pixels or less gets only the strip.
TEST_F(Slide, TheContentMovesFourPixelsAFrameAndLeavesOnlyTheFill) {
  for (auto [width, frames] : {std::pair{3, 0}, {4, 0}, {5, 1}, {8, 1}, {151, 37}, {160, 39}}) {
    for (SlideDirection direction : {SlideDirection::Left, SlideDirection::Right}) {
      SCOPED_TRACE(testing::Message() << "width " << width << " " << int(direction));
      HWND pane = PlainWindow(main, {40, 28, 40 + width, 58});
      HDC hdc = GetDC(pane);
      for (int x = 0; x < width; ++x) {  // striped, so that any pixel left behind shows
        HBRUSH brush = CreateSolidBrush(RGB(x * 7 % 256, 0, 100));
        RECT column{x, 0, x + 1, 30};
        FillRect(hdc, &column, brush);
        DeleteObject(brush);
      }
      ReleaseDC(pane, hdc);
      int presented = PresentCount();
      DWORD start = GetTickCount();
      SlideOut(pane, direction, kFill);
      EXPECT_EQ(PresentCount() - presented, frames);
      EXPECT_EQ(GetTickCount() - start, DWORD(frames));
      const std::vector<COLORREF> pixels = ScreenPixels({40, 28, 40 + width, 58});
      EXPECT_EQ(std::count(pixels.begin(), pixels.end(), kFill), 30 * width) << "all filled";
      EXPECT_EQ(ScreenPixel(40 + width, 40), RGB(0, 0, 0)) << "nothing drawn beside the pane";
      DestroyWindow(pane);
    }
  }
}

TEST_F(Slide, AFrameSleepsOnlyForWhatIsLeftOfItRightAcrossAWrap) {
  // A frame that took long enough does not sleep; across the wrap it sleeps 1 ms.
  for (auto [start, duration, taken, end] :
       {std::array<DWORD, 4>{1000, 1, 0, 1001}, {1000, 5, 7, 1007}, {0xFFFFFFFE, 3, 2, 1}}) {
    SetManualClock(start);
    PaceFrame(duration, FramePhase::Begin);
    AdvanceManualClock(taken);
    PaceFrame(0, FramePhase::End);
    EXPECT_EQ(GetTickCount(), end) << start << " + " << taken;
  }
}

}  // namespace
