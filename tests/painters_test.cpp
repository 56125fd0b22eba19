// The pane painters on the real framebuffer of a started player.
#include "display/painters.h"
#include "display/play_view.h"
#include "display/slide.h"
#include "tests/main_window_fixture.h"

namespace {

constexpr auto IsBlack = [](COLORREF c) { return c == RGB(0, 0, 0); };
// Text is anti-aliased: its ink is dark rather than exactly black.
constexpr auto IsInk = [](COLORREF c) { return GetRValue(c) + GetGValue(c) + GetBValue(c) < 300; };

class Painters : public MainWindowTest {
 protected:
  static int Count(int id, RECT area, bool (*test)(COLORREF)) {
    RECT rc;
    GetWindowRect(Pane(id), &rc);
    int border = id == kScrollBarId ? 1 : 0;
    int count = 0;
    for (int y = area.top; y < area.bottom; ++y)
      for (int x = area.left; x < area.right; ++x)
        count += test(ScreenPixel(rc.left + border + x, rc.top + border + y));
    return count;
  }
  static void Show(int id) {
    ShowWindow(Pane(kMenuListId), SW_HIDE);
    ShowWindow(Pane(id), SW_SHOW);
    PumpMessages();
  }
};

TEST_F(Painters, TheScrollThumbShowsWhereTheSixVisibleRowsLie) {
  // Rows, the top one shown, the thumb's first and last pixel rows.
  const std::tuple<int, int, int, int> cases[] = {
      {0, 0, 1, 105},  // six rows or fewer: the whole track
      {6, 0, 1, 105},     {7, 0, 1, 89},          {7, 1, 17, 105},
      {10, 2, 22, 84},    {100, 94, 100, 105},  // at the end it touches the bottom exactly
      {600, 0, 1, 5},                           // a share of a pixel or none: still five pixels
      {600, 297, 51, 55}, {70000, 34997, 51, 55}, {70000, 69994, 101, 105},
  };
  for (auto [rows, top, first, last] : cases) {
    if (RowCount() != rows) FillList(rows, MenuKind::Browse);
    ToList(LB_SETTOPINDEX, top);
    PaintScrollBar(Pane(kScrollBarId));
    for (int y = 1; y < 106; ++y) {
      EXPECT_EQ(Count(kScrollBarId, RECT{3, y, 4, y + 1}, IsBlack), y >= first && y <= last)
          << rows << " rows from row " << top << ", pixel row " << y;
    }
  }
  EXPECT_EQ(Count(kScrollBarId, RECT{0, 50, 1, 51}, IsBlack), 0) << "the ring inside the border";
}

TEST_F(Painters, TheStatusBarShowsTheBatteryThePlayStateWithATrackOpenAndAHeaderCutToFit) {
  for (auto [percent, filled] : {std::pair{6, 0}, {7, 1}, {50, 7}, {100, 15}, {-1, 15}}) {
    SetHeadlessBattery(percent);
    PaintStatusBar(Pane(kStatusBarId), false);
    EXPECT_EQ(Count(kStatusBarId, RECT{140, 6, 155, 12}, IsBlack), filled * 6) << percent;
  }
  auto icon = [] {
    PaintStatusBar(Pane(kStatusBarId), true);
    return Count(kStatusBarId, RECT{10, 4, 19, 13}, IsBlack);
  };
  EXPECT_EQ(icon(), 0) << "none open";
  UseFolder(kTones);
  OpenTrack(0, 0);
  int playing = icon();
  EXPECT_GT(playing, 0);
  TogglePause();
  EXPECT_NE(icon(), playing) << "the triangle and the bars differ";
  EXPECT_GT(icon(), 0);
  CloseStream();
  EXPECT_EQ(icon(), 0);

  StringCchCopyW(app.headerTitle, kTextChars, u"A Very Long Folder Name Indeed");
  PaintStatusBar(Pane(kStatusBarId), true);
  EXPECT_EQ(std::u16string(app.headerTitle), u"A Very Long Fol...") << "the longest that fits 110";
  EXPECT_EQ(Count(kStatusBarId, RECT{0, 19, 160, 20}, IsBlack), 160) << "the separator line";
}

TEST_F(Painters, TheTrackViewShowsTheModeIconsAtTheirPlaces) {
  Show(kTrackViewId);
  auto paint = [](RepeatMode mode, int shuffle) {
    app.repeatMode = mode;
    app.shuffle = shuffle;
    PaintTrackView(Pane(kTrackViewId), true);
    return std::pair{Count(kTrackViewId, RECT{130, 4, 141, 11}, IsBlack),
                     Count(kTrackViewId, RECT{145, 4, 156, 11}, IsBlack)};
  };
  auto [one, shuffled] = paint(RepeatMode::One, 1);
  EXPECT_TRUE(one > 0 && shuffled > 0);
  EXPECT_NE(paint(RepeatMode::All, 1).first, one) << "One and All differ";
  EXPECT_EQ(paint(RepeatMode::Off, 0), std::pair(0, 0));
  EXPECT_GT(Count(kTrackViewId, RECT{0, 0, 40, 12}, IsInk), 0) << "the track number";
}

TEST_F(Painters, TheAboutLinesAreSpacedDownThePane) {
  Show(kAboutViewId);
  for (int top : {10, 32, 54, 76})
    EXPECT_GT(Count(kAboutViewId, RECT{0, top, 160, top + 15}, IsInk), 0) << top;
  EXPECT_EQ(Count(kAboutViewId, RECT{0, 0, 160, 8}, IsInk), 0);
}

TEST_F(Painters, EachPlayViewLayoutDrawsItsBarToScale) {
  // Mode, position, length, volume; the black columns inside the bar, inclusive (-1: none).
  const std::tuple<ViewMode, int32_t, int32_t, int32_t, int, int> cases[] = {
      {ViewMode::NowPlaying, 0, 200, 50, -1, -1},   {ViewMode::NowPlaying, 200, 200, 50, 6, 154},
      {ViewMode::NowPlaying, 100, 200, 50, 6, 79},  {ViewMode::Seek, 1, 1000, 50, 7, 7},
      {ViewMode::Seek, 0, 1000, 50, -1, -1},        {ViewMode::Seek, 5, 0, 50, 7, 7},
      {ViewMode::VolumeAdjust, 0, 0, 100, 19, 134}, {ViewMode::VolumeAdjust, 0, 0, 0, -1, -1},
      {ViewMode::VolumeAdjust, 0, 0, 120, 19, 134},
  };
  Show(kPlayViewId);
  for (auto [mode, position, length, volume, blackFrom, blackTo] : cases) {
    app.viewMode = mode;
    app.positionSec = position;
    app.trackLengthSec = length;
    app.volume = volume;
    PaintPlayView(Pane(kPlayViewId), true);
    bool adjust = mode == ViewMode::VolumeAdjust;  // a shorter bar between the speaker icons
    for (int x = adjust ? 19 : 6; x <= (adjust ? 134 : 154); ++x) {
      EXPECT_EQ(Count(kPlayViewId, RECT{x, 9, x + 1, 10}, IsBlack), x >= blackFrom && x <= blackTo)
          << static_cast<int>(mode) << " " << position << " " << volume << ", column " << x;
    }
  }
  EXPECT_EQ(app.volume, 100) << "a volume out of range is drawn and kept as 100";
}

// A null pane's context would otherwise be the whole screen.
TEST_F(Painters, AMissingPaneDrawsNothing) {
  std::vector<COLORREF> before = ScreenPixels();
  PaintStatusBar(nullptr, true);
  PaintScrollBar(nullptr);
  PaintTrackView(nullptr, true);
  PaintAboutView(nullptr);
  FillPaneRect(nullptr, RGB(255, 0, 0), nullptr);
  SlideOut(nullptr, SlideDirection::Left, RGB(255, 0, 0));
  EXPECT_TRUE(ScreenPixels() == before);
}

}  // namespace
