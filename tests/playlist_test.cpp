// The playlist built from real folder listings, in row order and shuffled,
// and the moves through it under each repeat mode.
#include <algorithm>
#include <map>

#include "playback/playlist.h"
#include "tests/music_fixture.h"

namespace {

class Playlist : public MusicTest {
 protected:
  // Lists the box and builds the playlist from the row with the text.
  static void Choose(const std::u16string& row) {
    Browse(kBox);
    ASSERT_TRUE(BuildPlaylist(List(), app.browsePath, RowOf(row)));
  }
  static int32_t Mp3(const std::u16string& name) { return OrdinalOf(kBox, kMusicPattern, name); }
};

TEST_F(Playlist, FolderOrderFollowsTheFileRowsAndStartsAtTheChosenOne) {
  struct Case {
    std::vector<std::string> files, folders;
    std::u16string chosen;
    std::vector<std::u16string> entries;
    int32_t pos;
  };
  const Case cases[] = {
      {{"Cat.mp3", "Ant.mp3", "Bee.mp3"}, {}, u"Cat", {u"Ant.mp3", u"Bee.mp3", u"Cat.mp3"}, 2},
      {{"Ant.mp3", "Bee.mp3"}, {"Bats", "Cows"}, u"Bee", {u"Ant.mp3", u"Bee.mp3"}, 1},
  };
  for (const Case& c : cases) {
    std::filesystem::remove_all(Path("Box"));
    for (const std::string& f : c.files) EmptyFile("Box/" + f);
    for (const std::string& f : c.folders) Folder("Box/" + f);
    std::vector<int32_t> entries, expected;
    Restart();
    Run([&] {
      Choose(c.chosen);
      entries = Entries();
      for (const std::u16string& name : c.entries) expected.push_back(Mp3(name));
    });
    EXPECT_EQ(entries, expected);
    EXPECT_EQ(app.playlistPos, c.pos);
    EXPECT_EQ(std::u16string(app.playlistFolder), kBox);
  }
}

TEST_F(Playlist, ShuffledPlaysTheChosenFileFirstThenEveryOtherOnceInUniformOrder) {
  for (const char* f : {"Ant.mp3", "Bee.mp3", "Cat.mp3", "Dog.mp3", "Eel.mp3"})
    EmptyFile(std::string("Five/") + f);
  EmptyFile("Box/Only.mp3");
  constexpr int kBuilds = 2400;  // 24 orders of the other four, 100 each
  std::map<std::vector<int32_t>, int> orders;
  int32_t chosen = -1;
  std::vector<int32_t> single;
  Run([&] {
    app.shuffle = 1;
    Browse(u"\\Five\\");
    chosen = OrdinalOf(u"\\Five\\", kMusicPattern, u"Cat.mp3");
    for (int i = 0; i < kBuilds; ++i) {
      BuildPlaylist(List(), app.browsePath, 2);  // the third row
      ASSERT_EQ(app.playlistCount, 5);
      ASSERT_EQ(app.playlistPos, 0);
      ASSERT_EQ(app.playlist[0], chosen);
      std::vector<int32_t> rest(app.playlist + 1, app.playlist + 5);
      std::vector<int32_t> sorted = rest;
      std::sort(sorted.begin(), sorted.end());
      std::vector<int32_t> others;
      for (int32_t n = 0; n < 5; ++n)
        if (n != chosen) others.push_back(n);
      ASSERT_EQ(sorted, others);
      ++orders[rest];
    }
    Choose(u"Only");
    single = Entries();
  });
  EXPECT_EQ(orders.size(), 24u);
  for (const auto& [order, count] : orders) {
    EXPECT_GT(count, 50) << "each order of the rest is about equally likely";
    EXPECT_LT(count, 150);
  }
  EXPECT_EQ(single, std::vector<int32_t>{0});
}

// The folder lost files after it was listed: rows carry ordinals beyond it.
TEST_F(Playlist, AFolderThatShrankSinceItWasListedBuildsOnlyEntriesItHas) {
  for (const char* f : {"A.mp3", "B.mp3", "C.mp3", "D.mp3", "E.mp3"})
    EmptyFile(std::string("Box/") + f);
  for (int shuffle : {0, 1}) {
    std::vector<int32_t> entries;
    int32_t pos = -1;
    Restart();
    Run([&] {
      app.shuffle = shuffle;
      Browse(kBox);
      for (const char* f : {"B.mp3", "C.mp3", "D.mp3"})
        std::filesystem::remove(Path(std::string("Box/") + f));
      BuildPlaylist(List(), app.browsePath, RowOf(u"E"));  // its ordinal, 4, is gone
      entries = Entries();
      pos = app.playlistPos;
    });
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(entries, (std::vector<int32_t>{0, 1})) << "shuffle " << shuffle;
    EXPECT_GE(pos, 0);
    EXPECT_LT(pos, 2);
  }
}

TEST_F(Playlist, AFolderWhosePatternDoesNotFitHasNoPlaylist) {
  EmptyFile("Box/Ant.mp3");
  Run([&] {
    Choose(u"Ant");
    std::u16string deep = u"\\" + std::u16string(252, u'x') + u"\\";  // + "*.mp3" is 260
    EXPECT_TRUE(BuildPlaylist(List(), deep.c_str(), 0));
  });
  EXPECT_EQ(app.playlistCount, 0);
  EXPECT_EQ(app.playlist, nullptr);
}

TEST_F(Playlist, CountsEveryMatchFoldersIncludedAndNothingInAMissingFolder) {
  EmptyFile("Box/Ant.mp3");
  EmptyFile("Box/Bee.MP3");
  Folder("Box/dir.mp3");
  EmptyFile("Box/notes.txt");
  EXPECT_EQ(CountMatchingFiles(u"\\Box\\*.mp3"), 3);
  EXPECT_EQ(CountMatchingFiles(u"\\Box\\*.*"), 4);
  EXPECT_EQ(CountMatchingFiles(u"\\Gone\\*.mp3"), 0);
}

// Next and previous from each end of a three-entry playlist, by repeat mode
// (7 is a mode only an edited settings file can hold).
TEST_F(Playlist, MovesThroughTheListByRepeatModeAndEndsAfterTheLastWithRepeatOff) {
  for (const char* f : {"Ant.mp3", "Bee.mp3", "Cat.mp3"}) Song(std::string("Box/") + f);
  struct Case {
    int32_t repeat;
    const char* chosen;
    bool next;
    int32_t pos;  // -1: the playlist ended
  };
  const Case cases[] = {
      {0, "Cat", true, -1}, {2, "Cat", true, 0},  {1, "Cat", true, 2},  {7, "Cat", true, -1},
      {0, "Bee", true, 2},  {0, "Ant", false, 0}, {2, "Ant", false, 2}, {1, "Bee", false, 1},
      {7, "Ant", false, 0}, {0, "Bee", false, 0},
  };
  for (const Case& c : cases) {
    int32_t pos = -3;
    Restart();
    Run([&] {
      app.repeatMode = static_cast<RepeatMode>(c.repeat);
      const std::string chosen = c.chosen;
      Choose(std::u16string(chosen.begin(), chosen.end()));
      c.next ? NextTrack() : PreviousTrack();
      pos = app.playlist ? app.playlistPos : -1;
    });
    EXPECT_EQ(pos, c.pos) << "repeat " << c.repeat << (c.next ? ", next from " : ", previous from ")
                          << c.chosen;
  }
}

// The end frees the playlist; from the menu the listing stays as it was,
// from the Now Playing panes the main menu returns with Browse selected.
TEST_F(Playlist, TheEndFreesThePlaylistAndLeavesTheMenuOrReturnsToTheMainOne) {
  Song("Box/Ant.mp3");
  for (bool nowPlaying : {false, true}) {
    SCOPED_TRACE(nowPlaying ? "Now Playing shown" : "menu shown");
    std::vector<std::u16string> before, after;
    std::u16string selected, header;
    Restart();
    Run([&] {
      Choose(u"Ant");
      before = Rows();
      if (nowPlaying) app.viewMode = ViewMode::NowPlaying;
      NextTrack();
      after = Rows();
      selected = RowText(Selected());
      header = app.headerTitle;
    });
    EXPECT_EQ(app.playlist, nullptr);
    EXPECT_EQ(app.playlistCount, 0);
    EXPECT_EQ(app.menuKind, nowPlaying ? MenuKind::Main : MenuKind::Browse);
    if (nowPlaying) {
      EXPECT_EQ(selected, u"Browse\t>");
      EXPECT_EQ(header, u"Vesk");
    } else {
      EXPECT_EQ(after, before);
    }
  }
}

TEST_F(Playlist, NextOrPreviousWithoutAPlaylistDoesNothing) {
  Run([&] {
    NextTrack();
    PreviousTrack();
  });
  EXPECT_EQ(app.playlistCount, 0);
  EXPECT_EQ(app.menuKind, MenuKind::Main);
}

}  // namespace
