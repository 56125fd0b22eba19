// The play view's three layouts drawn on the framebuffer of a started player.
#include "display/play_view.h"

#include <string>

#include "tests/main_window_fixture.h"

namespace {

constexpr int kBarRow = 9;  // inside every bar

class PlayView : public MainWindowTest {
 protected:
  // The bar's row of the pane as text: '#' for a black pixel, '.' otherwise.
  static std::string BarRow() {
    RECT rc;
    GetWindowRect(Pane(kPlayViewId), &rc);
    std::string row;
    for (int x = 0; x < rc.right - rc.left; ++x)
      row += ScreenPixel(rc.left + x, rc.top + kBarRow) == RGB(0, 0, 0) ? '#' : '.';
    return row;
  }
};

TEST_F(PlayView, EachLayoutDrawsItsBarToScale) {
  struct Case {
    const char* what;
    ViewMode mode;
    int32_t position, length, volume;
    int blackFrom, blackTo;  // the black columns inside the bar, inclusive; -1: none
    int insideFrom, insideTo;
  } cases[] = {
      {"start of 200 s", ViewMode::NowPlaying, 0, 200, 50, -1, -1, 6, 154},
      {"end of 200 s", ViewMode::NowPlaying, 200, 200, 50, 6, 154, 6, 154},
      {"half of 200 s", ViewMode::NowPlaying, 100, 200, 50, 6, 79, 6, 154},
      {"seek 1 of 1000 s", ViewMode::Seek, 1, 1000, 50, 7, 7, 6, 154},
      {"seek at the start", ViewMode::Seek, 0, 1000, 50, -1, -1, 6, 154},
      {"seek, no length", ViewMode::Seek, 5, 0, 50, 7, 7, 6, 154},
      {"volume 100", ViewMode::VolumeAdjust, 0, 0, 100, 19, 134, 19, 134},
      {"volume 0", ViewMode::VolumeAdjust, 0, 0, 0, -1, -1, 19, 134},
      {"volume 120", ViewMode::VolumeAdjust, 0, 0, 120, 19, 134, 19, 134},
  };
  ShowWindow(Pane(kMenuListId), SW_HIDE);
  ShowWindow(Pane(kPlayViewId), SW_SHOW);
  for (const Case& c : cases) {
    app.viewMode = c.mode;
    app.positionSec = c.position;
    app.trackLengthSec = c.length;
    app.volume = c.volume;
    PaintPlayView(Pane(kPlayViewId), true);
    std::string row = BarRow();
    for (int x = c.insideFrom; x <= c.insideTo; ++x) {
      bool black = x >= c.blackFrom && x <= c.blackTo;
      EXPECT_EQ(row[x], black ? '#' : '.') << c.what << ", column " << x << ": " << row;
    }
  }
  EXPECT_EQ(app.volume, 100) << "a volume out of range is drawn and kept as 100";
}

}  // namespace
