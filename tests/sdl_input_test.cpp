// What the user did while the UI thread was busy is seen behind a posted message's wake-up.
#include <SDL.h>

#include "tests/headless.h"

namespace {

class SdlInput : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    SelectDisplay(DisplayKind::Window);
    ResetPlatformForTests();
    main_ = PlainWindow();
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
    SDL_Event e{type};
    e.button.button = SDL_BUTTON_LEFT;
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
