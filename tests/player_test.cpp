// The whole player started and stopped: the ways it ends, and where it finds its files.
#include "app/services.h"
#include "app/settings.h"
#include "tests/player_fixture.h"

using Player = PlayerTest;

// Another program's close request does not save; the close button (the quit command) does.
TEST_F(Player, EveryQuitButTheCloseRequestSavesTheSettings) {
  for (bool closeButton : {true, false}) {
    SCOPED_TRACE(closeButton ? "the close button" : "the close request");
    Restart();
    WriteValues("\"Volume\"=dword:00000007\n");
    EXPECT_EQ(RunWith([&] {
                app.volume = 73;
                app.shell = Shell::Night;
                StringCchCopyW(app.lastPlayedFolder, kPathChars, u"\\Albums\\Blue\\");
                if (closeButton) InjectDesktopClose();
                if (!closeButton) PostMessageW(app.mainWindow, kCloseRequest, 0, 0);
              }),
              0);
    if (closeButton) {
      EXPECT_EQ(app.timerId, 0) << "the timer was stopped";
      EXPECT_EQ(app.largeFont, nullptr) << "the resources were released";
    }
    Restart();
    LoadSettings();
    EXPECT_EQ(app.volume, closeButton ? 73 : 7);
    EXPECT_EQ(app.shell, closeButton ? Shell::Night : Shell::Classic);
    EXPECT_EQ(std::u16string(app.lastPlayedFolder), closeButton ? u"\\Albums\\Blue\\" : u"");
  }
}

TEST_F(Player, QuittingEndsTheProgramWhenTheSettingsCannotBeWritten) {
  std::filesystem::create_directory(Path("Albums"));  // not empty: no note
  std::string blocked = root_ + "/not-a-folder";
  WriteText(blocked, "a file where the settings folder should be");
  setenv("XDG_CONFIG_HOME", (blocked + "/sub").c_str(), 1);
  testing::internal::CaptureStderr();
  EXPECT_EQ(RunWith([] { SendMessageW(app.mainWindow, WM_COMMAND, kQuitCommand, 0); }), 0);
  RegFlushKey(HKEY_CURRENT_USER);  // as the program does at its end
  // Without a sound card the output's own message comes first.
  std::string said = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(said.ends_with("Vesk: the settings could not be written to " + blocked +
                             "/sub/vesk/settings.reg: it cannot be read\n"))
      << said;
  EXPECT_EQ(ReadBytes(blocked), "a file where the settings folder should be");
}

TEST_F(Player, AProgramPathThatDoesNotFitLeavesTheName) {
  WCHAR tooLong[kPathChars];
  std::fill(tooLong, tooLong + kPathChars - 1, u'x');
  tooLong[kPathChars - 1] = 0;
  EXPECT_FALSE(MakeProgramPath(tooLong));
  EXPECT_EQ(lstrlenW(tooLong), kPathChars - 1);
}
