// Posts the close request to the running player, as another program would.
// Exits 0 when a player was found, 1 otherwise.
#include "app/player.h"
#include "platform/display.h"
#include "platform/window.h"

int main() {
  SelectDisplay(DisplayKind::Headless);
  HWND player = FindWindowW(u"Main Window", u"Vesk");
  return player && PostMessageW(player, kCloseRequest, 0, 0) ? 0 : 1;
}
