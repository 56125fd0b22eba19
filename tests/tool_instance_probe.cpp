// A stand-in player: says "found" (second start) or "running", "shown", "foreground", "close".
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "platform/instance.h"
#include "platform/test_hooks.h"
#include "platform/window.h"

static LRESULT ProbeProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_SHOWWINDOW:
      if (wParam) std::puts("shown");
      return 0;
    case kCloseRequest:
      std::puts("close");
      DestroyWindow(hwnd);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IONBF, 0);  // each line is read as it is said
  SelectDisplay(DisplayKind::Headless);
  if (HWND running = FindWindowW(kMainWindowClass, kMainWindowTitle)) {
    HWND forward = reinterpret_cast<HWND>(reinterpret_cast<uintptr_t>(running) | 1);
    if (!SetForegroundWindow(forward) || !ShowWindow(running, SW_SHOW))
      std::fprintf(stderr, "probe: the running player did not take the requests\n");
    std::puts("found");
    return 0;
  }
  if (argc > 1) std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(argv[1])));
  SetForegroundNoticeForTests([](HWND) { std::puts("foreground"); });
  WNDCLASSW wc{};
  wc.lpfnWndProc = ProbeProc;
  wc.lpszClassName = kMainWindowClass;
  // Hidden, as after the menu's "Hide", so that a request to show it is seen.
  if (!RegisterClassW(&wc) || !CreateWindowExW(0, kMainWindowClass, kMainWindowTitle, 0, 0, 0, 240,
                                               320, nullptr, nullptr, nullptr, nullptr))
    return 1;
  std::puts("running");
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  return static_cast<int>(msg.wParam);
}
