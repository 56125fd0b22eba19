// What the user did while the UI thread was busy is seen behind a posted message's wake-up.
#include <SDL.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include "platform/test_hooks.h"
#include "platform/window.h"

namespace {

class SdlInput : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    SelectDisplay(DisplayKind::Window);
    ResetPlatformForTests();
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = u"Sdl Input";
    RegisterClassW(&wc);
    main_ = CreateWindowExW(0, u"Sdl Input", u"Input", WS_VISIBLE, 0, 0, 240, 320, nullptr, nullptr,
                            nullptr, nullptr);
    if (!main_) GTEST_SKIP() << "no SDL window with the dummy video driver";
  }
  void TearDown() override {
    ResetPlatformForTests();
    SelectDisplay(DisplayKind::Headless);
    unsetenv("SDL_VIDEODRIVER");
  }

  HWND main_ = nullptr;
};

TEST_F(SdlInput, APenUpBehindAPostedMessageIsSeenByPeekMessage) {
  PostMessageW(main_, WM_USER, 0, 0);  // as the end of a track or a second start would
  for (Uint32 type : {SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP}) {
    SDL_Event e{};
    e.type = type;
    e.button.button = SDL_BUTTON_LEFT;
    e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.button.x = 30;
    e.button.y = 300;
    SDL_PushEvent(&e);
  }
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_LBUTTONUP, WM_LBUTTONUP, PM_REMOVE));
  EXPECT_EQ(msg.hwnd, main_);
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_USER);
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_LBUTTONDOWN);
}

}  // namespace
