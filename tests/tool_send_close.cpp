// Posts the close request to the running player, as another program would.
// Exits 0 when a player was found, 1 otherwise.
#include "app/player.h"
#include "platform/test_hooks.h"
#include "platform/window.h"

int main() {
  SelectDisplay(DisplayKind::Headless);
  HWND player = FindWindowW(kMainWindowClass, kMainWindowTitle);
  return player && PostMessageW(player, kCloseRequest, 0, 0) ? 0 : 1;
}
