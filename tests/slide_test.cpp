#include "display/slide.h"
#include "platform/device.h"
#include "platform/gdi.h"
#include "tests/headless.h"

namespace {

constexpr COLORREF kFill = RGB(198, 220, 202);

LRESULT PlainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

class Slide : public Headless {
 protected:
  void SetUp() override {
    Headless::SetUp();
    ResetAppState();
    WNDCLASSW wc{};
    wc.lpfnWndProc = PlainProc;
    wc.lpszClassName = u"Plain";
    RegisterClassW(&wc);
    main = CreateWindowExW(0, u"Plain", u"", WS_VISIBLE, 0, 0, 240, 320, nullptr, nullptr, nullptr,
                           nullptr);
  }

  // A pane of the given width, striped so that any pixel left behind shows.
  HWND StripedPane(int width) {
    HWND pane = CreateWindowExW(0, u"Plain", u"", WS_CHILD | WS_VISIBLE, 40, 28, width, 30, main,
                                nullptr, nullptr, nullptr);
    HDC hdc = GetDC(pane);
    for (int x = 0; x < width; ++x) {
      HBRUSH brush = CreateSolidBrush(RGB(x * 7 % 256, 0, 100));
      RECT column{x, 0, x + 1, 30};
      FillRect(hdc, &column, brush);
      DeleteObject(brush);
    }
    ReleaseDC(pane, hdc);
    return pane;
  }

  static int PixelsNotFilled(HWND pane) {
    HDC hdc = GetDC(pane);
    RECT rc;
    GetClientRect(pane, &rc);
    int wrong = 0;
    for (int y = 0; y < rc.bottom; ++y) {
      for (int x = 0; x < rc.right; ++x) wrong += GetPixel(hdc, x, y) != kFill;
    }
    ReleaseDC(pane, hdc);
    return wrong;
  }

  HWND main = nullptr;
};

TEST_F(Slide, LeavesEveryPixelInTheFillColourInBothDirectionsAtEveryWidth) {
  for (int width : {3, 4, 5, 8, 151, 160}) {
    for (SlideDirection direction : {SlideDirection::Left, SlideDirection::Right}) {
      HWND pane = StripedPane(width);
      SlideOut(pane, direction, kFill);
      EXPECT_EQ(PixelsNotFilled(pane), 0) << "width " << width;
      EXPECT_EQ(ScreenPixel(40 + width, 40), RGB(0, 0, 0)) << "nothing drawn beside the pane";
      DestroyWindow(pane);
    }
  }
}

TEST_F(Slide, TheContentMovesFourPixelsAFrameAndEachFrameIsShown) {
  HWND pane = StripedPane(160);
  int presented = PresentCount();
  DWORD start = GetTickCount();
  SlideOut(pane, SlideDirection::Right, kFill);
  EXPECT_EQ(PresentCount() - presented, 39) << "one frame per 4 pixels of 160";
  EXPECT_EQ(GetTickCount() - start, 39u) << "each frame lasts at least 1 ms";

  pane = StripedPane(8);
  SetManualClock(0);
  SlideOut(pane, SlideDirection::Right, kFill);
  EXPECT_EQ(GetTickCount(), 1u) << "8 pixels wide: one copy";
}

TEST_F(Slide, APaneOfFourPixelsOrLessGetsOnlyTheStrip) {
  HWND pane = StripedPane(4);
  SetManualClock(100);
  SlideOut(pane, SlideDirection::Left, kFill);
  EXPECT_EQ(GetTickCount(), 100u) << "no frame was paced";
  EXPECT_EQ(PixelsNotFilled(pane), 0);
}

TEST(PaceFrame, SleepsOnlyForWhatIsLeftOfTheFrame) {
  SelectDisplay(DisplayKind::Headless);
  ResetPlatformForTests();
  SetManualClock(1000);
  PaceFrame(1, FramePhase::Begin);
  PaceFrame(1, FramePhase::End);
  EXPECT_EQ(GetTickCount(), 1001u) << "no time passed: sleeps 1 ms";
  PaceFrame(5, FramePhase::Begin);
  AdvanceManualClock(7);
  PaceFrame(0, FramePhase::End);
  EXPECT_EQ(GetTickCount(), 1008u) << "a frame that took long enough does not sleep";
}

TEST(PaceFrame, ATickCounterWrapGivesTheRightElapsedTime) {
  SelectDisplay(DisplayKind::Headless);
  ResetPlatformForTests();
  SetManualClock(0xFFFFFFFE);
  PaceFrame(3, FramePhase::Begin);
  AdvanceManualClock(2);  // now 0
  PaceFrame(3, FramePhase::End);
  EXPECT_EQ(GetTickCount(), 1u) << "slept 1 ms, not four billion";
}

}  // namespace
