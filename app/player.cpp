#include "app/player.h"

#include "app/resume.h"
#include "app/services.h"
#include "app/settings.h"
#include "display/painters.h"
#include "display/skin.h"
#include "input/main_window.h"
#include "menus/browser.h"
#include "menus/menu_list.h"
#include "menus/menu_screens.h"
#include "platform/gdi.h"
#include "platform/strings.h"
#include "platform/window.h"
#include "playback/sound_engine.h"

namespace {

constexpr WORD kIconId = 101;
constexpr DWORD kPaneVisibleStyle = 0x10000001;
constexpr DWORD kScrollBarStyle = 0x10800001;  // visible, one-pixel border
constexpr DWORD kPaneHiddenStyle = 0x00000001;

struct PaneRow {
  const WCHAR* className;
  int id;
  RECT place;  // left, top, width, height
  DWORD style;
};

// In creation order, which is also the order they lie on each other.
constexpr PaneRow kPanes[] = {
    {u"Status Window", kStatusBarId, {40, 8, 160, 20}, kPaneVisibleStyle},
    {u"Scroll Window", kScrollBarId, {191, 27, 9, 109}, kScrollBarStyle},
    {u"Track Window", kTrackViewId, {40, 28, 160, 78}, kPaneHiddenStyle},
    {u"Play Window", kPlayViewId, {40, 106, 160, 30}, kPaneHiddenStyle},
    {u"About Window", kAboutViewId, {40, 28, 160, 108}, kPaneHiddenStyle},
};

bool RegisterWindowClass(HINSTANCE instance, const WCHAR* name, WNDPROC proc, HICON icon) {
  WNDCLASSW wc{};
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = proc;
  wc.hInstance = instance;
  wc.hIcon = icon;
  wc.lpszClassName = name;
  return RegisterClassW(&wc) != 0;
}

void CreatePane(HINSTANCE instance, const PaneRow& pane) {
  RegisterWindowClass(instance, pane.className, PaneWindowProc, nullptr);
  CreateWindowExW(0, pane.className, kMainWindowTitle, WS_CHILD | pane.style, pane.place.left,
                  pane.place.top, pane.place.right, pane.place.bottom, app.mainWindow,
                  reinterpret_cast<void*>(static_cast<intptr_t>(pane.id)), instance, nullptr);
}

}  // namespace

bool StartPlayer(HINSTANCE instance, int* exitCode) {
  *exitCode = 0;
  HWND running = FindWindowW(kMainWindowClass, kMainWindowTitle);
  if (running) {
    SetForegroundWindow(reinterpret_cast<HWND>(reinterpret_cast<uintptr_t>(running) | 1));
    ShowWindow(running, SW_SHOW);
    return false;
  }
  LoadSettings();
  app.streamOpen = 0;
  app.instance = instance;
  app.playlist = nullptr;
  CreateDrawingResources(instance);
  CreateMainWindow(instance);
  CreatePanes(instance);
  // Without a window there is nothing to use: say so, rather than end as if
  // all went well.
  if (!app.mainWindow) {
    *exitCode = 1;
    return false;
  }
  // The player shows before the sound starts: the attempts to start it, and
  // the box that reports their failure, never keep the first frame back.
  MSG msg;
  while (PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_NOREMOVE)) DispatchMessageW(&msg);
  GdiFlush();
  InitSoundEngine(app.mainWindow);
  ReportMissingMusic();
  // The kept track opens once the first frame is shown, and so never delays it.
  if (LastPlayedName()) SetTimer(app.mainWindow, kResumeTimerId, 1, nullptr);
  return true;
}

int RunPlayer(HINSTANCE instance) {
  int exitCode;
  if (!StartPlayer(instance, &exitCode)) return exitCode;
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}

void CreateMainWindow(HINSTANCE instance) {
  RegisterWindowClass(instance, kMainWindowClass, MainWindowProc,
                      LoadIconW(instance, MAKEINTRESOURCEW(kIconId)));
  GetScreenSize(&app.screenWidth, &app.screenHeight);
  app.mainWindow =
      CreateWindowExW(0, kMainWindowClass, kMainWindowTitle, WS_VISIBLE, 0, 0, app.screenWidth,
                      app.screenHeight, nullptr, nullptr, instance, nullptr);
  if (!app.mainWindow) return;
  SHFullScreen(app.mainWindow, kFullScreenFlags);
  CreateMenuList(app.mainWindow);
  ShowMainMenu(Pane(kMenuListId), kBrowseRow);
  RefreshDesktop();
  ReportPlayback();
}

void CreatePanes(HINSTANCE instance) {
  for (const PaneRow& pane : kPanes) CreatePane(instance, pane);
}

void GetScreenSize(int32_t* width, int32_t* height) {
  HDC screen = GetDC(nullptr);
  *width = GetDeviceCaps(screen, HORZRES);
  *height = GetDeviceCaps(screen, VERTRES);
  ReleaseDC(nullptr, screen);
}

void RefreshDesktop() {
  HWND desktop = FindWindowW(nullptr, u"Desktop");
  if (!desktop) return;
  InvalidateRect(desktop, nullptr, TRUE);
  UpdateWindow(desktop);
}
