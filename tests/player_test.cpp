// The whole player started and stopped on the headless display: start-up
// order, the start screen, and the three ways it ends.
#include "app/services.h"
#include "platform/gdi.h"
#include "platform/strings.h"
#include "platform/window.h"
#include "tests/player_fixture.h"

namespace {

class Player : public PlayerTest {
 protected:
  static std::u16string SelectedRow() {
    HWND list = Pane(kMenuListId);
    WCHAR text[kTextChars] = {};
    SendMessageW(list, LB_GETTEXT, SendMessageW(list, LB_GETCURSEL, 0, 0),
                 reinterpret_cast<LPARAM>(text));
    return text;
  }
};

TEST_F(Player, StartsOnTheMainMenuWithBrowseSelectedAndTheTrackPanesHidden) {
  int rows = 0;
  std::u16string selected;
  bool shown[12] = {};
  EXPECT_EQ(RunWith([&] {
              rows = static_cast<int>(SendMessageW(Pane(kMenuListId), LB_GETCOUNT, 0, 0));
              selected = SelectedRow();
              for (int id = kMenuListId; id <= kAboutViewId; ++id)
                shown[id] = IsWindowVisible(Pane(id));
              InjectDesktopClose();
            }),
            0);
  EXPECT_EQ(rows, 5) << "Browse, Settings, Backlight, Hide, Sleep";
  EXPECT_EQ(selected, u"Browse\t>");
  EXPECT_TRUE(shown[kMenuListId] && shown[kStatusBarId] && shown[kScrollBarId]);
  EXPECT_FALSE(shown[kTrackViewId] || shown[kPlayViewId] || shown[kAboutViewId]);
}

TEST_F(Player, TheStartScreenIsDrawnInTheSkinAndScreenColours) {
  COLORREF frame = 0, screen = 0, screenNight = 0;
  RunWith([&] {
    frame = ScreenPixel(2, 2);
    screen = ScreenPixel(100, 130);  // inside the list, below its rows
    InjectDesktopClose();
  });
  EXPECT_EQ(frame, RGB(247, 247, 247));
  EXPECT_EQ(screen, RGB(198, 220, 202));

  Restart();
  WriteStore(std::string(kSignatureLine) + kVeskSection +
             "\"Shell\"=dword:00000001\n\"BackLight\"=dword:00000001\n");
  RunWith([&] {
    frame = ScreenPixel(2, 2);
    screenNight = ScreenPixel(100, 130);
    InjectDesktopClose();
  });
  EXPECT_EQ(frame, RGB(22, 23, 29));
  EXPECT_EQ(screenNight, RGB(105, 223, 227));
}

TEST_F(Player, TheQuitCommandSavesAndARestartReadsTheSameValues) {
  RunWith([&] {
    app.volume = 73;
    app.shuffle = 1;
    app.repeatMode = RepeatMode::All;
    app.clicker = 0;
    app.backlight = 1;
    app.shell = Shell::Night;
    StringCchCopyW(app.lastPlayedFolder, kPathChars, u"\\Albums\\Blue\\");
    SendMessageW(app.mainWindow, WM_COMMAND, kQuitCommand, 0);
  });
  EXPECT_EQ(app.timerId, 0) << "the timer was stopped";
  EXPECT_EQ(app.largeFont, nullptr) << "the resources were released";

  Restart();
  RunWith([] { InjectDesktopClose(); });
  EXPECT_EQ(app.volume, 73);
  EXPECT_EQ(app.shuffle, 1);
  EXPECT_EQ(app.repeatMode, RepeatMode::All);
  EXPECT_EQ(app.clicker, 0);
  EXPECT_EQ(app.backlight, 1);
  EXPECT_EQ(app.shell, Shell::Night);
  EXPECT_EQ(std::u16string(app.lastPlayedFolder), u"\\Albums\\Blue\\");
}

TEST_F(Player, TheDesktopCloseButtonSavesButTheCloseRequestDoesNot) {
  RunWith([] {
    app.volume = 61;
    InjectDesktopClose();
  });
  EXPECT_NE(StoreText().find("\"Volume\"=dword:0000003d"), std::string::npos);

  Restart();
  EXPECT_EQ(RunWith([] {
              app.volume = 12;
              PostMessageW(app.mainWindow, kCloseRequest, 0, 0);
            }),
            0);
  EXPECT_NE(StoreText().find("\"Volume\"=dword:0000003d"), std::string::npos)
      << "closed from outside: the settings of the last orderly quit stay";
}

TEST_F(Player, QuittingEndsTheProgramWhenTheSettingsCannotBeWritten) {
  std::string blocked = root_ + "/not-a-folder";
  WriteText(blocked, "a file where the settings folder should be");
  setenv("XDG_CONFIG_HOME", (blocked + "/sub").c_str(), 1);
  testing::internal::CaptureStderr();
  EXPECT_EQ(RunWith([] { SendMessageW(app.mainWindow, WM_COMMAND, kQuitCommand, 0); }), 0);
  RegFlushKey(HKEY_CURRENT_USER);  // as the program does at its end
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Vesk: the settings could not be written to " + blocked +
                "/sub/vesk/settings.reg: it cannot be read\n");
  EXPECT_EQ(app.volume, 50) << "defaults, since nothing could be read";
}

TEST_F(Player, ProgramPathsLieBesideTheProgram) {
  WCHAR name[kPathChars] = u"Tolo.ttf";
  ASSERT_TRUE(MakeProgramPath(name));
  std::u16string path = name;
  EXPECT_EQ(path.substr(path.size() - 9), u"\\Tolo.ttf");
  EXPECT_EQ(path[0], u'\\');

  WCHAR tooLong[kPathChars];
  for (int i = 0; i < kPathChars - 1; ++i) tooLong[i] = u'x';
  tooLong[kPathChars - 1] = 0;
  EXPECT_FALSE(MakeProgramPath(tooLong));
  EXPECT_EQ(lstrlenW(tooLong), kPathChars - 1) << "a path that does not fit leaves the name";
}

}  // namespace
