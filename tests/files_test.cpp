// Folder listings and the music root on real folders; the root's parent is outside it.
#include <sys/stat.h>  // mkfifo: a pipe is the one kind of entry std::filesystem cannot make

#include "tests/music_fixture.h"

namespace fs = std::filesystem;

namespace {

// The entries a search finds, sorted, marked "/" for a folder, "!" hidden, "?" other attributes.
std::vector<std::u16string> Found(const std::u16string& pattern) {
  std::vector<std::u16string> found;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(pattern.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return found;
  do {
    DWORD a = data.dwFileAttributes;
    found.push_back(data.cFileName + std::u16string(a == FILE_ATTRIBUTE_DIRECTORY ? u"/"
                                                    : a == FILE_ATTRIBUTE_HIDDEN  ? u"!"
                                                    : a == FILE_ATTRIBUTE_NORMAL  ? u""
                                                                                  : u"?"));
  } while (FindNextFileW(find, &data));
  EXPECT_TRUE(FindClose(find));
  std::sort(found.begin(), found.end());
  return found;
}

using FolderEnumeration = MusicTest;

TEST_F(FolderEnumeration, EachPatternFindsItsEntriesAndBadPathsFindNone) {
  for (const char* name :
       {"a.mp3", "B.MP3", "c.Mp3", "notes.txt", "mp3", "ab.mp3x", "d.FLAC", "e.ogg", "f.Oga",
        "g.opus", "h.WAV", "i.mus", "j.mp4", "wav", "k.flac.txt"})
    EmptyFile(std::string("Names/") + name);
  Folder("Names/x.mp3");
  for (const char* name : {"Few/song.mp3", "Few/README", "Few/.hidden", "Albums/blue.mp3",
                           "Albums/Blue.mp3", "Albums/Blue/one.mp3", "Odd/*/in star.mp3",
                           "Odd/?/in question.mp3", "Odd/other/elsewhere.mp3"})
    EmptyFile(name);
  Folder("Few/Albums");
  Folder("Links");
  fs::create_directory_symlink("../Albums/Blue", Path("Links/Favourites"));
  fs::create_symlink(Path("gone.mp3"), Path("Links/broken.mp3"));
  fs::create_symlink(Path("Links/loop.mp3"), Path("Links/loop.mp3"));
  ASSERT_EQ(mkfifo(Path("Links/pipe.mp3").c_str(), 0600), 0);
  EmptyFile("../outside.mp3");
  std::u16string deep;
  while (deep.size() < 5000) deep += u"\\" + std::u16string(200, u'd');
  using Names = std::vector<std::u16string>;
  const Names names = {u"B.MP3", u"a.mp3", u"c.Mp3", u"x.mp3/"};
  const std::pair<std::u16string, Names> cases[] = {
      {u"\\Names\\" + std::u16string(kMusicPattern),
       {u"B.MP3", u"a.mp3", u"c.Mp3", u"d.FLAC", u"e.ogg", u"f.Oga", u"g.opus", u"h.WAV",
        u"x.mp3/"}},
      {u"\\Names\\*.mp3", names},
      {u"\\Names\\?.MP3", names},
      {u"\\Names\\a*", {u"a.mp3", u"ab.mp3x"}},
      {u"\\Few\\*.*", {u".hidden!", u"Albums/", u"README", u"song.mp3"}},
      {u"\\Albums\\Blue", {u"Blue/"}},
      {u"\\Albums\\blue.mp3", {u"blue.mp3"}},
      {u"\\Links\\*.*", {u"Favourites/", u"broken.mp3", u"loop.mp3"}},  // no pipe: it would hang
      {u"\\Links\\Favourites\\*.mp3", {u"one.mp3"}},
      {u"\\Odd\\*", {u"other/", u"\xf02a/", u"\xf03f/"}},
      {u"\\Odd\\\xf02a\\*.*", {u"in star.mp3"}},  // the folder "*" only, not every folder
      {u"\\Odd\\\xf03f\\*.*", {u"in question.mp3"}},
      {deep + u"\\*.*", {}},
      {u"\\Albums\\" + std::u16string(5000, u's'), {}},
  };
  for (const auto& [pattern, found] : cases)
    EXPECT_EQ(Found(pattern), found) << plat::ToUtf8(pattern);
  // Folders are found only as the listing spells them ("BLUE"); no path leaves the root.
  for (const char16_t* pattern :
       {u"\\Few\\Albums\\*.*", u"\\Albums\\BLUE", u"\\Albums\\Green", u"", u"\\", u"\\Albums\\",
        u"Albums\\*.*", u"\\Missing\\*.*", u"\\Albums\\blue.mp3\\*.*", u"\\Albums\\\\*.*",
        u"\\..\\*.mp3", u"\\..\\outside.mp3", u"\\Albums\\..\\..\\*.*", u"\\.\\Albums\\*.*",
        u"\\Albums/../..\\*.*", u"\\.."})
    EXPECT_EQ(Found(pattern), Names{}) << plat::ToUtf8(pattern);
  WIN32_FIND_DATAW data;
  EXPECT_EQ(FindFirstFileW(nullptr, &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(FindFirstFileW(u"\\Albums\\*.*", nullptr), INVALID_HANDLE_VALUE);
  fs::remove(Path("Links/loop.mp3"));  // the fixture's clean-up would follow it
}

TEST_F(FolderEnumeration, ASearchKeepsTheEntriesItStartedWithUntilClosed) {
  for (const char* name : {"1.mp3", "2.mp3", "3.mp3"}) EmptyFile(name);
  WIN32_FIND_DATAW data;
  for (HANDLE bad : {HANDLE{nullptr}, INVALID_HANDLE_VALUE, HANDLE{&data}})
    EXPECT_FALSE(FindNextFileW(bad, &data) || FindClose(bad));
  HANDLE find = FindFirstFileW(u"\\*.mp3", &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  std::vector<std::u16string> names{data.cFileName};
  fs::remove(Path("2.mp3"));
  fs::remove(Path("3.mp3"));
  EmptyFile("4.mp3");
  while (FindNextFileW(find, &data)) names.push_back(data.cFileName);
  EXPECT_EQ(names, (std::vector<std::u16string>{u"1.mp3", u"2.mp3", u"3.mp3"}));
  EXPECT_FALSE(FindNextFileW(find, &data)) << "still at its end";
  EXPECT_TRUE(FindClose(find));
  EXPECT_FALSE(FindClose(find));
  EXPECT_FALSE(FindNextFileW(find, &data));
  EXPECT_EQ(Found(u"\\*.mp3"), (std::vector<std::u16string>{u"1.mp3", u"4.mp3"}));
}

using MusicRoot = MusicTest;

TEST_F(MusicRoot, IsTheConfiguredElseTheXdgMusicElseTheDemoFolder) {
  const std::string home = root_ + "/home", config = root_ + "/config", oldHome = getenv("HOME");
  const std::string demo = (fs::canonical(VESK_BINARY_DIR) / "demo").string();
  // VESK_MUSIC_DIR (none: unset), XDG_MUSIC_DIR in user-dirs.dirs (none: no file), whether
  // ~/Music exists, the root.
  using Text = std::optional<std::string>;
  const std::tuple<Text, Text, bool, std::string> cases[] = {
      {music_ + "/", {}, true, music_},
      {"", {}, true, home + "/Music"},  // an empty setting counts as none
      {{}, "\"$HOME/My Tunes\"", true, home + "/My Tunes"},
      {{}, "\"" + music_ + "\"", true, music_},
      {{}, {}, false, demo},
      {{}, "\"$HOME/Missing\"", true, demo},
      {{}, "\"$HOME/\"", true, demo},
      {{}, "\"relative/path\"", true, demo},
  };
  setenv("HOME", home.c_str(), 1);
  setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  for (const auto& [configured, setting, homeMusic, root] : cases) {
    SCOPED_TRACE(root + " from " + setting.value_or("no setting"));
    fs::remove_all(home);
    fs::create_directories(home + "/My Tunes");
    if (homeMusic) fs::create_directories(home + "/Music");
    fs::remove_all(config);
    fs::create_directories(config);
    if (setting)
      std::ofstream(config + "/user-dirs.dirs")
          << "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
          << "XDG_MUSIC_DIR=" << *setting << "\n";
    configured ? setenv("VESK_MUSIC_DIR", configured->c_str(), 1) : unsetenv("VESK_MUSIC_DIR");
    plat::ResetMusicRootForTests();
    EXPECT_EQ(std::string(MusicRootPath()), root);
  }
  setenv("VESK_MUSIC_DIR", music_.c_str(), 1);
  EXPECT_EQ(std::string(MusicRootPath()), demo) << "decided on first use";
  setenv("HOME", oldHome.c_str(), 1);
}

TEST_F(MusicRoot, TheProgramPathComesInDeviceFormAndBack) {
  WCHAR path[MAX_PATH];
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  EXPECT_EQ(length, static_cast<DWORD>(lstrlenW(path)));
  EXPECT_EQ(fs::path(plat::DevicePathToReal(path)), fs::read_symlink("/proc/self/exe"));
  WCHAR small[4] = {u'x', u'x', u'x', 0};
  EXPECT_EQ(GetModuleFileNameW(nullptr, small, 4), 0u);
  EXPECT_EQ(small[0], 0) << "a path that does not fit leaves an empty buffer";
}

}  // namespace
