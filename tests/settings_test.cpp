#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <random>
#include <thread>

#include "app/settings.h"
#include "platform/strings.h"
#include "settings_fixture.h"

namespace {

using Settings = TempConfig;

void ExpectDefaults() {
  EXPECT_EQ(app.volume, 50);
  EXPECT_EQ(app.shuffle, 0);
  EXPECT_EQ(app.repeatMode, RepeatMode::Off);
  EXPECT_EQ(app.clicker, 1);
  EXPECT_EQ(app.shell, Shell::Classic);
  EXPECT_EQ(app.backlight, 0);
  EXPECT_EQ(std::u16string(app.lastPlayedFolder), u"");
  EXPECT_EQ(std::u16string(app.lastPlayedFile), u"");
  EXPECT_EQ(app.lastPlayedMs, 0);
}

// Loads with every settings field holding rubbish first, so that a field
// the load forgets to set shows.
void LoadOverRubbish() {
  app.volume = app.shuffle = app.clicker = app.backlight = app.lastPlayedMs = 77;
  app.repeatMode = RepeatMode(77);
  app.shell = Shell(77);
  std::fill(std::begin(app.lastPlayedFolder), std::end(app.lastPlayedFolder), u'x');
  std::fill(std::begin(app.lastPlayedFile), std::end(app.lastPlayedFile), u'x');
  LoadSettings();
}

std::string StoreWith(const std::string& values) {
  return std::string(kSignatureLine) + kVeskSection + values + "\n";
}

}  // namespace

TEST_F(Settings, FirstStartGivesTheDefaultsAndLeavesTheEmptyKey) {
  LoadOverRubbish();
  ExpectDefaults();
  EXPECT_EQ(StoreText(), std::string(kSignatureLine) + kVeskSection + "\n");
}

TEST_F(Settings, EverySettingSurvivesSaveAndRestart) {
  app.volume = 73;
  app.shuffle = 1;
  app.repeatMode = RepeatMode::One;
  app.clicker = 0;
  app.shell = Shell::Night;
  app.backlight = 1;
  // A folder whose name is not UTF-8 on disk, quotes, backslashes, Greek, CJK, emoji.
  const std::u16string folder = u"\\Al\xdce9\xdcff\"bum\"\\Ψυχή 音楽 🎵\\";
  StringCchCopyW(app.lastPlayedFolder, kPathChars, folder.c_str());
  // A name with a backslash's stand-in, as a Linux name holding one is given.
  const std::u16string file = folder + u"Ψ\xf05c\xdcff.mp3";
  StringCchCopyW(app.lastPlayedFile, kPathChars, file.c_str());
  app.lastPlayedMs = 61500;
  SaveSettings();
  AppState saved = app;
  ResetAppState();
  LoadOverRubbish();
  EXPECT_EQ(app.volume, saved.volume);
  EXPECT_EQ(app.shuffle, saved.shuffle);
  EXPECT_EQ(app.repeatMode, saved.repeatMode);
  EXPECT_EQ(app.clicker, saved.clicker);
  EXPECT_EQ(app.shell, saved.shell);
  EXPECT_EQ(app.backlight, saved.backlight);
  EXPECT_EQ(std::u16string(app.lastPlayedFolder), folder);
  EXPECT_EQ(std::u16string(app.lastPlayedFile), file);
  EXPECT_EQ(app.lastPlayedMs, 61500);
}

// The track to resume is a name within LastPld; what cannot be that leaves
// nothing to resume, and a place that cannot be one resumes at the start.
TEST_F(Settings, ADamagedTrackToResumeIsIgnored) {
  std::string tooLong = "\"LastTrk\"=hex(1):";
  for (int i = 0; i < 261; ++i) tooLong += "41,00,";
  struct Case {
    std::string values;
    std::u16string file;
    int32_t ms;
  } cases[] = {
      {"\"LastTrk\"=\"b.mp3\"\n\"LastPos\"=dword:0000ea60", u"\\A\\b.mp3", 60000},
      {"\"LastTrk\"=\"b.mp3\"", u"\\A\\b.mp3", 0},
      {"\"LastTrk\"=dword:00000062", u"", 0},
      {tooLong + "00,00", u"", 0},
      {"\"LastTrk\"=\"Sub\\\\b.mp3\"", u"", 0},
      {"\"LastTrk\"=\"\"\n\"LastPos\"=dword:00000010", u"", 0},
      {"\"LastTrk\"=\"b.mp3\"\n\"LastPos\"=dword:ffffffff", u"\\A\\b.mp3", 0},
      {"\"LastTrk\"=\"b.mp3\"\n\"LastPos\"=dword:80000000", u"\\A\\b.mp3", 0},
      {"\"LastTrk\"=\"b.mp3\"\n\"LastPos\"=\"60000\"", u"\\A\\b.mp3", 0},
  };
  for (const Case& c : cases) {
    WriteStore(StoreWith("\"LastPld\"=\"\\\\A\\\\\"\n" + c.values));
    LoadOverRubbish();
    EXPECT_EQ(std::u16string(app.lastPlayedFile), c.file) << c.values;
    EXPECT_EQ(app.lastPlayedMs, c.ms) << c.values;
  }
}

TEST_F(Settings, IntegersAreTakenAsStoredWithoutARangeCheck) {
  WriteStore(
      StoreWith("\"Volume\"=dword:000000fa\n\"Repeat\"=dword:00000002\n"
                "\"Shell\"=dword:ffffffff\n\"BackLight\"=hex:01,00,00,00"));
  LoadOverRubbish();
  EXPECT_EQ(app.volume, 250);
  EXPECT_EQ(app.repeatMode, RepeatMode::All);
  EXPECT_EQ(app.shell, Shell(-1));
  EXPECT_EQ(app.backlight, 1) << "any 4 bytes are the integer, whatever their type";
  EXPECT_EQ(app.clicker, 1);
}

TEST_F(Settings, LastPldIsWrittenWithItsTerminatingZero) {
  StringCchCopyW(app.lastPlayedFolder, kPathChars, u"\\Albums\\B\\");  // 10 characters
  SaveSettings();
  EXPECT_NE(StoreText().find("\n\"LastPld\"=\"\\\\Albums\\\\B\\\\\"\n"), std::string::npos);
  DWORD type, size = 0;
  EXPECT_TRUE(AccessSetting(kReadSetting, u"LastPld", &type, nullptr, &size));
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, 22u);
  StringCchCopyW(app.lastPlayedFile, kPathChars, u"\\Albums\\A\\b.mp3");
  app.lastPlayedMs = 5;
  SaveSettings();
  EXPECT_NE(StoreText().find("\n\"LastTrk\"=\"\"\n\"LastPos\"=dword:00000000\n"), std::string::npos)
      << "a track outside the folder is not kept";

  app.lastPlayedFolder[0] = 0;
  SaveSettings();
  EXPECT_NE(StoreText().find("\n\"LastPld\"=\"\"\n"), std::string::npos);
}

TEST_F(Settings, ValuesOfTheWrongSizeGiveTheDefaults) {
  std::string tooLong = "\"LastPld\"=hex(1):";
  for (int i = 0; i < 261; ++i) tooLong += "41,00,";
  tooLong += "00,00";
  WriteStore(
      StoreWith("\"Volume\"=\"loud\"\n\"Shuffle\"=hex:01,00\n"
                "\"Clicker\"=hex(b):00,00,00,00,00,00,00,00\n\"Repeat\"=hex:\n" +
                tooLong));
  LoadOverRubbish();
  ExpectDefaults();
}

TEST_F(Settings, ALastPldWithoutItsZeroIsStillEndedWithinTheField) {
  std::string full = "\"LastPld\"=hex(1):";  // 260 characters, no zero
  for (int i = 0; i < 260; ++i) full += i ? ",41,00" : "41,00";
  WriteStore(StoreWith(full));
  LoadOverRubbish();
  EXPECT_EQ(std::u16string(app.lastPlayedFolder), std::u16string(259, u'A'));

  WriteStore(StoreWith("\"LastPld\"=hex(1):41,00,42,00,43"));  // half a character at the end
  LoadOverRubbish();
  EXPECT_EQ(std::u16string(app.lastPlayedFolder), u"AB");
}

TEST_F(Settings, EmptyOrGarbageFilesGiveTheDefaultsAndAreKeptOnSave) {
  std::mt19937 random(7);
  std::string binary;
  for (int i = 0; i < 3000; ++i) binary.push_back(char(random()));
  const std::string files[] = {"", binary, "[HKEY_CURRENT_USER\\Software\\Mireva\\Vesk",
                               StoreWith("\"Volume\"=dwo"), StoreWith("\"Volume\"=hex:32,\\")};
  for (const std::string& file : files) {
    WriteStore(file);
    LoadOverRubbish();
    ExpectDefaults();
    app.volume = 12;
    SaveSettings();
    std::string text = StoreText();
    EXPECT_NE(text.find(file), std::string::npos) << "nothing of the old file is lost";
    ResetAppState();
    LoadSettings();
    EXPECT_EQ(app.volume, 12);
  }
}

TEST_F(Settings, AHandEditedFileKeepsEverythingElseOnSave) {
  const std::string lines[] = {
      "; my settings",
      "[HKEY_CURRENT_USER\\Software\\Other]",
      "\"Volume\"=dword:00000001",
      "",
      "[HKEY_CURRENT_USER\\Software\\Mireva\\Vesk]",
      "\"Future\"=hex(7):41,00,00,00,00,00",
      "; written by hand",
      "\"volume\"=dword:00000009",
      "not a registry line",
      "[-HKEY_CURRENT_USER\\Software\\Gone]",
  };
  std::string file = kSignatureLine;
  for (const std::string& line : lines) file += line + "\n";
  WriteStore(file);
  LoadSettings();
  EXPECT_EQ(app.volume, 9) << "names compare without regard to case";
  app.volume = 10;
  app.shell = Shell::Night;
  SaveSettings();
  std::string text = StoreText();
  for (const std::string& line : lines) {
    if (line != "\"volume\"=dword:00000009") {
      EXPECT_NE(text.find(line + "\n"), std::string::npos) << line;
    }
  }
  EXPECT_NE(text.find("\"volume\"=dword:0000000a\nnot a registry"), std::string::npos)
      << "changed in place, not added twice";
  EXPECT_EQ(text.find("\"Volume\"=dword:0000000a"), std::string::npos);
  ResetAppState();
  LoadSettings();
  EXPECT_EQ(app.shell, Shell::Night) << "added within the key's section";
}

TEST_F(Settings, AFolderThatCannotBeCreatedGivesDefaultsAndLosesNothing) {
  WriteText(root_ + "/plain", "not a folder");
  setenv("XDG_CONFIG_HOME", (root_ + "/plain/config").c_str(), 1);
  LoadOverRubbish();
  ExpectDefaults();
  app.volume = 5;
  SaveSettings();
  EXPECT_EQ(ReadText(root_ + "/plain"), "not a folder");
}

TEST_F(Settings, AReadOnlyFolderKeepsTheOldFileUntilItCanBeWritten) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  app.volume = 33;
  SaveSettings();
  std::string before = StoreText();
  chmod((root_ + "/vesk").c_str(), 0500);
  app.volume = 44;
  SaveSettings();
  EXPECT_EQ(StoreText(), before);
  chmod((root_ + "/vesk").c_str(), 0700);
  EXPECT_NE(StoreText().find("\"Volume\"=dword:0000002c"), std::string::npos);
}

// A child saves in a loop, each save with new values, and is killed at
// random moments. The file must always be whole, and all its values from one
// save: the old file or the new one, never a mix.
TEST_F(Settings, AKillWhileSavingNeverLeavesAHalfWrittenFile) {
  auto folderOf = [](int t) {
    std::string name = "\\Folder " + std::to_string(t) + "\\";
    return std::u16string(name.begin(), name.end());
  };
  auto setAll = [&](int t) {
    app.volume = t;
    app.shuffle = t + 1;
    app.repeatMode = RepeatMode(t + 2);
    app.clicker = t + 3;
    app.backlight = t + 4;
    app.shell = Shell(t + 5);
    StringCchCopyW(app.lastPlayedFolder, kPathChars, folderOf(t).c_str());
    StringCchCopyW(app.lastPlayedFile, kPathChars, (folderOf(t) + u"b.mp3").c_str());
    app.lastPlayedMs = t + 6;
  };
  setAll(0);
  SaveSettings();
  std::mt19937 random(2024);
  int next = 1;
  for (int round = 0; round < 40; ++round) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (int t = next;; ++t) {
        setAll(t);
        SaveSettings();
        RegFlushKey(HKEY_CURRENT_USER);  // as the message loop does after the quit's burst
      }
    }
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 50000));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);

    std::string text = StoreText();
    ASSERT_EQ(text.substr(0, sizeof kSignatureLine - 1), kSignatureLine);
    ASSERT_EQ(std::count(text.begin(), text.end(), '\n'), 13) << text;
    ResetAppState();
    LoadOverRubbish();
    int t[] = {app.volume,        app.shuffle - 1,    int(app.repeatMode) - 2, app.clicker - 3,
               app.backlight - 4, int(app.shell) - 5, app.lastPlayedMs - 6};
    for (int i = 1; i < 7; ++i) ASSERT_EQ(t[i], t[0]) << "all from one save\n" << text;
    ASSERT_GE(t[0], 0);
    ASSERT_EQ(std::u16string(app.lastPlayedFile), folderOf(t[0]) + u"b.mp3") << text;
    next = t[0] + 1;
  }
  auto entries = std::filesystem::directory_iterator(root_ + "/vesk");
  EXPECT_LE(std::distance(begin(entries), end(entries)), 2) << "stale temporaries are removed";
}
