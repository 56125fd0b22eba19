// Starts the player in its window on a screen the menus cannot reach yet,
// for screenshots: `show_screen about`. Ends like the player does.
#include <cstring>

#include "app/player.h"
#include "app/settings.h"
#include "display/painters.h"
#include "display/skin.h"
#include "platform/strings.h"
#include "platform/test_hooks.h"
#include "platform/window.h"

int main(int argc, char** argv) {
  if (argc != 2 || std::strcmp(argv[1], "about") != 0) return 2;
  SelectDisplay(DisplayKind::Window);
  HINSTANCE instance = GetModuleHandleW(nullptr);
  LoadSettings();
  app.instance = instance;
  CreateDrawingResources(instance);
  CreateMainWindow(instance);
  CreatePanes(instance);
  if (!app.mainWindow) return 1;

  StringCchCopyW(app.headerTitle, kTextChars, u"About");
  ShowWindow(GetDlgItem(app.mainWindow, kMenuListId), SW_HIDE);
  ShowWindow(GetDlgItem(app.mainWindow, kScrollBarId), SW_HIDE);
  ShowWindow(GetDlgItem(app.mainWindow, kAboutViewId), SW_SHOW);
  PaintStatusBar(GetDlgItem(app.mainWindow, kStatusBarId), true);
  app.viewMode = ViewMode::About;

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  return static_cast<int>(msg.wParam);
}
