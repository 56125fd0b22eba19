// The whole player started and stopped: the ways it ends, and where it finds its files.
#include "app/services.h"
#include "tests/player_fixture.h"

using Player = PlayerTest;

// Another program's close request ends the player without saving.
TEST_F(Player, TheCloseRequestDoesNotSaveTheSettings) {
  const std::string kept =
      std::string(kSignatureLine) + kVeskSection + "\"Volume\"=dword:00000007\n";
  WriteStore(kept);
  SetHeadlessIdleHook([] {
    app.volume = 73;
    PostMessageW(app.mainWindow, kCloseRequest, 0, 0);
  });
  EXPECT_EQ(RunPlayer(GetModuleHandleW(nullptr)), 0);
  EXPECT_EQ(StoreText(), kept);
}

TEST_F(Player, QuittingEndsTheProgramWhenTheSettingsCannotBeWritten) {
  std::filesystem::create_directory(Path("Albums"));  // not empty: no note
  std::string blocked = root_ + "/not-a-folder";
  WriteText(blocked, "a file where the settings folder should be");
  setenv("XDG_CONFIG_HOME", (blocked + "/sub").c_str(), 1);
  testing::internal::CaptureStderr();
  SetHeadlessIdleHook([] { SendMessageW(app.mainWindow, WM_COMMAND, kQuitCommand, 0); });
  EXPECT_EQ(RunPlayer(GetModuleHandleW(nullptr)), 0);
  EXPECT_EQ(app.timerId, 0) << "the timer was stopped";
  EXPECT_EQ(app.largeFont, nullptr) << "the resources were released";
  RegFlushKey(HKEY_CURRENT_USER);  // as the program does at its end
  // Without a sound card the output's own message comes first.
  std::string said = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(said.ends_with("Vesk: the settings could not be written to " + blocked +
                             "/sub/vesk/settings.reg: it cannot be read\n"))
      << said;
  EXPECT_EQ(ReadBytes(blocked), "a file where the settings folder should be");
}

TEST_F(Player, AProgramPathThatDoesNotFitLeavesTheName) {
  std::u16string name(kPathChars - 1, u'x');
  EXPECT_FALSE(MakeProgramPath(name.data()));
  EXPECT_EQ(name, std::u16string(kPathChars - 1, u'x'));
}
