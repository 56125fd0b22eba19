// The folder browser on real folders: listings, names the rows cut, going in
// and up, starting a file and coming back, and folders that misbehave.
#include <sys/stat.h>
#include <sys/wait.h>

#include "playback/playlist.h"
#include "tests/music_fixture.h"

namespace {

class Browser : public MusicTest {};

// Folders and music files in one order, as people read names (case and
// accents aside); each row's data is its entry's ordinal in its enumeration.
TEST_F(Browser, ListsFoldersAndMusicFilesInOneOrderWithOrdinalsOfTheirEnumerations) {
  for (const char* folder : {"Box/Bats", "Box/cows", "Box/dir.mp3"}) Folder(folder);
  for (const char* file : {"ant.mp3", "Bee.MP3", "notes.txt", "\u00C7\u00E0.mp3", "cz.mp3",
                           "\u00C9.mp3", "10.mp3", "9.mp3"})
    EmptyFile(std::string("Box/") + file);
  std::vector<std::u16string> rows;
  std::vector<LPARAM> data, expected;
  Run([&] {
    Browse(kBox);
    rows = Rows();
    for (int32_t i = 0; i < RowCount(); ++i) data.push_back(ToList(LB_GETITEMDATA, i));
    const std::pair<const char16_t*, bool> entries[] = {
        {u"10.mp3", false},    {u"9.mp3", false},   {u"ant.mp3", false},
        {u"Bats", true},       {u"Bee.MP3", false}, {u"\u00C7\u00E0.mp3", false},
        {u"cows", true},       {u"cz.mp3", false},  {u"dir.mp3", true},
        {u"\u00C9.mp3", false}};
    for (auto [name, folder] : entries)
      expected.push_back(
          MakeListItemData(OrdinalOf(kBox, folder ? kAllPattern : kMusicPattern, name), folder));
  });
  EXPECT_EQ(rows,
            (std::vector<std::u16string>{u"10", u"9", u"ant", u"Bats\t>", u"Bee", u"\u00C7\u00E0",
                                         u"cows\t>", u"cz", u"dir.mp3\t>", u"\u00C9"}))
      << "the folder named like a song is a folder row only; the text file has none";
  EXPECT_EQ(data, expected);
  EXPECT_EQ(app.menuKind, MenuKind::Browse);
}

// Names the platform maps (bytes that are not UTF-8, a backslash) and names
// that differ only in letter case each list, and each row leads to its own
// file, whether its row is cut or not.
TEST_F(Browser, EveryOddNameListsAndItsRowNamesThatVeryFile) {
  const std::string longName(120, 'w');
  const std::vector<std::string> files = {"caf\xE9.mp3", "a\\b.mp3",    "song.mp3",
                                          "SONG.mp3",    "Wait....mp3", longName + ".mp3"};
  for (const std::string& file : files) EmptyFile("Box/" + file);
  Folder("Box/" + longName);
  struct Seen {
    std::u16string row, full;
    bool folder;
    int32_t entry, ordinal;
  };
  std::vector<Seen> seen;
  Run([&] {
    Browse(kBox);
    for (int32_t row = 0; row < RowCount(); ++row) {
      Seen s{Row(row), u"", false, -1, -1};
      WCHAR name[kPathChars];
      EXPECT_TRUE(RowFullName(List(), row, name, &s.folder));
      s.full = name;
      if (!s.folder) {
        BuildPlaylist(List(), app.browsePath, row);
        s.entry = app.playlist[app.playlistPos];
        std::u16string fileName = s.full;
        if (fileName.size() < 4 || fileName.substr(fileName.size() - 4) != u".mp3")
          fileName += u".mp3";
        s.ordinal = OrdinalOf(kBox, kMusicPattern, fileName);
      }
      seen.push_back(s);
    }
  });
  ASSERT_EQ(seen.size(), files.size() + 1);
  std::vector<std::u16string> fullNames;
  for (const Seen& s : seen) {
    fullNames.push_back(s.full);
    if (!s.folder) {
      EXPECT_EQ(s.entry, s.ordinal) << "each file row starts its own file";
    }
  }
  const std::u16string longWide(longName.begin(), longName.end());
  for (const std::u16string& name :
       {plat::NameFromBytes("caf\xE9"), plat::NameFromBytes("a\\b"), std::u16string(u"song"),
        std::u16string(u"SONG"), std::u16string(u"Wait....mp3"), longWide + u".mp3", longWide}) {
    EXPECT_NE(std::find(fullNames.begin(), fullNames.end(), name), fullNames.end())
        << "an uncut row gives its text; a cut one, and one ending in \"...\", the entry's name";
  }
  for (const Seen& s : seen) {
    if (s.full.rfind(u"www", 0) == 0) {
      EXPECT_EQ(s.row.substr(s.row.size() - (s.folder ? 5 : 3)), s.folder ? u"...\t>" : u"...");
    }
  }
}

TEST_F(Browser, EnteringACutFolderShowsItsFullNameAndGoingUpSelectsItsRowAgainUpToTheMainMenu) {
  const std::string longName(120, 'f');
  const std::u16string longWide(longName.begin(), longName.end());
  for (const char* f : {"Box/Ant", "Box/ant", "Box/Ant 2", "Box/Zoo"}) Folder(f);
  Folder("Box/" + longName + "/inner");
  EmptyFile("Box/aardvark.mp3");
  std::vector<std::u16string> selectedAfterUp;
  std::u16string header, path;
  Run([&] {
    Browse(kBox);
    for (const std::u16string& row :
         {std::u16string(u"Ant\t>"), std::u16string(u"ant\t>"), std::u16string(u"Ant 2\t>")}) {
      OpenBrowseRow(List(), RowOf(row));
      EXPECT_EQ(std::u16string(app.headerTitle), row.substr(0, row.size() - 2));
      BrowseUp(List());
      selectedAfterUp.push_back(SelectedRow());
    }
    int32_t cut = -1;
    for (int32_t i = 0; i < RowCount(); ++i)
      if (Row(i).rfind(u"fff", 0) == 0) cut = i;
    OpenBrowseRow(List(), cut);
    header = app.headerTitle;
    path = app.browsePath;
    EXPECT_EQ(Rows(), std::vector<std::u16string>{u"inner\t>"});
    EXPECT_EQ(Selected(), 0);
    BrowseUp(List());
    selectedAfterUp.push_back(SelectedRow());
    EXPECT_EQ(std::u16string(app.headerTitle), u"Box");
    EXPECT_EQ(std::u16string(app.browsePath), kBox);
    BrowseUp(List());
    BrowseUp(List());  // up from the music folder: the Main menu, Browse selected
    EXPECT_EQ(SelectedRow(), u"Browse\t>");
    EXPECT_EQ(std::u16string(app.headerTitle), u"Vesk");
  });
  EXPECT_EQ(app.menuKind, MenuKind::Main);
  ASSERT_EQ(selectedAfterUp.size(), 4u);
  EXPECT_EQ(selectedAfterUp[3].rfind(u"fff", 0), 0u);
  selectedAfterUp.pop_back();
  EXPECT_EQ(selectedAfterUp, (std::vector<std::u16string>{u"Ant\t>", u"ant\t>", u"Ant 2\t>"}))
      << "letter case tells the folders apart";
  EXPECT_EQ(header, longWide);
  EXPECT_EQ(path, std::u16string(kBox) + longWide + u"\\");
}

// The listing is not read again on the way back, and the started file's row
// is selected even when another row begins with the same name.
TEST_F(Browser, StartingAFileAndGoingBackSelectsThatFilesRowInTheSameListing) {
  for (const char* f : {"Box/Ant.mp3", "Box/Ant 2.mp3", "Box/ant.mp3"}) Song(f);
  std::u16string selected, header, lastPlayed, playingPath, backPath;
  int32_t rowsBefore = 0, rowsAfter = 0;
  bool listShown = false;
  Run([&] {
    Browse(kBox);
    rowsBefore = RowCount();
    OpenBrowseRow(List(), RowOf(u"Ant"));
    lastPlayed = app.lastPlayedFolder;
    playingPath = app.browsePath;
    EXPECT_EQ(std::u16string(app.playlistFolder), kBox);
    app.viewMode = ViewMode::NowPlaying;  // as the Now Playing panes set it
    EmptyFile("Box/Another.mp3");
    BrowseUp(List());
    rowsAfter = RowCount();
    selected = SelectedRow();
    header = app.headerTitle;
    backPath = app.browsePath;
    listShown = IsWindowVisible(List());
  });
  EXPECT_EQ(lastPlayed, kBox);
  EXPECT_EQ(playingPath, std::u16string(kBox) + u"Ant\\") << "the started file's entry";
  EXPECT_EQ(backPath, kBox);
  EXPECT_EQ(rowsAfter, rowsBefore) << "the listing was kept, not read again";
  EXPECT_EQ(selected, u"Ant");
  EXPECT_EQ(header, u"Box");
  EXPECT_TRUE(listShown);
  EXPECT_EQ(app.viewMode, ViewMode::Menu);
}

TEST_F(Browser, AFolderOf70000FilesKeepsWholeOrdinalsInItsRows) {
  ManyFiles("Big", 70000);
  int32_t rows = 0, entry = -1, expected = -2;
  Run([&] {
    Browse(u"\\Big\\");
    rows = RowCount();
    int32_t last = RowOf(u"69999");
    BuildPlaylist(List(), app.browsePath, last);
    entry = app.playlist[app.playlistPos];
    expected = OrdinalOf(u"\\Big\\", kMusicPattern, u"69999.mp3");
  });
  EXPECT_EQ(rows, 70000);
  EXPECT_GE(expected, 65536);
  EXPECT_EQ(entry, expected) << "choosing a file plays that file, not one 65,536 before it";
}

// The listing stays empty; the list's area says why, naming the folder, and
// only for the music folder itself.
TEST_F(Browser, AnEmptyOrMissingMusicFolderSaysSoWhereTheRowsWouldBe) {
  auto wide = [](const std::string& s) { return std::u16string(s.begin(), s.end()); };
  const std::string home = getenv("HOME");
  EmptyFile("bare/notes.txt");
  Folder("full/Albums");
  const struct {
    const char* what;
    std::string folder, home;
    const char16_t* browse;
    std::u16string note;
  } cases[] = {
      {"only other files", Path("bare"), home, u"\\",
       u"The music folder " + wide(Path("bare")) + u" has no folders or music files."},
      {"missing", Path("gone"), home, u"\\",
       u"The music folder " + wide(Path("gone")) + u" does not exist."},
      {"below the home folder", Path("gone"), music_, u"\\",
       u"The music folder ~/gone does not exist."},
      {"an empty folder below it", Path("full"), home, u"\\Albums\\", u""},
      {"music", Path("full"), home, u"\\", u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    setenv("VESK_MUSIC_DIR", c.folder.c_str(), 1);
    setenv("HOME", c.home.c_str(), 1);
    plat::ResetMusicRootForTests();
    WCHAR note[kPathChars + 64] = {};
    int inked = 0;
    Run([&] {
      Browse(c.browse);
      GetWindowTextW(List(), note, kPathChars + 64);
      UpdateWindow(List());
      for (int y = 28; y < 136; ++y)
        for (int x = 40; x < 191; ++x) inked += ScreenPixel(x, y) != app.screenColor;
    });
    EXPECT_EQ(std::u16string(note), c.note);
    EXPECT_EQ(inked > 0, !c.note.empty() || c.browse[1] == 0) << "drawn on the list";
  }
  setenv("HOME", home.c_str(), 1);
}

// Folders that change or refuse: nothing breaks, and the outcome is quiet.
TEST_F(Browser, AFolderDeletedWhileShownGivesEmptyListingsAndNoPlaylist) {
  Folder("Box/Sub");
  Song("Box/Ant.mp3");
  int32_t subRows = -1;
  Run([&] {
    Browse(kBox);
    std::filesystem::remove_all(Path("Box"));
    OpenBrowseRow(List(), RowOf(u"Ant"));
    EXPECT_EQ(app.playlistCount, 0);
    EXPECT_EQ(app.playlist, nullptr);
    app.viewMode = ViewMode::NowPlaying;  // as the Now Playing panes set it
    BrowseUp(List());
    OpenBrowseRow(List(), RowOf(u"Sub\t>"));
    subRows = RowCount();
    EXPECT_EQ(Selected(), -1);
    BrowseUp(List());
    EXPECT_EQ(std::u16string(app.browsePath), kBox);
    OpenBrowseRow(List(), 0);  // no rows: nothing happens
    EXPECT_EQ(std::u16string(app.browsePath), kBox);
  });
  EXPECT_EQ(subRows, 0);
}

TEST_F(Browser, AFolderTooDeepForThePathBuffersIsNotEntered) {
  const std::string level(100, 'd');
  Folder(level + "/" + level + "/" + level + "/inner");
  std::u16string pathAfter;
  std::vector<std::u16string> rowsBefore, rowsAfter;
  Run([&] {
    Browse(u"\\");
    OpenBrowseRow(List(), 0);
    OpenBrowseRow(List(), 0);
    rowsBefore = Rows();
    std::u16string before = app.browsePath;
    OpenBrowseRow(List(), 0);
    pathAfter = app.browsePath;
    EXPECT_EQ(pathAfter, before);
    rowsAfter = Rows();
  });
  EXPECT_EQ(pathAfter.size(), 1u + 2 * 101);
  EXPECT_EQ(rowsAfter, rowsBefore);
}

TEST_F(Browser, AMusicRootThatIsALinkListsLikeTheFolderItPointsTo) {
  Folder("real/Box");
  EmptyFile("real/Box/Ant.mp3");
  std::filesystem::create_directory_symlink(Path("real"), root_ + "/linked");
  std::filesystem::create_directory_symlink(Path("real/Box"), Path("real/BoxLink"));
  setenv("VESK_MUSIC_DIR", (root_ + "/linked").c_str(), 1);
  plat::ResetMusicRootForTests();
  std::vector<std::u16string> root, box;
  Run([&] {
    Browse(u"\\");
    root = Rows();
    OpenBrowseRow(List(), RowOf(u"BoxLink\t>"));
    box = Rows();
  });
  EXPECT_EQ(root, (std::vector<std::u16string>{u"Box\t>", u"BoxLink\t>"}));
  EXPECT_EQ(box, std::vector<std::u16string>{u"Ant"});
}

// Run as root, the check is made by a child that gives up root first.
TEST_F(Browser, AFolderTheUserMayNotReadListsEmpty) {
  EmptyFile("Locked/Ant.mp3");
  EmptyFile("Open/Ant.mp3");
  chmod(Path("Locked").c_str(), 0);
  if (geteuid() != 0) {
    int32_t rows = -1;
    Run([&] {
      Browse(u"\\Locked\\");
      rows = RowCount();
    });
    EXPECT_EQ(rows, 0);
    return;
  }
  for (const std::string& folder : {root_, music_}) chmod(folder.c_str(), 0755);
  constexpr uid_t kNobody = 65534;
  pid_t child = fork();
  if (child == 0) {
    if (setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(2);
    WIN32_FIND_DATAW found;
    bool locked = FindFirstFileW(u"\\Locked\\*.*", &found) == INVALID_HANDLE_VALUE;
    bool open = FindFirstFileW(u"\\Open\\*.*", &found) != INVALID_HANDLE_VALUE;
    _exit(locked && open ? 0 : 1);
  }
  int status = -1;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the locked folder gives no entries, the open one does";
}

}  // namespace
