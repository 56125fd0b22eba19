// Posts the close request to the running player; exits 1 when none runs.
#include "app/player.h"
#include "platform/test_hooks.h"
#include "platform/window.h"

int main() {
  SelectDisplay(DisplayKind::Headless);
  HWND player = FindWindowW(kMainWindowClass, kMainWindowTitle);
  return player && PostMessageW(player, kCloseRequest, 0, 0) ? 0 : 1;
}
