#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <random>
#include <thread>

#include "app/settings.h"
#include "platform/internal.h"
#include "platform/strings.h"
#include "settings_fixture.h"

namespace {

using Settings = TempConfig;

struct Loaded {
  int32_t volume = 50, shuffle = 0;
  RepeatMode repeat = RepeatMode::Off;
  int32_t clicker = 1;
  Shell shell = Shell::Classic;
  int32_t backlight = 0;
  std::u16string folder = u"", file = u"";
  int32_t ms = 0;
  bool operator==(const Loaded&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Loaded& l) {
  return out << testing::PrintToString(std::make_tuple(l.volume, l.shuffle, int(l.repeat),
                                                       l.clicker, int(l.shell), l.backlight,
                                                       l.folder, l.file, l.ms));
}

// Rubbish first, so that a field the load forgets to set shows.
Loaded LoadOverRubbish() {
  app.volume = app.shuffle = app.clicker = app.backlight = app.lastPlayedMs = 77;
  app.repeatMode = RepeatMode(77);
  app.shell = Shell(77);
  std::fill(std::begin(app.lastPlayedFolder), std::end(app.lastPlayedFolder), u'x');
  std::fill(std::begin(app.lastPlayedFile), std::end(app.lastPlayedFile), u'x');
  LoadSettings();
  return {app.volume,    app.shuffle,          app.repeatMode,     app.clicker,     app.shell,
          app.backlight, app.lastPlayedFolder, app.lastPlayedFile, app.lastPlayedMs};
}

void Save(const Loaded& l) {
  app.volume = l.volume;
  app.shuffle = l.shuffle;
  app.repeatMode = l.repeat;
  app.clicker = l.clicker;
  app.shell = l.shell;
  app.backlight = l.backlight;
  StringCchCopyW(app.lastPlayedFolder, kPathChars, l.folder.c_str());
  StringCchCopyW(app.lastPlayedFile, kPathChars, l.file.c_str());
  app.lastPlayedMs = l.ms;
  SaveSettings();
}

std::string Chars(int count, const char* end = "") {  // "A"s as hex(1) bytes
  std::string bytes;
  for (int i = 0; i < count; ++i) bytes += i ? ",41,00" : "41,00";
  return bytes + end;
}

}  // namespace

// Any 4 bytes are an integer; a track that is no name within LastPld is not resumed.
TEST_F(Settings, StoredValuesLoadAsTheyStandOrGiveTheDefaults) {
  EXPECT_EQ(LoadOverRubbish(), Loaded{}) << "the first start";
  EXPECT_EQ(StoreText(), std::string(kSignatureLine) + kVeskSection + "\n") << "the empty key";
  const std::string kBox = "\"LastPld\"=\"\\\\A\\\\\"\n";
  const std::pair<std::string, Loaded> cases[] = {
      {"\"Volume\"=dword:000000fa\n\"Repeat\"=dword:00000002\n\"Shell\"=dword:ffffffff\n"
       "\"BackLight\"=hex:01,00,00,00",
       {.volume = 250, .repeat = RepeatMode::All, .shell = Shell(-1), .backlight = 1}},
      {"\"Volume\"=\"loud\"\n\"Shuffle\"=hex:01,00\n\"Clicker\"=hex(b):00,00,00,00,00,00,00,00\n"
       "\"Repeat\"=hex:\n\"LastPld\"=hex(1):" +
           Chars(261, ",00,00"),
       {}},
      {"\"LastPld\"=hex(1):" + Chars(260), {.folder = std::u16string(259, u'A')}},
      {"\"LastPld\"=hex(1):41,00,42,00,43", {.folder = u"AB"}},
      {kBox + "\"LastTrk\"=\"b.mp3\"\n\"LastPos\"=dword:0000ea60",
       {.folder = u"\\A\\", .file = u"\\A\\b.mp3", .ms = 60000}},
      {kBox + "\"LastTrk\"=\"b.mp3\"", {.folder = u"\\A\\", .file = u"\\A\\b.mp3"}},
      {kBox + "\"LastTrk\"=\"b.mp3\"\n\"LastPos\"=dword:ffffffff",
       {.folder = u"\\A\\", .file = u"\\A\\b.mp3"}},
      {kBox + "\"LastTrk\"=dword:00000062", {.folder = u"\\A\\"}},
      {kBox + "\"LastTrk\"=hex(1):" + Chars(261, ",00,00"), {.folder = u"\\A\\"}},
      {kBox + "\"LastTrk\"=\"Sub\\\\b.mp3\"", {.folder = u"\\A\\"}},
      {kBox + "\"LastTrk\"=\"\"\n\"LastPos\"=dword:00000010", {.folder = u"\\A\\"}},
      {"\"LastTrk\"=\"b.mp3\"\n\"LastPos\"=dword:00000010", {}},
  };
  for (const auto& [values, loaded] : cases) {
    WriteValues(values);
    EXPECT_EQ(LoadOverRubbish(), loaded) << values;
  }
}

// A quoted string is only written for text ending in one zero.
TEST_F(Settings, TextsAreWrittenWithTheirZeroAndATrackOnlyWithinItsFolder) {
  Save({.folder = u"\\Albums\\B\\", .file = u"\\Albums\\A\\b.mp3", .ms = 5});
  EXPECT_NE(StoreText().find("\n\"LastPld\"=\"\\\\Albums\\\\B\\\\\"\n\"LastTrk\"=\"\"\n"
                             "\"LastPos\"=dword:00000000\n"),
            std::string::npos);
}

// A child saving new values in a loop is killed at random moments.
TEST_F(Settings, AKillWhileSavingNeverLeavesAHalfWrittenFile) {
  auto values = [](int t) {
    std::string name = "\\Folder " + std::to_string(t) + "\\";
    std::u16string folder(name.begin(), name.end());
    return Loaded{t,     t + 1,  RepeatMode(t + 2), t + 3, Shell(t + 5),
                  t + 4, folder, folder + u"b.mp3", t + 6};
  };
  Save(values(0));
  std::mt19937 random(2024);
  int next = 1;
  for (int round = 0; round < 40; ++round) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (int t = next;; ++t) {
        Save(values(t));
        RegFlushKey(HKEY_CURRENT_USER);  // as the message loop does after the quit's burst
      }
    }
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 50000));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    std::string text = StoreText();
    Loaded l = LoadOverRubbish();
    ASSERT_EQ(l, values(l.volume)) << "all from one save\n" << text;
    next = l.volume + 1;
  }
  auto entries = std::filesystem::directory_iterator(root_ + "/vesk");
  EXPECT_LE(std::distance(begin(entries), end(entries)), 2) << "stale temporaries are removed";
}
