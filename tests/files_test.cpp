#include <gtest/gtest.h>
#include <sys/stat.h>  // mkfifo: a pipe is the one kind of entry std::filesystem cannot make

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/internal.h"
#include "platform/strings.h"
#include "platform/test_hooks.h"

namespace fs = std::filesystem;

namespace {

struct Found {
  std::u16string name;
  DWORD attributes;
};

std::vector<Found> List(const std::u16string& pattern) {
  std::vector<Found> found;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(pattern.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return found;
  do {
    found.push_back({data.cFileName, data.dwFileAttributes});
  } while (FindNextFileW(find, &data));
  EXPECT_TRUE(FindClose(find));
  return found;
}

std::vector<std::u16string> SortedNames(const std::vector<Found>& found) {
  std::vector<std::u16string> names;
  for (const Found& f : found) names.push_back(f.name);
  std::sort(names.begin(), names.end());
  return names;
}

const Found* Entry(const std::vector<Found>& found, std::u16string_view name) {
  for (const Found& f : found)
    if (f.name == name) return &f;
  static const Found none{u"", 0};
  return &none;
}

bool Fails(const WCHAR* pattern) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(pattern, &data);
  if (find == INVALID_HANDLE_VALUE) return true;
  FindClose(find);
  return false;
}

// Sets environment variables for one test and puts the old values back.
class Environment {
 public:
  void Set(const char* name, const std::string& value) {
    Remember(name);
    setenv(name, value.c_str(), 1);
  }
  void Unset(const char* name) {
    Remember(name);
    unsetenv(name);
  }
  ~Environment() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      if (it->wasSet) {
        setenv(it->name.c_str(), it->value.c_str(), 1);
      } else {
        unsetenv(it->name.c_str());
      }
    }
    plat::ResetMusicRootForTests();
  }

 private:
  struct Saved {
    std::string name;
    bool wasSet;
    std::string value;
  };
  void Remember(const char* name) {
    const char* old = std::getenv(name);
    saved_.push_back({name, old != nullptr, old ? old : ""});
  }
  std::vector<Saved> saved_;
};

// A fresh temporary folder with "music" inside it as the music root; the
// folder itself lies outside the root, for escape attempts to aim at.
class MusicFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string templ = (fs::temp_directory_path() / "vesk-files-XXXXXX").string();
    ASSERT_NE(mkdtemp(templ.data()), nullptr);
    base_ = templ;
    root_ = base_ / "music";
    fs::create_directory(root_);
    env_.Set("VESK_MUSIC_DIR", root_.string());
    plat::ResetMusicRootForTests();
  }
  void TearDown() override { fs::remove_all(base_); }

  void File(const std::string& path) {
    fs::create_directories((root_ / path).parent_path());
    std::ofstream(root_ / path) << "x";
  }
  void Folder(const std::string& path) { fs::create_directories(root_ / path); }

  Environment env_;
  fs::path base_;
  fs::path root_;
};

using FolderEnumeration = MusicFolder;

TEST_F(FolderEnumeration, MusicPatternsIgnoreCaseAndTakeFoldersNamedLikeSongs) {
  for (const char* name :
       {"a.mp3", "B.MP3", "c.Mp3", "notes.txt", "mp3", "ab.mp3x", "d.FLAC", "e.ogg", "f.Oga",
        "g.opus", "h.WAV", "i.mus", "j.mp4", "wav", "k.flac.txt"})
    File(name);
  Folder("x.mp3");
  EXPECT_EQ(SortedNames(List((u"\\" + std::u16string(kMusicPattern)).c_str())),
            (std::vector<std::u16string>{u"B.MP3", u"a.mp3", u"c.Mp3", u"d.FLAC", u"e.ogg",
                                         u"f.Oga", u"g.opus", u"h.WAV", u"x.mp3"}));
  std::vector<Found> found = List(u"\\*.mp3");
  EXPECT_EQ(SortedNames(found),
            (std::vector<std::u16string>{u"B.MP3", u"a.mp3", u"c.Mp3", u"x.mp3"}));
  EXPECT_EQ(Entry(found, u"x.mp3")->attributes, FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(Entry(found, u"B.MP3")->attributes, FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(SortedNames(List(u"\\?.MP3")),
            (std::vector<std::u16string>{u"B.MP3", u"a.mp3", u"c.Mp3", u"x.mp3"}));
  EXPECT_EQ(SortedNames(List(u"\\a*")), (std::vector<std::u16string>{u"a.mp3", u"ab.mp3x"}));
}

TEST_F(FolderEnumeration, StarDotStarListsEveryEntryButNeverTheFolderOrItsParent) {
  File("song.mp3");
  File("README");
  File(".hidden");
  Folder("Albums");
  std::vector<Found> found = List(u"\\*.*");
  EXPECT_EQ(SortedNames(found),
            (std::vector<std::u16string>{u".hidden", u"Albums", u"README", u"song.mp3"}));
  EXPECT_EQ(Entry(found, u".hidden")->attributes, FILE_ATTRIBUTE_HIDDEN);
  EXPECT_EQ(Entry(found, u"Albums")->attributes, FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(SortedNames(List(u"\\*")), SortedNames(found));
  EXPECT_TRUE(List(u"\\Albums\\*.*").empty()) << "an empty folder finds nothing";
}

TEST_F(FolderEnumeration, APlainNameFindsExactlyThatEntry) {
  Folder("Albums/Blue");
  File("Albums/blue.mp3");
  File("Albums/Blue.mp3");
  std::vector<Found> found = List(u"\\Albums\\Blue");
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].name, u"Blue");
  EXPECT_EQ(found[0].attributes, FILE_ATTRIBUTE_DIRECTORY);
  found = List(u"\\Albums\\blue.mp3");
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].name, u"blue.mp3");
  EXPECT_TRUE(Fails(u"\\Albums\\BLUE")) << "folders are found as the listing spells them";
  EXPECT_TRUE(Fails(u"\\Albums\\Green"));
}

TEST_F(FolderEnumeration, AnUnchangedFolderGivesTheSameOrderOnEveryPass) {
  for (int i : {7, 3, 19, 0, 12, 5, 16, 1, 9, 14}) File("Track " + std::to_string(i) + ".mp3");
  Folder("Z folder.mp3");
  std::vector<std::u16string> first, second;
  for (const Found& f : List(u"\\*.mp3")) first.push_back(f.name);
  for (const Found& f : List(u"\\*.mp3")) second.push_back(f.name);
  EXPECT_EQ(first.size(), 11u);
  EXPECT_EQ(first, second);
}

TEST_F(FolderEnumeration, ASearchKeepsTheEntriesItStartedWith) {
  File("1.mp3");
  File("2.mp3");
  File("3.mp3");
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(u"\\*.mp3", &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  std::vector<std::u16string> names{data.cFileName};
  fs::remove(root_ / "2.mp3");
  fs::remove(root_ / "3.mp3");
  File("4.mp3");
  while (FindNextFileW(find, &data)) names.push_back(data.cFileName);
  FindClose(find);
  EXPECT_EQ(names, (std::vector<std::u16string>{u"1.mp3", u"2.mp3", u"3.mp3"}));
  names.clear();
  for (const Found& f : List(u"\\*.mp3")) names.push_back(f.name);
  EXPECT_EQ(names, (std::vector<std::u16string>{u"1.mp3", u"4.mp3"})) << "a new search sees it now";
}

TEST_F(FolderEnumeration, LinksToFoldersAreFoldersAndBrokenLinksAreFiles) {
  File("Albums/Blue/one.mp3");
  fs::create_directory_symlink(root_ / "Albums/Blue", root_ / "Favourites");
  fs::create_symlink(root_ / "gone.mp3", root_ / "broken.mp3");
  fs::create_symlink(root_ / "loop.mp3", root_ / "loop.mp3");
  ASSERT_EQ(mkfifo((root_ / "pipe.mp3").c_str(), 0600), 0);
  std::vector<Found> found = List(u"\\*.*");
  EXPECT_EQ(SortedNames(found),
            (std::vector<std::u16string>{u"Albums", u"Favourites", u"broken.mp3", u"loop.mp3"}))
      << "a pipe would hang whoever opens it, so it is not listed";
  EXPECT_EQ(Entry(found, u"Favourites")->attributes, FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(Entry(found, u"broken.mp3")->attributes, FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(Entry(found, u"loop.mp3")->attributes, FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(SortedNames(List(u"\\Favourites\\*.mp3")), std::vector<std::u16string>{u"one.mp3"});
}

TEST_F(FolderEnumeration, OddNamesAreListedAndFoundAgainByTheListedName) {
  const std::vector<std::string> names = {"\xff\xfe latin1 \xe9t\xe9.mp3",
                                          "back\\slash.mp3",
                                          std::string(251, 'L') + ".mp3",
                                          "  spaces  around .mp3",
                                          "emoji \xf0\x9f\x8e\xb5.mp3",
                                          "Bl\xc3\xa5"
                                          "b\xc3\xa6r.mp3",
                                          "ends in dots....mp3"};
  for (const std::string& name : names) File("Odd \xff/" + name);
  Folder("Odd \xff/sub\\folder");
  File("Odd \xff/sub\\folder/inner.mp3");

  const std::u16string folder = u"\\Odd \xdcff\\";
  std::vector<Found> found = List(folder + u"*.*");
  ASSERT_EQ(found.size(), names.size() + 1);
  for (const Found& f : found) {
    std::vector<Found> again = List(folder + f.name);
    ASSERT_EQ(again.size(), 1u) << plat::ToUtf8(f.name);
    EXPECT_EQ(again[0].name, f.name);
    EXPECT_EQ(again[0].attributes, f.attributes);
    EXPECT_TRUE(fs::exists(
        plat::DevicePathToReal(plat::RealPathToDevice(root_.string()) + folder + f.name)));
  }
  EXPECT_EQ(SortedNames(List(folder + u"sub\xf05c"
                                      u"folder\\*.mp3")),
            std::vector<std::u16string>{u"inner.mp3"});
}

// A folder named "*" is that folder, not every folder.
TEST_F(FolderEnumeration, WildcardsInRealNamesAreNoPatterns) {
  File("*/in star.mp3");
  File("?/in question.mp3");
  File("other/elsewhere.mp3");
  EXPECT_EQ(SortedNames(List(u"\\*")),
            (std::vector<std::u16string>{u"other", u"\xf02a", u"\xf03f"}));
  EXPECT_EQ(SortedNames(List(u"\\\xf02a\\*.*")), std::vector<std::u16string>{u"in star.mp3"});
  EXPECT_EQ(SortedNames(List(u"\\\xf03f\\*.*")), std::vector<std::u16string>{u"in question.mp3"});
}

TEST_F(FolderEnumeration, BadPathsFailQuietly) {
  File("Albums/song.mp3");
  std::ofstream(base_ / "outside.mp3") << "not yours";
  EXPECT_TRUE(Fails(nullptr));
  EXPECT_TRUE(Fails(u""));
  EXPECT_TRUE(Fails(u"\\"));
  EXPECT_TRUE(Fails(u"\\Albums\\"));
  EXPECT_TRUE(Fails(u"Albums\\*.*"));
  EXPECT_TRUE(Fails(u"\\Missing\\*.*"));
  EXPECT_TRUE(Fails(u"\\Albums\\song.mp3\\*.*")) << "a file is no folder";
  EXPECT_TRUE(Fails(u"\\Albums\\\\*.*"));
  EXPECT_TRUE(Fails(u"\\..\\*.mp3"));
  EXPECT_TRUE(Fails(u"\\..\\outside.mp3"));
  EXPECT_TRUE(Fails(u"\\Albums\\..\\..\\*.*"));
  EXPECT_TRUE(Fails(u"\\.\\Albums\\*.*"));
  EXPECT_TRUE(Fails(u"\\Albums/../..\\*.*"));
  EXPECT_TRUE(Fails(u"\\.."));
  std::u16string deep;
  while (deep.size() < 5000) deep += u"\\" + std::u16string(200, u'd');
  EXPECT_TRUE(Fails((deep + u"\\*.*").c_str()));
  EXPECT_TRUE(Fails((u"\\Albums\\" + std::u16string(5000, u's')).c_str()));
  EXPECT_EQ(FindFirstFileW(u"\\Albums\\*.*", nullptr), INVALID_HANDLE_VALUE);
  EXPECT_FALSE(Fails(u"\\Albums\\*.mp3")) << "the folder itself is fine";
}

TEST_F(FolderEnumeration, BadOrClosedHandlesAreRefused) {
  File("only.mp3");
  WIN32_FIND_DATAW data;
  EXPECT_FALSE(FindNextFileW(nullptr, &data));
  EXPECT_FALSE(FindNextFileW(INVALID_HANDLE_VALUE, &data));
  EXPECT_FALSE(FindNextFileW(&data, &data));
  EXPECT_FALSE(FindClose(INVALID_HANDLE_VALUE));
  HANDLE find = FindFirstFileW(u"\\*.mp3", &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(FindNextFileW(find, &data)) << "one entry only";
  EXPECT_FALSE(FindNextFileW(find, &data));
  EXPECT_TRUE(FindClose(find));
  EXPECT_FALSE(FindClose(find));
  EXPECT_FALSE(FindNextFileW(find, &data));
}

using MusicRoot = MusicFolder;

// The folder the build places beside the program.
std::string DemoFolderBesideProgram() {
  return (fs::canonical(VESK_BINARY_DIR) / "demo").string();
}

TEST_F(MusicRoot, TheConfiguredFolderComesFirstAndIsDecidedOnce) {
  fs::create_directories(base_ / "home/Music");
  env_.Set("HOME", (base_ / "home").string());
  env_.Unset("XDG_CONFIG_HOME");
  env_.Set("VESK_MUSIC_DIR", root_.string() + "/");
  plat::ResetMusicRootForTests();
  EXPECT_EQ(std::string(MusicRootPath()), root_.string());
  env_.Set("VESK_MUSIC_DIR", "");
  EXPECT_EQ(std::string(MusicRootPath()), root_.string()) << "decided on first use";
  plat::ResetMusicRootForTests();
  EXPECT_EQ(std::string(MusicRootPath()), (base_ / "home/Music").string())
      << "an empty setting counts as none";
}

TEST_F(MusicRoot, TheXdgMusicFolderComesNextWhenItExists) {
  fs::create_directories(base_ / "home/Music");
  fs::create_directories(base_ / "home/My Tunes");
  fs::create_directories(base_ / "config");
  std::ofstream(base_ / "config/user-dirs.dirs")
      << "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
      << "XDG_MUSIC_DIR=\"$HOME/My Tunes\"\n";
  env_.Unset("VESK_MUSIC_DIR");
  env_.Set("HOME", (base_ / "home").string());
  env_.Set("XDG_CONFIG_HOME", (base_ / "config").string());
  plat::ResetMusicRootForTests();
  EXPECT_EQ(std::string(MusicRootPath()), (base_ / "home/My Tunes").string());

  std::ofstream(base_ / "config/user-dirs.dirs") << "XDG_MUSIC_DIR=\"" << root_.string() << "\"\n";
  plat::ResetMusicRootForTests();
  EXPECT_EQ(std::string(MusicRootPath()), root_.string());

  fs::remove(base_ / "config/user-dirs.dirs");
  plat::ResetMusicRootForTests();
  EXPECT_EQ(std::string(MusicRootPath()), (base_ / "home/Music").string())
      << "without the setting, ~/Music";
}

TEST_F(MusicRoot, TheDemoFolderBesideTheProgramIsTheLastChoice) {
  fs::create_directories(base_ / "home");
  fs::create_directories(base_ / "config");
  env_.Unset("VESK_MUSIC_DIR");
  env_.Set("HOME", (base_ / "home").string());
  env_.Set("XDG_CONFIG_HOME", (base_ / "config").string());
  plat::ResetMusicRootForTests();
  EXPECT_EQ(std::string(MusicRootPath()), DemoFolderBesideProgram()) << "no ~/Music";

  fs::create_directories(base_ / "home/Music");
  for (const char* setting : {"\"$HOME/Missing\"", "\"$HOME/\"", "\"relative/path\""}) {
    std::ofstream(base_ / "config/user-dirs.dirs") << "XDG_MUSIC_DIR=" << setting << "\n";
    plat::ResetMusicRootForTests();
    EXPECT_EQ(std::string(MusicRootPath()), DemoFolderBesideProgram()) << setting;
  }
}

TEST_F(MusicRoot, TheProgramPathComesInDeviceFormAndBack) {
  WCHAR path[MAX_PATH];
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  ASSERT_GT(length, 0u);
  EXPECT_EQ(length, static_cast<DWORD>(lstrlenW(path)));
  EXPECT_EQ(path[0], u'\\');
  EXPECT_EQ(fs::path(plat::DevicePathToReal(path)), fs::read_symlink("/proc/self/exe"));

  WCHAR small[4] = {u'x', u'x', u'x', 0};
  EXPECT_EQ(GetModuleFileNameW(nullptr, small, 4), 0u);
  EXPECT_EQ(small[0], 0) << "a path that does not fit leaves an empty buffer";
}

}  // namespace
