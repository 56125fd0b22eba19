// The folder browser on real folders, from listing to going in, up and back.
#include "playback/playlist.h"
#include "tests/music_fixture.h"

namespace {

namespace fs = std::filesystem;
using Browser = MusicTest;
using Names = std::vector<std::u16string>;

// As people read names: case and accents aside.
TEST_F(Browser, ListsFoldersAndMusicFilesInOneOrder) {
  for (const char* folder : {"Box/Bats", "Box/cows", "Box/dir.mp3"}) Folder(folder);
  for (const char* file : {"ant.mp3", "Bee.MP3", "notes.txt", "\u00C7\u00E0.mp3", "cz.flac",
                           "\u00C9.mp3", "10.mp3", "9.mp3"})
    EmptyFile(std::string("Box/") + file);
  Run([&] {
    Browse(kBox);
    EXPECT_EQ(Rows(), (Names{u"10", u"9", u"ant", u"Bats\t>", u"Bee", u"\u00C7\u00E0", u"cows\t>",
                             u"cz", u"dir.mp3\t>", u"\u00C9"}))
        << "the folder named like a song is a folder row only; the text file has none";
  });
}

// Names the platform maps (not UTF-8, a backslash) and names apart only in letter case.
TEST_F(Browser, EveryOddNameListsAndItsRowNamesThatVeryFile) {
  for (const char* file : {"caf\xE9.mp3", "a\\b.mp3", "song.mp3", "SONG.mp3", "Wait....mp3"})
    EmptyFile(std::string("Box/") + file);
  EmptyFile("Box/" + std::string(251, 'w') + ".mp3");  // 255 bytes, the longest name
  Folder("Box/" + std::string(120, 'w'));
  Run([&] {
    Browse(kBox);
    for (int32_t row = 0; row < RowCount(); ++row) {
      WCHAR name[kPathChars];
      bool folder = false;
      EXPECT_TRUE(RowFullName(List(), row, name, &folder));
      std::u16string full = name;  // an uncut row's text, else the entry's name
      EXPECT_TRUE(!full.starts_with(u"www") || Row(row).ends_with(folder ? u"...\t>" : u"..."))
          << "a cut row ends in dots";
      if (folder) continue;
      BuildPlaylist(List(), app.browsePath, row);
      if (!full.ends_with(u".mp3")) full += u".mp3";  // a cut row's name has it
      EXPECT_EQ(app.playlist[app.playlistPos], OrdinalOf(kBox, kMusicPattern, full))
          << "each file row starts its own file";
    }
  });
}

TEST_F(Browser, EnteringACutFolderShowsItsFullNameAndGoingUpSelectsItsRowAgainUpToTheMainMenu) {
  const std::u16string longName(120, u'f');
  for (const char* f : {"Box/Ant", "Box/ant", "Box/Ant 2", "Box/Zoo"}) Folder(f);
  Folder("Box/" + plat::ToUtf8(longName) + "/inner");
  Folder("Box/" + plat::ToUtf8(longName) + "/" + std::string(128, 'd'));  // too deep to enter
  EmptyFile("Box/aardvark.mp3");
  Run([&] {
    Browse(kBox);
    for (std::u16string row : {u"Ant\t>", u"ant\t>", u"Ant 2\t>"}) {
      OpenBrowseRow(List(), RowOf(row));
      EXPECT_EQ(std::u16string(app.headerTitle), row.substr(0, row.size() - 2));
      BrowseUp(List());
      EXPECT_EQ(SelectedRow(), row) << "letter case tells the folders apart";
    }
    const int32_t cut = 4;  // after aardvark and the three Ant folders
    OpenBrowseRow(List(), cut);
    const Names inside = Place();
    EXPECT_EQ(inside, (Names{longName, kBox + longName + u"\\", Row(0)}));
    EXPECT_EQ(Row(1), u"inner\t>");
    OpenBrowseRow(List(), 0);  // its listing's pattern would not fit a path
    EXPECT_EQ(Place(), inside);
    BrowseUp(List());
    EXPECT_EQ(Place(), (Names{u"Box", kBox, Row(cut)}));
    BrowseUp(List());
    BrowseUp(List());  // up from the music folder: the Main menu, Browse selected
    EXPECT_EQ(SelectedRow(), u"Browse\t>");
    EXPECT_EQ(std::u16string(app.headerTitle), u"Vesk");
  });
  EXPECT_EQ(app.menuKind, MenuKind::Main);
}

// The listing is kept for the way back, its row selected though another begins with its name.
TEST_F(Browser, StartingAFileAndGoingBackKeepsTheListingUntilTheFolderIsDeleted) {
  for (const char* f : {"Box/Ant.mp3", "Box/Ant 2.mp3", "Box/ant.mp3"}) Song(f);
  Folder("Box/Sub");
  Run([&] {
    Browse(kBox);
    int32_t rows = RowCount();
    OpenBrowseRow(List(), RowOf(u"Ant"));
    EXPECT_EQ(std::u16string(app.browsePath), std::u16string(kBox) + u"Ant\\");
    app.viewMode = ViewMode::NowPlaying;  // as the Now Playing panes set it
    EmptyFile("Box/Another.mp3");
    BrowseUp(List());
    EXPECT_EQ(RowCount(), rows) << "the listing was kept, not read again";
    EXPECT_EQ(Place(), (Names{u"Box", kBox, u"Ant"}));
    EXPECT_TRUE(IsWindowVisible(List()));
    fs::remove_all(Path("Box"));
    OpenBrowseRow(List(), RowOf(u"Ant"));
    EXPECT_EQ(app.playlist, nullptr) << "the last list is dropped";
    app.viewMode = ViewMode::NowPlaying;
    BrowseUp(List());
    OpenBrowseRow(List(), RowOf(u"Sub\t>"));
    EXPECT_EQ(RowCount(), 0);
    BrowseUp(List());
    OpenBrowseRow(List(), 0);  // no rows: nothing happens
    EXPECT_EQ(std::u16string(app.browsePath), kBox);
  });
}

TEST_F(Browser, AFolderOf70000FilesKeepsWholeOrdinalsInItsRows) {
  // Made in memory where it can be: a disk makes many files slowly.
  std::string bulk = (fs::is_directory("/dev/shm") ? "/dev/shm" : root_) + "/vesk-bulk-XXXXXX";
  ASSERT_NE(mkdtemp(bulk.data()), nullptr);
  for (int i = 0; i < 70000; ++i)
    WriteText(bulk + "/" + std::to_string(100000 + i).substr(1) + ".mp3", "");
  fs::create_directory_symlink(bulk, Path("Big"));
  Run([&] {
    Browse(u"\\Big\\");
    EXPECT_EQ(RowCount(), 70000);
    BuildPlaylist(List(), app.browsePath, RowOf(u"69999"));
    int32_t expected = OrdinalOf(u"\\Big\\", kMusicPattern, u"69999.mp3");
    EXPECT_GE(expected, 65536);
    EXPECT_EQ(app.playlist[app.playlistPos], expected)
        << "choosing a file plays that file, not one 65,536 before it";
  });
  fs::remove_all(bulk);
}

// The note names the folder, and shows only for the music folder itself.
TEST_F(Browser, AnEmptyOrMissingMusicFolderSaysSoWhereTheRowsWouldBe) {
  const std::string home = getenv("HOME");
  EmptyFile("bare/notes.txt");
  Folder("full/Albums");
  fs::create_directory_symlink(Path("full"), root_ + "/linked");
  const struct {
    const char* what;
    std::string folder, home;
    const char16_t* browse;
    std::u16string note;
  } cases[] = {
      {"only other files", Path("bare"), home, u"\\",
       u"The music folder " + plat::FromUtf8(Path("bare")) + u" has no folders or music files."},
      {"missing", Path("gone"), home, u"\\",
       u"The music folder " + plat::FromUtf8(Path("gone")) + u" does not exist."},
      {"below the home folder", Path("gone"), music_, u"\\",
       u"The music folder ~/gone does not exist."},
      {"an empty folder below it", Path("full"), home, u"\\Albums\\", u""},
      {"music", Path("full"), home, u"\\", u""},
      {"a link to music", root_ + "/linked", home, u"\\", u""},
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

}  // namespace
