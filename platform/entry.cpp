// The program's start: the desktop window as the display, then the player.
#include "platform/context.h"
#include "platform/display.h"
#include "platform/window.h"

// Defined by the player, as the device's entry point was.
int RunPlayer(HINSTANCE instance);

int main() {
  // Without a display that shows a window the player would run unseen and
  // hold the single-instance socket, so that no later start could show one.
  if (!SelectDisplay(DisplayKind::Window)) return 1;
  plat::StartPlatform();
  int rc = RunPlayer(GetModuleHandleW(nullptr));
  plat::EndPlatform();
  return rc;
}
