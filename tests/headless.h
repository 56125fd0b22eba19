// A clean headless platform for each test (no window, a manual clock) and shared file helpers.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "platform/test_hooks.h"
#include "platform/window.h"

class Headless : public ::testing::Test {
 protected:
  void SetUp() override {
    SelectDisplay(DisplayKind::Headless);
    ResetPlatformForTests();
  }
  void TearDown() override { ResetPlatformForTests(); }
};

// A window that draws nothing itself: the whole screen, or a visible pane of the parent.
inline HWND PlainWindow(HWND parent = nullptr, RECT at = {0, 0, 240, 320}) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.lpszClassName = u"Plain";
  RegisterClassW(&wc);  // refused, harmlessly, once registered
  return CreateWindowExW(0, u"Plain", u"", WS_VISIBLE | (parent ? WS_CHILD : 0), at.left, at.top,
                         at.right - at.left, at.bottom - at.top, parent, nullptr, nullptr, nullptr);
}

// Dispatches every message that is due now, paints and timers included.
inline int PumpMessages() {
  MSG msg;
  int count = 0;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) break;
    DispatchMessageW(&msg);
    ++count;
  }
  return count;
}
inline int PumpAfter(DWORD ms) {
  AdvanceManualClock(ms);
  return PumpMessages();
}

inline std::vector<COLORREF> ScreenPixels(RECT area = {0, 0, 240, 320}) {
  std::vector<COLORREF> pixels;
  for (int y = area.top; y < area.bottom; ++y)
    for (int x = area.left; x < area.right; ++x) pixels.push_back(ScreenPixel(x, y));
  return pixels;
}

inline std::u16string ListRow(HWND list, int row) {
  WCHAR text[kPathChars] = {};
  SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(text));
  return text;
}
inline std::vector<std::u16string> ListRows(HWND list) {
  std::vector<std::u16string> rows;
  for (int i = 0; i < SendMessageW(list, LB_GETCOUNT, 0, 0); ++i) rows.push_back(ListRow(list, i));
  return rows;
}

inline std::string MakeTempFolder(const char* prefix) {
  std::string path = std::filesystem::temp_directory_path() / (prefix + std::string("-XXXXXX"));
  EXPECT_NE(mkdtemp(path.data()), nullptr);
  return path;
}

inline std::string ReadBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
inline void WriteText(const std::string& path, const std::string& text) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << text;
}
