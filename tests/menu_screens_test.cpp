// The fixed menus walked with the wheel, the buttons and the keys.
#include "display/skin.h"
#include "platform/gdi.h"
#include "tests/main_window_fixture.h"

namespace {

class MenuScreens : public MainWindowTest {
 protected:
  // d: one wheel step down, u: up, c: the centre button, m: the menu button;
  // the keys D: down, U: up, L: left, R: return, E: escape, B: backspace.
  static void Walk(const char* steps) {
    const std::pair<char, UINT> keys[] = {{'D', VK_DOWN},   {'U', VK_UP},     {'L', VK_LEFT},
                                          {'R', VK_RETURN}, {'E', VK_ESCAPE}, {'B', VK_BACK}};
    for (const char* s = steps; *s; ++s) {
      if (*s == 'd' || *s == 'u') Wheel(*s == 'd' ? -1 : 1);
      if (*s == 'c' || *s == 'm') Tap(*s == 'c' ? app.centerRect : app.menuRect);
      for (auto [letter, key] : keys)
        if (*s == letter) Key(key);
    }
  }
};

TEST_F(MenuScreens, RoundTripsLandOnTheExpectedScreenAndRow) {
  struct Case {
    const char* steps;
    const char16_t* header;
    MenuKind kind;
    const char16_t* selected;  // null: the list does not show
  } cases[] = {
      {"", u"Vesk", MenuKind::Main, u"Browse\t>"},
      {"m", u"Vesk", MenuKind::Main, u"Browse\t>"},
      {"dc", u"Settings", MenuKind::Settings, u"About\t>"},
      {"dcm", u"Vesk", MenuKind::Main, u"Settings\t>"},
      {"dcdc", u"Shells", MenuKind::Shells, u"Classic"},
      {"dcdcm", u"Settings", MenuKind::Settings, u"Shells\t>"},
      {"dcdcmm", u"Vesk", MenuKind::Main, u"Settings\t>"},
      {"dcc", u"About", MenuKind::Settings, nullptr},
      {"dccc", u"About", MenuKind::Settings, nullptr},
      {"dccm", u"Settings", MenuKind::Settings, u"About\t>"},
      {"DLR", u"Settings", MenuKind::Settings, u"About\t>"},  // left means nothing in a menu
      {"DRRU", u"About", MenuKind::Settings, nullptr},
      {"DRRE", u"Settings", MenuKind::Settings, u"About\t>"},
      {"DRREB", u"Vesk", MenuKind::Main, u"Settings\t>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.steps);
    Start();
    Walk(c.steps);
    EXPECT_EQ(std::u16string(app.headerTitle), c.header);
    EXPECT_EQ(app.menuKind, c.kind);
    EXPECT_EQ(IsWindowVisible(Pane(kMenuListId)), c.selected != nullptr);
    EXPECT_EQ(IsWindowVisible(Pane(kAboutViewId)), c.selected == nullptr);
    if (c.selected) EXPECT_EQ(SelectedRow(), c.selected);
  }
}

TEST_F(MenuScreens, SettingsRowsToggleInPlaceKeepingTheirRow) {
  Walk("dc");
  ASSERT_EQ(RowCount(), 5);
  struct Case {
    const char* steps;
    int row;
    const char16_t* text;
  } cases[] = {
      {"ddc", 2, u"Shuffle  On"}, {"c", 2, u"Shuffle  Off"}, {"dc", 3, u"Repeat  One"},
      {"c", 3, u"Repeat  All"},   {"c", 3, u"Repeat  Off"},  {"dc", 4, u"Clicker  Off"},
      {"c", 4, u"Clicker  On"},
  };
  for (const Case& c : cases) {
    Walk(c.steps);
    EXPECT_EQ(Selected(), c.row) << c.steps;
    EXPECT_EQ(Row(c.row), c.text);
  }
}

// As a hand-edited settings file may leave it.
TEST_F(MenuScreens, ARepeatValueOutsideTheNamedOnesHasNoRow) {
  app.repeatMode = static_cast<RepeatMode>(7);
  Walk("dc");
  EXPECT_EQ(RowCount(), 4);
  EXPECT_EQ(Row(3), u"Clicker  On");
}

TEST_F(MenuScreens, BacklightAndNightRecolourAtOnceAndKeepTheirRow) {
  const POINT inList{100, 130}, frame{2, 2};  // below the rows; beside the display
  const struct {
    const char* steps;
    POINT at;
    COLORREF colour;
    const char16_t* selected;
  } cases[] = {
      {"ddc", inList, RGB(105, 223, 227), u"Backlight"},
      {"c", inList, RGB(198, 220, 202), u"Backlight"},
      {"ucdc", frame, RGB(247, 247, 247), u"Classic"},
      {"dc", frame, RGB(22, 23, 29), u"Night"},
      {"mc", frame, RGB(22, 23, 29), u"Night"},  // Shells again: the current one selected
  };
  for (const auto& c : cases) {
    Walk(c.steps);
    EXPECT_EQ(ScreenPixel(c.at.x, c.at.y), c.colour) << c.steps;
    EXPECT_EQ(SelectedRow(), c.selected) << c.steps;
  }
}

TEST_F(MenuScreens, NowPlayingRowOpensThePanesAndTheMenuButtonComesBackToIt) {
  OpenNowPlaying();
  EXPECT_EQ(std::u16string(app.headerTitle), u"Now Playing");
  EXPECT_EQ(app.menuKind, MenuKind::NowPlaying);
  EXPECT_TRUE(IsWindowVisible(Pane(kTrackViewId)) && IsWindowVisible(Pane(kPlayViewId)));
  EXPECT_FALSE(IsWindowVisible(Pane(kMenuListId)));
  Walk("cm");  // through Seek
  EXPECT_EQ(app.viewMode, ViewMode::Menu);
  EXPECT_EQ(SelectedRow(), u"Now Playing\t>");
  EXPECT_EQ(Selected(), RowCount() - 1);
  EXPECT_FALSE(IsWindowVisible(Pane(kPlayViewId)));
}

TEST_F(MenuScreens, LastPlayedIsOfferedOnlyForAFolderThatStillExists) {
  std::filesystem::create_directories(Path("Albums/Blue"));
  struct Case {
    const char16_t* folder;
    bool offered;
  } cases[] = {
      {u"\\Albums\\Blue\\", true}, {u"\\Albums\\Gone\\", false}, {u"\\", false},   {u"", false},
      {u"\\Albums\\Bl*\\", false}, {u"\\Albums\\Blu?\\", false}, {u"\\*\\", false}};
  for (const Case& c : cases) {
    StringCchCopyW(app.lastPlayedFolder, kPathChars, c.folder);
    ShowMainMenu(Pane(kMenuListId), u"Browse");
    EXPECT_EQ(Row(1) == u"Last Played\t>", c.offered) << plat::ToUtf8(c.folder);
    EXPECT_EQ(RowCount(), c.offered ? 6 : 5);
  }
}

TEST_F(MenuScreens, BrowseAndLastPlayedEnterTheBrowserWithTheirHeaders) {
  std::filesystem::create_directories(Path("Albums"));
  StringCchCopyW(app.lastPlayedFolder, kPathChars, u"\\Albums\\");
  struct Case {
    const char16_t* row;  // the start of the row chosen
    const char16_t* header;
    const char16_t* path;
  } cases[] = {{u"Browse", u"Browse", u"\\"}, {u"Last", u"Last Played", u"\\Albums\\"}};
  for (const Case& c : cases) {
    ShowMainMenu(Pane(kMenuListId), c.row);
    Walk("c");
    EXPECT_EQ(std::u16string(app.headerTitle), c.header);
    EXPECT_EQ(std::u16string(app.browsePath), c.path);
  }
}

TEST_F(MenuScreens, HideLeavesTheScreenAndASecondStartShowsIt) {
  Walk("dddc");
  ASSERT_EQ(SelectedRow(), u"Hide");
  EXPECT_FALSE(IsWindowVisible(app.mainWindow));
  EXPECT_EQ(RunPlayer(GetModuleHandleW(nullptr)), 0) << "the second start ends at once";
  EXPECT_TRUE(IsWindowVisible(app.mainWindow));
  EXPECT_EQ(SelectedRow(), u"Hide");
}

}  // namespace
