// The program's start: the desktop window as the display, then the player.
#include "platform/display.h"
#include "platform/window.h"

// Defined by the player, as the device's entry point was.
int RunPlayer(HINSTANCE instance);

int main() {
  SelectDisplay(DisplayKind::Window);
  return RunPlayer(GetModuleHandleW(nullptr));
}
