// `handheld`: no pointer, SDL's virtual controller's buttons give keys; `desktop`: neither.
#include <SDL.h>

#include <cstdio>
#include <string_view>
#include <utility>

#include "platform/display.h"
#include "platform/window.h"

namespace {

constexpr std::pair<SDL_GameControllerButton, UINT> kPresses[] = {
    {SDL_CONTROLLER_BUTTON_DPAD_UP, VK_UP},        {SDL_CONTROLLER_BUTTON_DPAD_DOWN, VK_DOWN},
    {SDL_CONTROLLER_BUTTON_DPAD_LEFT, VK_LEFT},    {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, VK_RIGHT},
    {SDL_CONTROLLER_BUTTON_LEFTSHOULDER, VK_LEFT}, {SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, VK_RIGHT},
    {SDL_CONTROLLER_BUTTON_A, VK_RETURN},          {SDL_CONTROLLER_BUTTON_B, VK_ESCAPE},
    {SDL_CONTROLLER_BUTTON_START, VK_SELECT},
};

UINT keyGot = 0;
bool gaveUp = false;

LRESULT Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_KEYDOWN) keyGot = static_cast<UINT>(wParam);
  if (message == WM_TIMER) gaveUp = true;
  return DefWindowProcW(window, message, wParam, lParam);
}

template <typename Done>
bool RunUntil(HWND window, Done done) {
  gaveUp = false;
  SetTimer(window, 1, 10000, nullptr);
  MSG msg;
  while (!done() && !gaveUp && GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  KillTimer(window, 1);
  return done();
}

int Fail(const char* what) {
  std::fprintf(stderr, "FAIL: %s\n", what);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const bool handheld = argc == 2 && std::string_view(argv[1]) == "handheld";
  SelectDisplay(DisplayKind::Window);
  WNDCLASSW wc{};
  wc.lpfnWndProc = Proc;
  wc.lpszClassName = u"Controller Test";
  RegisterClassW(&wc);
  HWND window = CreateWindowExW(0, u"Controller Test", u"Vesk", WS_VISIBLE, 0, 0, 240, 320, nullptr,
                                nullptr, nullptr, nullptr);
  if (!window) return Fail("no window");
  if (SDL_ShowCursor(SDL_QUERY) != (handheld ? SDL_DISABLE : SDL_ENABLE))
    return Fail(handheld ? "the pointer shows on a handheld" : "a desktop window hid the pointer");
  if (!handheld)
    return SDL_WasInit(SDL_INIT_GAMECONTROLLER) ? Fail("a desktop window took the controllers") : 0;

  int device = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, SDL_CONTROLLER_AXIS_MAX,
                                         SDL_CONTROLLER_BUTTON_MAX, 0);
  if (device < 0) return Fail(SDL_GetError());
  SDL_Joystick* pad = SDL_JoystickOpen(device);
  SDL_JoystickID id = SDL_JoystickInstanceID(pad);
  if (!RunUntil(window, [id] { return SDL_GameControllerFromInstanceID(id) != nullptr; }))
    return Fail("the player did not take up the controller");
  int failed = 0;
  for (auto [button, key] : kPresses) {
    keyGot = 0;
    SDL_JoystickSetVirtualButton(pad, button, SDL_PRESSED);
    // A real controller's device file wakes the player to read it; this one has none.
    SDL_GameControllerUpdate();
    RunUntil(window, [] { return keyGot != 0; });
    SDL_JoystickSetVirtualButton(pad, button, SDL_RELEASED);
    if (keyGot != key) {
      std::fprintf(stderr, "FAIL: button %s gave key 0x%02X, not 0x%02X\n",
                   SDL_GameControllerGetStringForButton(button), keyGot, key);
      ++failed;
    }
  }
  SDL_JoystickClose(pad);
  return failed ? 1 : 0;
}
