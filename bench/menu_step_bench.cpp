// From a stylus movement on the wheel to the frame presented, for one step of
// the Main menu: the click, the new highlight and the scroll bar. The 100 ms
// pause that follows a step is not counted. In a real window (DISPLAY set,
// tools/benchmarks.sh) the pause is a real sleep and is subtracted; on the
// headless display it costs nothing and presenting is not done.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdlib>

#include "app/player.h"
#include "platform/test_hooks.h"
#include "platform/window.h"

namespace {

constexpr double kMenuPauseMs = 100;
constexpr double kRingRadius = 40;

POINT Ring(double degrees) {
  const RECT& w = app.wheelRect;
  double a = degrees * M_PI / 180;
  return POINT{(w.left + w.right) / 2 + static_cast<LONG>(std::lround(kRingRadius * std::cos(a))),
               (w.top + w.bottom) / 2 + static_cast<LONG>(std::lround(kRingRadius * std::sin(a)))};
}

void BM_MenuStep(benchmark::State& state) {
  bool window = std::getenv("DISPLAY") != nullptr;
  SelectDisplay(window ? DisplayKind::Window : DisplayKind::Headless);
  ResetPlatformForTests();
  ResetAppState();
  int exitCode;
  if (!StartPlayer(GetModuleHandleW(nullptr), &exitCode)) {
    state.SkipWithError("the player did not start");
    return;
  }
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  app.clicker = 1;
  // Down one row, then back up: every movement is a step.
  const POINT points[] = {Ring(90), Ring(102)};
  app.penDownPoint = points[0];
  int next = 1;
  for (auto _ : state) {
    POINT p = points[next];
    next ^= 1;
    auto start = std::chrono::steady_clock::now();
    SendMessageW(app.mainWindow, WM_MOUSEMOVE, 1, MAKELPARAM(p.x, p.y));
    std::chrono::duration<double, std::milli> spent = std::chrono::steady_clock::now() - start;
    double ms = window ? spent.count() - kMenuPauseMs : spent.count();
    state.SetIterationTime(std::max(ms, 0.0) / 1000);
  }
  state.SetLabel(window ? "window, pause subtracted" : "headless, not presented");
  ResetPlatformForTests();
  ResetAppState();
}
// Each step waits its real pause in a window: a fixed count keeps the run short.
BENCHMARK(BM_MenuStep)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(100);

}  // namespace
