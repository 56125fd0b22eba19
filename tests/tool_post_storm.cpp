// `tool_post_storm`: a window whose loop another thread wakes all the time, as the sound's
// notices and the media controls may; it ends as by its close button, with 0.
#include <atomic>
#include <chrono>
#include <thread>

#include "platform/display.h"
#include "platform/gdi.h"
#include "platform/window.h"

static LRESULT StormProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

int main() {
  if (!SelectDisplay(DisplayKind::Window)) return 2;
  WNDCLASSW wc{};
  wc.lpfnWndProc = StormProc;
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = u"Storm";
  HWND window = RegisterClassW(&wc) ? CreateWindowExW(0, u"Storm", u"Vesk", WS_VISIBLE, 0, 0, 240,
                                                      320, nullptr, nullptr, nullptr, nullptr)
                                    : nullptr;
  if (!window) return 2;
  std::atomic<bool> ended{false};
  std::thread storm([&] {
    while (!ended) {
      PostMessageW(window, WM_NULL, 0, 0);
      std::this_thread::sleep_for(std::chrono::milliseconds(3));
    }
  });
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  ended = true;
  storm.join();
  return 0;
}
