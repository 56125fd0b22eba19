// The pane painters on the real framebuffer of a started player.
#include "display/painters.h"
#include "display/slide.h"
#include "menus/menu_list.h"
#include "platform/gdi.h"
#include "platform/strings.h"
#include "platform/text.h"
#include "platform/window.h"
#include "tests/player_fixture.h"

namespace {

class Painters : public PlayerTest {
 protected:
  // Starts the player and runs the checks on its screen once it is idle.
  static void OnStartScreen(std::function<void()> checks) {
    RunWith([&] {
      checks();
      InjectDesktopClose();
    });
  }

  // Whether a pixel of a pane's client area is black.
  static bool Black(int id, int x, int y) {
    RECT rc;
    GetWindowRect(Pane(id), &rc);
    int border = id == kScrollBarId ? 1 : 0;
    return ScreenPixel(rc.left + border + x, rc.top + border + y) == RGB(0, 0, 0);
  }

  // Text is anti-aliased: its ink is dark rather than exactly black.
  static int InkIn(int id, RECT area) {
    RECT rc;
    GetWindowRect(Pane(id), &rc);
    int count = 0;
    for (int y = area.top; y < area.bottom; ++y) {
      for (int x = area.left; x < area.right; ++x) {
        COLORREF c = ScreenPixel(rc.left + x, rc.top + y);
        count += GetRValue(c) + GetGValue(c) + GetBValue(c) < 300;
      }
    }
    return count;
  }

  static int BlackIn(int id, RECT area) {
    int count = 0;
    for (int y = area.top; y < area.bottom; ++y) {
      for (int x = area.left; x < area.right; ++x) count += Black(id, x, y);
    }
    return count;
  }

  static void FillList(int rows, int top) {
    HWND list = Pane(kMenuListId);
    if (SendMessageW(list, LB_GETCOUNT, 0, 0) != rows) {
      SendMessageW(list, LB_RESETCONTENT, 0, 0);
      for (int i = 0; i < rows; ++i) AddMenuRow(list, u"Row", RowKind::Plain, false);
    }
    SendMessageW(list, LB_SETTOPINDEX, top, 0);
    PaintScrollBar(Pane(kScrollBarId));
  }

  // The first and last rows of the thumb in the scroll bar's client area.
  static std::pair<int, int> Thumb() {
    int first = -1, last = -1;
    for (int y = 1; y < 106; ++y) {
      if (Black(kScrollBarId, 3, y)) {
        if (first < 0) first = y;
        last = y;
      }
    }
    return {first, last};
  }
};

TEST_F(Painters, TheScrollThumbShowsWhereTheSixVisibleRowsLie) {
  const struct {
    int rows, top;
    std::pair<int, int> thumb;  // its first and last pixel rows
  } cases[] = {
      {0, 0, {1, 105}},  // six rows or fewer: the whole track
      {1, 0, {1, 105}},
      {6, 0, {1, 105}},
      {7, 0, {1, 89}},
      {7, 1, {17, 105}},
      {10, 2, {22, 84}},
      {10, 4, {43, 105}},  // at the end it touches the bottom exactly
      {600, 0, {1, 5}},    // a share of a pixel or none: still five pixels
      {600, 297, {51, 55}},
      {600, 594, {101, 105}},
      {70000, 0, {1, 5}},
      {70000, 34997, {51, 55}},
      {70000, 69994, {101, 105}},
  };
  OnStartScreen([&] {
    for (const auto& c : cases) {
      FillList(c.rows, c.top);
      EXPECT_EQ(Thumb(), c.thumb) << c.rows << " rows from row " << c.top;
    }
    EXPECT_FALSE(Black(kScrollBarId, 0, 50)) << "the ring inside the border keeps its colour";
  });
}

TEST_F(Painters, TheBatteryGaugeFillsFifteenPixelsAtFullCharge) {
  OnStartScreen([&] {
    HWND status = Pane(kStatusBarId);
    for (auto [percent, filled] : {std::pair{6, 0}, {7, 1}, {50, 7}, {100, 15}, {-1, 15}}) {
      SetHeadlessBattery(percent);
      PaintStatusBar(status, false);
      EXPECT_EQ(BlackIn(kStatusBarId, RECT{140, 6, 155, 12}), filled * 6) << percent;
    }
  });
}

TEST_F(Painters, ThePlayStateShowsOnlyWhileAStreamIsOpen) {
  OnStartScreen([&] {
    HWND status = Pane(kStatusBarId);
    const RECT square{10, 4, 19, 13};
    PaintStatusBar(status, true);
    EXPECT_EQ(BlackIn(kStatusBarId, square), 0);
    app.streamOpen = 1;
    app.paused = 0;
    PaintStatusBar(status, false);
    int playing = BlackIn(kStatusBarId, square);
    app.paused = 1;
    PaintStatusBar(status, false);
    int paused = BlackIn(kStatusBarId, square);
    EXPECT_GT(playing, 0);
    EXPECT_GT(paused, 0);
    EXPECT_NE(playing, paused) << "the triangle and the bars differ";
    app.streamOpen = 0;
  });
}

TEST_F(Painters, ALongHeaderIsCutInPlaceToFitBesideTheIcons) {
  OnStartScreen([&] {
    StringCchCopyW(app.headerTitle, kTextChars, u"A Very Long Folder Name Indeed");
    PaintStatusBar(Pane(kStatusBarId), true);
    std::u16string header = app.headerTitle;
    ASSERT_GE(header.size(), 4u);
    EXPECT_EQ(header.substr(header.size() - 3), u"...");
    SIZE size;
    GetTextExtentExPointW(app.measureDC, app.headerTitle, lstrlenW(app.headerTitle), 0, nullptr,
                          nullptr, &size);
    EXPECT_LE(size.cx, 110);
    EXPECT_EQ(BlackIn(kStatusBarId, RECT{0, 19, 160, 20}), 160) << "the separator line";

    StringCchCopyW(app.headerTitle, kTextChars, u"Blue");
    PaintStatusBar(Pane(kStatusBarId), true);
    EXPECT_EQ(std::u16string(app.headerTitle), u"Blue");
  });
}

TEST_F(Painters, TheTrackViewShowsTheModeIconsAtTheirPlaces) {
  OnStartScreen([&] {
    HWND track = Pane(kTrackViewId);
    ShowWindow(Pane(kMenuListId), SW_HIDE);
    ShowWindow(track, SW_SHOW);
    const RECT repeatIcon{130, 4, 141, 11}, shuffleIcon{145, 4, 156, 11};
    app.playlistCount = 1;
    app.repeatMode = RepeatMode::One;
    app.shuffle = 1;
    PaintTrackView(track, true);
    int one = BlackIn(kTrackViewId, repeatIcon);
    EXPECT_GT(one, 0);
    EXPECT_GT(BlackIn(kTrackViewId, shuffleIcon), 0);
    EXPECT_GT(InkIn(kTrackViewId, RECT{0, 0, 40, 12}), 0) << "the track number";
    app.repeatMode = RepeatMode::All;
    PaintTrackView(track, true);
    EXPECT_NE(BlackIn(kTrackViewId, repeatIcon), one);
    app.repeatMode = RepeatMode::Off;
    app.shuffle = 0;
    PaintTrackView(track, true);
    EXPECT_EQ(BlackIn(kTrackViewId, repeatIcon) + BlackIn(kTrackViewId, shuffleIcon), 0);
  });
}

TEST_F(Painters, TheAboutLinesAreSpacedDownThePane) {
  OnStartScreen([&] {
    HWND about = Pane(kAboutViewId);
    ShowWindow(Pane(kMenuListId), SW_HIDE);
    ShowWindow(about, SW_SHOW);
    PumpMessages();
    for (int top : {10, 32, 54, 76}) {
      EXPECT_GT(InkIn(kAboutViewId, RECT{0, top, 160, top + 15}), 0) << top;
    }
    EXPECT_EQ(InkIn(kAboutViewId, RECT{0, 0, 160, 8}), 0);
  });
}

}  // namespace

namespace {

// A pane that does not exist (a null window) draws nothing at all: its
// context would otherwise be the whole screen.
TEST_F(Painters, AMissingPaneDrawsNothing) {
  OnStartScreen([] {
    std::vector<COLORREF> before;
    for (int y = 0; y < 320; ++y)
      for (int x = 0; x < 240; ++x) before.push_back(ScreenPixel(x, y));
    const std::function<void()> painters[] = {
        [] { PaintStatusBar(nullptr, true); },
        [] { PaintScrollBar(nullptr); },
        [] { PaintTrackView(nullptr, true); },
        [] { PaintAboutView(nullptr); },
        [] { FillPaneRect(nullptr, RGB(255, 0, 0), nullptr); },
        [] { SlideOut(nullptr, SlideDirection::Left, RGB(255, 0, 0)); },
    };
    for (const auto& paint : painters) paint();
    size_t changed = 0;
    for (int y = 0; y < 320; ++y)
      for (int x = 0; x < 240; ++x) changed += ScreenPixel(x, y) != before[y * 240 + x];
    EXPECT_EQ(changed, 0u);
  });
}

}  // namespace
