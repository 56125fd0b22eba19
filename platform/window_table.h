// The window table shared by window.cpp and message_queue.cpp.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/internal.h"

namespace plat {

struct Window {
  bool alive = true;
  HWND handle = nullptr;
  std::u16string className;
  std::u16string text;
  WNDPROC proc = nullptr;
  HBRUSH background = nullptr;  // the class's erase brush
  HWND parent = nullptr;
  std::vector<HWND> children;  // later ones lie on top
  DWORD style = 0;
  int id = 0;
  RECT rect{};  // border included, in the parent's client pixels (screen for top level)
  bool visible = false;
  RECT invalid{};  // client pixels waiting for WM_PAINT
  bool erase = false;
};

Window* Find(HWND hwnd);                          // null unless a live window of this process
std::vector<std::unique_ptr<Window>>& Windows();  // slot i holds handle i; slot 0 unused
int BorderWidth(const Window& w);
bool IsShown(const Window& w);  // visible along with every ancestor
// Drops what is queued or pending for a window that is being destroyed.
void ForgetWindowMessages(HWND hwnd);

}  // namespace plat
