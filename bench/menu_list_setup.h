// The headless platform with the player's font and MenuList, as at start-up,
// and names as a large music folder has them: shared by the benchmarks.
#pragma once

#include <string>
#include <vector>

#include "app/app_state.h"
#include "display/skin.h"
#include "menus/menu_list.h"
#include "platform/files.h"
#include "platform/gdi.h"
#include "platform/instance.h"
#include "platform/strings.h"
#include "platform/test_hooks.h"
#include "platform/text.h"
#include "platform/window.h"

// The headless platform with the player's font and MenuList, as at start-up.
struct MenuListSetup {
  HWND list = nullptr;

  MenuListSetup() {
    SelectDisplay(DisplayKind::Headless);
    ResetPlatformForTests();
    ResetAppState();
    app.measureDC = GetDC(nullptr);
    CreateFonts();
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = kMainWindowClass;
    RegisterClassW(&wc);
    app.mainWindow = CreateWindowExW(0, kMainWindowClass, kMainWindowTitle, WS_VISIBLE, 0, 0, 240,
                                     320, nullptr, nullptr, nullptr, nullptr);
    CreateMenuList(app.mainWindow);
    list = GetDlgItem(app.mainWindow, kMenuListId);
  }

  ~MenuListSetup() {
    ReleaseFonts();
    ReleaseDC(nullptr, app.measureDC);
    ResetPlatformForTests();
    ResetAppState();
  }
};

// Names as a large music folder has them, in the folder's own (unsorted)
// order: "Artist - Album - 07 - Title.mp3", with a folder now and then.
inline std::vector<std::u16string> FolderNames(int count) {
  const char16_t* artists[] = {u"The Blue Lanterns", u"Mira Okafor",  u"Los Caminos",
                               u"nordic echo",       u"Théo Lambert", u"Kid Static",
                               u"Ashgrove Quartet",  u"DJ Parallax"};
  const char16_t* words[] = {u"Night", u"Harbour",  u"Silver", u"rain", u"Long", u"Road",
                             u"Home",  u"Electric", u"Summer", u"of",   u"the",  u"Glass"};
  std::vector<std::u16string> names;
  uint32_t seed = 12345;
  auto next = [&](uint32_t n) {
    seed = seed * 1664525u + 1013904223u;
    return (seed >> 8) % n;
  };
  for (int i = 0; i < count; ++i) {
    std::u16string name = artists[next(8)];
    if (i % 10 == 0) {
      names.push_back(name + u" " + words[next(12)]);  // a folder
      continue;
    }
    name += u" - ";
    name += words[next(12)];
    name += u" - ";
    name += char16_t(u'0' + next(2));
    name += char16_t(u'0' + next(10));
    for (uint32_t w = 0, n = 1 + next(4); w < n; ++w)
      name += u" " + std::u16string(words[next(12)]);
    names.push_back(name + u".mp3");
  }
  return names;
}
