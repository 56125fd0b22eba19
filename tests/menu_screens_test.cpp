// The fixed menus walked with the wheel, the buttons and the keys.
#include "tests/main_window_fixture.h"

namespace {

class MenuScreens : public MainWindowTest {
 protected:
  // Wheel d(own) u(p), buttons c(entre) m(enu); keys Down Up Left Return Escape Backspace.
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
  // The steps, then the header, menu and selected row (null: the list does not show).
  const std::tuple<const char*, const char16_t*, MenuKind, const char16_t*> cases[] = {
      {"m", u"Vesk", MenuKind::Main, u"Browse\t>"},
      {"dcm", u"Vesk", MenuKind::Main, u"Settings\t>"},
      {"dcdc", u"Shells", MenuKind::Shells, u"Classic"},
      {"dcdcm", u"Settings", MenuKind::Settings, u"Shells\t>"},
      {"dcc", u"About", MenuKind::Settings, nullptr},
      {"dccc", u"About", MenuKind::Settings, nullptr},
      {"dccm", u"Settings", MenuKind::Settings, u"About\t>"},
      {"DLR", u"Settings", MenuKind::Settings, u"About\t>"},  // left means nothing in a menu
      {"DRRU", u"About", MenuKind::Settings, nullptr},
      {"DRRE", u"Settings", MenuKind::Settings, u"About\t>"},
      {"DRREB", u"Vesk", MenuKind::Main, u"Settings\t>"},
  };
  for (auto [steps, header, kind, selected] : cases) {
    SCOPED_TRACE(steps);
    Start();
    Walk(steps);
    EXPECT_EQ(std::tuple(std::u16string(app.headerTitle), app.menuKind), std::tuple(header, kind));
    EXPECT_EQ(IsWindowVisible(Pane(kMenuListId)) ? SelectedRow() : u"", selected ? selected : u"");
    EXPECT_EQ(IsWindowVisible(Pane(kAboutViewId)), selected == nullptr);
  }
}

TEST_F(MenuScreens, SettingsRowsToggleInPlaceKeepingTheirRowAndAnUnnamedRepeatHasNone) {
  Walk("dc");
  const std::tuple<const char*, int, const char16_t*> cases[] = {
      {"ddc", 2, u"Shuffle  On"}, {"c", 2, u"Shuffle  Off"}, {"dc", 3, u"Repeat  One"},
      {"c", 3, u"Repeat  All"},   {"c", 3, u"Repeat  Off"},  {"dc", 4, u"Clicker  Off"},
      {"c", 4, u"Clicker  On"},
  };
  for (auto [steps, row, text] : cases) {
    Walk(steps);
    EXPECT_EQ(std::tuple(Selected(), Row(row)), std::tuple(row, text)) << steps;
  }
  app.repeatMode = static_cast<RepeatMode>(7);  // as a hand-edited settings file may leave it
  Walk("mc");
  EXPECT_EQ(std::tuple(RowCount(), Row(3)), std::tuple(4, u"Clicker  On"));
}

TEST_F(MenuScreens, BacklightAndNightRecolourAtOnceAndKeepTheirRow) {
  const POINT inList{100, 130}, frame{2, 2};  // below the rows; beside the display
  for (auto [steps, at, colour, selected] :
       {std::tuple{"ddc", inList, RGB(105, 223, 227), u"Backlight"},
        {"c", inList, RGB(198, 220, 202), u"Backlight"},
        {"ucdc", frame, RGB(247, 247, 247), u"Classic"},
        {"dc", frame, RGB(22, 23, 29), u"Night"},
        {"mc", frame, RGB(22, 23, 29), u"Night"}}) {  // Shells again: the current one selected
    Walk(steps);
    EXPECT_EQ(std::tuple(ScreenPixel(at.x, at.y), SelectedRow()), std::tuple(colour, selected))
        << steps;
  }
}

TEST_F(MenuScreens, NowPlayingRowOpensThePanesAndTheMenuButtonComesBackToIt) {
  OpenNowPlaying();
  EXPECT_EQ(std::tuple(std::u16string(app.headerTitle), app.menuKind),
            std::tuple(u"Now Playing", MenuKind::NowPlaying));
  EXPECT_TRUE(IsWindowVisible(Pane(kTrackViewId)) && IsWindowVisible(Pane(kPlayViewId)));
  EXPECT_FALSE(IsWindowVisible(Pane(kMenuListId)));
  Walk("cm");  // through Seek
  EXPECT_EQ(std::tuple(app.viewMode, SelectedRow(), Selected(), IsWindowVisible(Pane(kPlayViewId))),
            std::tuple(ViewMode::Menu, u"Now Playing\t>", RowCount() - 1, 0));
}

TEST_F(MenuScreens, LastPlayedIsOfferedOnlyForAFolderThatStillExistsAndOpensItLikeBrowse) {
  std::filesystem::create_directories(Path("Albums/Blue"));
  for (const char16_t* folder : {u"\\Albums\\Gone\\", u"\\", u"", u"\\Albums\\Bl*\\",
                                 u"\\Albums\\Blu?\\", u"\\*\\", u"\\Albums\\Blue\\"}) {
    StringCchCopyW(app.lastPlayedFolder, kPathChars, folder);
    ShowMainMenu(Pane(kMenuListId), u"Browse");
    bool offered = folder == std::u16string_view(u"\\Albums\\Blue\\");
    EXPECT_EQ(Row(1) == u"Last Played\t>", offered) << plat::ToUtf8(folder);
    EXPECT_EQ(RowCount(), offered ? 6 : 5);
  }
  for (auto [row, header, path] :
       {std::tuple{u"Browse", u"Browse", u"\\"}, {u"Last", u"Last Played", u"\\Albums\\Blue\\"}}) {
    ShowMainMenu(Pane(kMenuListId), row);
    Walk("c");
    EXPECT_EQ(std::tuple(std::u16string(app.headerTitle), std::u16string(app.browsePath)),
              std::tuple(header, path));
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
