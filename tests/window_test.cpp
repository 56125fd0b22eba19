#include <thread>
#include <tuple>
#include <vector>

#include "platform/gdi.h"
#include "tests/headless.h"

namespace {

struct Seen {
  HWND hwnd;
  UINT message;
  LPARAM lParam;
};
std::vector<Seen> seen;

LRESULT RecordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  bool bookkeeping =
      msg == WM_CREATE || msg == WM_SHOWWINDOW || msg == WM_SETFOCUS || msg == WM_KILLFOCUS;
  if (!bookkeeping) seen.push_back(Seen{hwnd, msg, lParam});
  if (msg == WM_ERASEBKGND) return 1;
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// The messages one window got, or (null) every window.
std::vector<UINT> Messages(HWND hwnd) {
  std::vector<UINT> out;
  for (const Seen& s : seen)
    if (!hwnd || s.hwnd == hwnd) out.push_back(s.message);
  return out;
}

class Windows : public Headless {
 protected:
  void SetUp() override {
    Headless::SetUp();
    seen.clear();
    WNDCLASSW wc{};
    wc.lpfnWndProc = RecordingProc;
    wc.lpszClassName = u"Test";
    ASSERT_NE(RegisterClassW(&wc), 0);
    main = CreateWindowExW(0, u"Test", u"Main", WS_VISIBLE, 0, 0, 240, 320, nullptr, nullptr,
                           nullptr, nullptr);
    left = Child(1, 20, 20, 100, 100, WS_VISIBLE);
    right = Child(2, 120, 20, 100, 100, WS_VISIBLE);
    PumpMessages();
    seen.clear();
  }

  HWND Child(int id, int x, int y, int w, int h, DWORD style) {
    return CreateWindowExW(0, u"Test", u"", WS_CHILD | style, x, y, w, h, main,
                           reinterpret_cast<void*>(static_cast<intptr_t>(id)), nullptr, nullptr);
  }

  HWND main = nullptr, left = nullptr, right = nullptr;
};

TEST_F(Windows, PostedMessagesComeBeforeInputPaintAndTimers) {
  SetTimer(main, 1, 10, nullptr);
  AdvanceManualClock(10);
  InvalidateRect(left, nullptr, FALSE);
  InjectKey(VK_UP);
  PostMessageW(main, WM_USER, 0, 0);
  PumpMessages();
  EXPECT_EQ(Messages(nullptr), (std::vector<UINT>{WM_USER, WM_KEYDOWN, WM_PAINT, WM_TIMER}));
}

TEST_F(Windows, ATimerIsDueAFullPeriodAfterItWasSetAndNeverPilesUp) {
  SetManualClock(0xFFFFFF00);  // across the wrap of the tick counter
  SetTimer(main, 1, 1000, nullptr);
  EXPECT_EQ(PumpAfter(100), 0);  // due past the wrap, the clock not yet
  EXPECT_EQ(PumpAfter(899), 0);
  EXPECT_EQ(PumpAfter(1), 1);
  EXPECT_EQ(PumpAfter(5000), 1);     // five periods late: still one tick
  SetTimer(main, 1, 1000, nullptr);  // setting it again restarts the period
  EXPECT_EQ(PumpAfter(999), 0);
  KillTimer(main, 1);
  EXPECT_EQ(PumpAfter(5000), 0);
}

TEST_F(Windows, APostFromAnotherThreadWakesABlockedLoopThatEndsAfterWhatCameBeforeTheQuit) {
  std::thread poster([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    PostMessageW(main, WM_USER + 7, 1, 2);
  });
  MSG msg;
  ASSERT_EQ(GetMessageW(&msg, nullptr, 0, 0), 1);  // nothing due: blocks until the post
  poster.join();
  EXPECT_EQ(msg.message, WM_USER + 7);
  PostMessageW(main, WM_USER, 0, 0);
  PostQuitMessage(3);
  PostMessageW(main, WM_USER + 1, 0, 0);
  ASSERT_EQ(GetMessageW(&msg, nullptr, 0, 0), 1);
  EXPECT_EQ(msg.message, WM_USER);
  ASSERT_EQ(GetMessageW(&msg, nullptr, 0, 0), 0);
  EXPECT_EQ(msg.wParam, 3u);
}

TEST_F(Windows, HidingAChildRepaintsWhatItCoveredShowingItRepaintsItAndItCannotBeRead) {
  HWND over = Child(3, 20, 20, 100, 100, 0);  // same place as left, hidden
  ShowWindow(left, SW_HIDE);
  ShowWindow(over, SW_SHOW);
  RECT rc;
  EXPECT_TRUE(GetUpdateRect(main, &rc, FALSE));
  EXPECT_EQ(std::tuple(rc.left, rc.bottom), std::tuple(20, 120));
  PumpMessages();
  EXPECT_EQ(Messages(over), (std::vector<UINT>{WM_PAINT, WM_ERASEBKGND})) << "BeginPaint erases";
  EXPECT_TRUE(Messages(left).empty()) << "a hidden window is not painted";
  EXPECT_FALSE(GetUpdateRect(over, &rc, FALSE));
  HDC hidden = GetDC(left);
  EXPECT_EQ(GetPixel(hidden, 10, 10), CLR_INVALID) << "a hidden window's context reads nothing";
  ReleaseDC(left, hidden);
}

// As on a touch screen, the window under the pen down keeps the stroke.
TEST_F(Windows, TheStylusStrokeGoesToTheWindowUnderThePenDownInItsClientPixels) {
  InjectStylus(WM_MOUSEMOVE, 50, 50);  // no touch yet: no movement
  InjectStylus(WM_LBUTTONDOWN, 130, 30);
  InjectStylus(WM_MOUSEMOVE, 131, 31);
  InjectStylus(WM_MOUSEMOVE, 135, 35);  // only the newest move is kept
  InjectStylus(WM_LBUTTONUP, 5, 300);   // lifted over the main window
  InjectStylus(WM_LBUTTONDOWN, 5, 300);
  PumpMessages();
  std::vector<std::tuple<HWND, UINT, int, int>> got;
  for (const Seen& s : seen)
    got.emplace_back(s.hwnd, s.message, int16_t(LOWORD(s.lParam)), int16_t(HIWORD(s.lParam)));
  EXPECT_EQ(got, (decltype(got){{right, WM_LBUTTONDOWN, 10, 10},
                                {right, WM_MOUSEMOVE, 15, 15},
                                {right, WM_LBUTTONUP, 5 - 120, 300 - 20},
                                {main, WM_LBUTTONDOWN, 5, 300}}));  // the next stroke starts afresh
}

TEST_F(Windows, DestroyingTellsEveryChildAndDropsTheirMessages) {
  SetTimer(left, 1, 10, nullptr);
  PostMessageW(left, WM_USER, 0, 0);
  DestroyWindow(main);
  for (HWND window : {main, left, right})
    EXPECT_EQ(Messages(window), std::vector<UINT>{WM_DESTROY});
  seen.clear();
  PumpAfter(100);
  SendMessageW(left, WM_USER, 0, 0);
  EXPECT_TRUE(seen.empty());
  EXPECT_EQ(GetDlgItem(main, 1), nullptr);
}

TEST_F(Windows, AChildIsMeasuredInsideItsBorder) {
  HWND framed = Child(8, 191, 27, 9, 109, WS_VISIBLE | WS_BORDER);
  RECT rc;
  GetClientRect(framed, &rc);
  EXPECT_EQ(std::tuple(rc.right, rc.bottom), std::tuple(7, 107));
}

}  // namespace
