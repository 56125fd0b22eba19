// MenuList on the headless platform, in the player's font: a main window that
// records what its list tells it and answers colour requests with a brush of
// the test's choosing, and a ScrollBar pane beside the list.
#pragma once

#include "display/skin.h"
#include "menus/menu_list.h"
#include "platform/gdi.h"
#include "platform/instance.h"
#include "platform/strings.h"
#include "platform/text.h"
#include "tests/headless.h"

namespace menu_list_fixture {

constexpr COLORREF kScreenColour = RGB(170, 190, 150);  // grey-green, like the LCD

struct Event {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};
inline std::vector<Event> events;
inline HBRUSH listBrush = nullptr;

inline LRESULT MainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_COMMAND || msg == WM_CTLCOLORLISTBOX || msg == WM_KEYDOWN)
    events.push_back(Event{hwnd, msg, wParam, lParam});
  if (msg == WM_CTLCOLORLISTBOX) {
    SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
    return reinterpret_cast<LRESULT>(listBrush);
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

inline LRESULT PaneProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_PAINT) events.push_back(Event{hwnd, msg, wParam, lParam});
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace menu_list_fixture

class MenuListFixture : public Headless {
 protected:
  void SetUp() override {
    using namespace menu_list_fixture;
    Headless::SetUp();
    ResetAppState();
    app.measureDC = GetDC(nullptr);
    ASSERT_TRUE(CreateFonts());
    listBrush = CreateSolidBrush(kScreenColour);

    WNDCLASSW wc{};
    wc.lpfnWndProc = MainProc;
    wc.lpszClassName = kMainWindowClass;
    ASSERT_NE(RegisterClassW(&wc), 0);
    wc.lpfnWndProc = PaneProc;
    wc.lpszClassName = u"Scroll Window";
    ASSERT_NE(RegisterClassW(&wc), 0);
    app.mainWindow = CreateWindowExW(0, kMainWindowClass, kMainWindowTitle, WS_VISIBLE, 0, 0, 240,
                                     320, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(app.mainWindow, nullptr);
    CreateMenuList(app.mainWindow);
    list = GetDlgItem(app.mainWindow, kMenuListId);
    ASSERT_NE(list, nullptr);
    scrollBar = CreateWindowExW(0, u"Scroll Window", kMainWindowTitle,
                                WS_CHILD | WS_VISIBLE | WS_BORDER, 191, 27, 9, 109, app.mainWindow,
                                reinterpret_cast<void*>(intptr_t{kScrollBarId}), nullptr, nullptr);
    PumpMessages();
    events.clear();
  }

  void TearDown() override {
    ReleaseFonts();
    ReleaseDC(nullptr, app.measureDC);
    ResetAppState();
    Headless::TearDown();
  }

  LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return SendMessageW(list, message, wParam, lParam);
  }
  LRESULT SendText(UINT message, WPARAM wParam, const char16_t* text) {
    return Send(message, wParam, reinterpret_cast<LPARAM>(text));
  }
  void Append(std::initializer_list<const char16_t*> texts) {  // unfitted, in this order
    for (const char16_t* text : texts) SendText(LB_INSERTSTRING, static_cast<WPARAM>(-1), text);
  }
  std::u16string RowText(int index) { return ListRow(list, index); }
  std::vector<std::u16string> Rows() { return ListRows(list); }
  LRESULT Selected() { return Send(LB_GETCURSEL); }
  LRESULT Top() { return Send(LB_GETTOPINDEX); }

  int Count(UINT message, HWND hwnd = nullptr) {
    int n = 0;
    for (const auto& e : menu_list_fixture::events)
      n += e.message == message && (!hwnd || e.hwnd == hwnd);
    return n;
  }

  int32_t Width(const std::u16string& text) {
    SIZE size{};
    GetTextExtentExPointW(app.measureDC, text.c_str(), static_cast<int>(text.size()), 0, nullptr,
                          nullptr, &size);
    return size.cx;
  }

  HWND list = nullptr;
  HWND scrollBar = nullptr;
};
