// The cost of a message and of showing a frame, and the length of a slide.
// Frames are presented in a real window when DISPLAY is set (run under Xvfb
// by tools/benchmarks.sh), otherwise on the headless display.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>

#include "app/app_state.h"
#include "display/slide.h"
#include "platform/gdi.h"
#include "platform/test_hooks.h"
#include "platform/window.h"

namespace {

LRESULT CountingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  static int count;
  if (msg == WM_USER) return ++count;
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// A main window with one pane the size of the track view, on the display the
// environment offers.
struct Screen {
  Screen() {
    SelectDisplay(std::getenv("DISPLAY") ? DisplayKind::Window : DisplayKind::Headless);
    ResetPlatformForTests();
    WNDCLASSW wc{};
    wc.lpfnWndProc = CountingProc;
    wc.lpszClassName = u"Bench";
    RegisterClassW(&wc);
    main = CreateWindowExW(0, u"Bench", u"Vesk bench", WS_VISIBLE, 0, 0, 240, 320, nullptr, nullptr,
                           nullptr, nullptr);
    pane = CreateWindowExW(0, u"Bench", u"", WS_CHILD | WS_VISIBLE, 40, 28, 160, 78, main, nullptr,
                           nullptr, nullptr);
    GdiFlush();
  }
  ~Screen() { ResetPlatformForTests(); }
  HWND main = nullptr;
  HWND pane = nullptr;
};

void BM_SendMessage(benchmark::State& state) {
  Screen screen;
  for (auto _ : state) benchmark::DoNotOptimize(SendMessageW(screen.main, WM_USER, 0, 0));
}
BENCHMARK(BM_SendMessage);

void BM_PostAndDispatch(benchmark::State& state) {
  Screen screen;
  MSG msg;
  for (auto _ : state) {
    PostMessageW(screen.main, WM_USER, 0, 0);
    PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);
    DispatchMessageW(&msg);
  }
}
BENCHMARK(BM_PostAndDispatch);

void BM_FullScreenPresent(benchmark::State& state) {
  Screen screen;
  HDC hdc = GetDC(nullptr);
  HBRUSH brushes[] = {CreateSolidBrush(RGB(198, 220, 202)), CreateSolidBrush(RGB(105, 223, 227))};
  RECT all{0, 0, 240, 320};
  int i = 0;
  for (auto _ : state) {
    FillRect(hdc, &all, brushes[i++ & 1]);
    GdiFlush();
  }
  state.SetLabel(std::getenv("DISPLAY") ? "window" : "headless");
  DeleteObject(brushes[0]);
  DeleteObject(brushes[1]);
  ReleaseDC(nullptr, hdc);
}
BENCHMARK(BM_FullScreenPresent);

// A 160-pixel slide: 39 frames of at least 1 ms, each presented.
void BM_Slide160(benchmark::State& state) {
  Screen screen;
  for (auto _ : state) {
    SlideOut(screen.pane, SlideDirection::Left, RGB(198, 220, 202));
  }
  state.SetLabel(std::getenv("DISPLAY") ? "window, real clock" : "headless, manual clock");
}
BENCHMARK(BM_Slide160)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
