// The playlist from real folder listings, its real files heard through a sink the test pulls.
#include <algorithm>
#include <fstream>
#include <map>
#include <random>

#include "playback/playlist.h"
#include "tests/music_fixture.h"

namespace {

constexpr int kRate = 44100;

class Playlist : public MusicTest {
 protected:
  void SetUp() override {
    MusicTest::SetUp();
    Again();
  }
  static void Again() {  // from scratch, for the next case of a table
    Restart();
    plat::UseAudioSinkForTests(plat::AudioFormat{kRate, 2});
  }
  static void Start(const std::u16string& row) {
    Browse(kBox);
    OpenBrowseRow(List(), RowOf(row));
  }
  // True when any of the next milliseconds of the output sounded.
  static bool Hear(int ms) {
    std::vector<float> out = HearFrames(static_cast<size_t>(ms) * kRate / 1000);
    return std::any_of(out.begin(), out.end(), [](float s) { return s != 0; });
  }
};

// A folder that lost files since it was listed has rows beyond it: only its entries are built.
TEST_F(Playlist, FolderOrderFollowsTheFileRowsAndStartsAtTheChosenOne) {
  struct Case {
    std::vector<std::string> files, folders, gone;
    std::u16string chosen;
    int32_t shuffle;
    std::vector<std::u16string> entries;  // sorted when shuffled
    int32_t pos;
  } cases[] = {
      {{"Cat", "Ant", "Bee"}, {}, {}, u"Cat", 0, {u"Ant", u"Bee", u"Cat"}, 2},
      {{"Ant", "Bee"}, {"Bats", "Cows", "Dir.mp3"}, {}, u"Bee", 0, {u"Ant", u"Bee"}, 1},
      {{"A", "B", "C", "D", "E"}, {}, {"B", "C", "D"}, u"C", 0, {u"A", u"E"}, 1},
      {{"A", "B", "C", "D", "E"}, {}, {"B", "C", "D"}, u"C", 1, {u"A", u"E"}, 0},
  };
  for (const Case& c : cases) {
    std::filesystem::remove_all(Path("Box"));
    for (const std::string& f : c.files) EmptyFile("Box/" + f + ".mp3");
    for (const std::string& f : c.folders) Folder("Box/" + f);
    SCOPED_TRACE(plat::ToUtf8(c.chosen) + (c.shuffle ? " shuffled" : ""));
    Again();
    Run([&] {
      app.shuffle = c.shuffle;
      Browse(kBox);
      for (const std::string& f : c.gone) std::filesystem::remove(Path("Box/" + f + ".mp3"));
      ASSERT_TRUE(BuildPlaylist(List(), app.browsePath, RowOf(c.chosen)));
      std::vector<int32_t> entries(app.playlist, app.playlist + app.playlistCount), expected;
      if (c.shuffle) std::sort(entries.begin(), entries.end());
      for (const std::u16string& name : c.entries)
        expected.push_back(OrdinalOf(kBox, kMusicPattern, name + u".mp3"));
      EXPECT_EQ(entries, expected);
      EXPECT_EQ(app.playlistPos, c.pos);
      EXPECT_EQ(std::u16string(app.playlistFolder), kBox);
      if (c.shuffle) return;
      NextTrack();  // past the chosen, the last entry: from the menu the end leaves the listing
      EXPECT_EQ(app.playlistCount, 0);
      EXPECT_EQ(app.menuKind, MenuKind::Browse);
    });
  }
}

TEST_F(Playlist, ShuffledPlaysTheChosenFileFirstThenEveryOtherOnceInUniformOrder) {
  for (const char* f : {"Ant.mp3", "Bee.mp3", "Cat.mp3", "Dog.mp3", "Eel.mp3"})
    EmptyFile(std::string("Box/") + f);
  constexpr int kBuilds = 2400;  // 24 orders of the other four, 100 each
  std::map<std::vector<int32_t>, int> orders;
  Run([&] {
    app.shuffle = 1;
    Browse(kBox);
    const int32_t chosen = OrdinalOf(kBox, kMusicPattern, u"Cat.mp3");
    for (int i = 0; i < kBuilds; ++i) {
      BuildPlaylist(List(), app.browsePath, RowOf(u"Cat"));
      ASSERT_EQ(app.playlist[0], chosen);
      ++orders[std::vector<int32_t>(app.playlist + 1, app.playlist + app.playlistCount)];
    }
  });
  EXPECT_EQ(orders.size(), 24u) << "each an order of the other four";
  for (const auto& [order, count] : orders)
    EXPECT_TRUE(count > 50 && count < 150) << count << ": each order about equally likely";
}

// Repeat mode 7 only an edited settings file holds; previous goes back in the first second only.
TEST_F(Playlist, NextAndPreviousMoveByRepeatModeAndOpenTheEntryFromItsStart) {
  for (const char* f : {"Ant.mp3", "Bee.mp3", "Cat.mp3"}) Song(std::string("Box/") + f);
  struct Case {
    int32_t repeat;
    const char* chosen;
    bool next;
    int heardMs;
    int32_t pos;  // -1: the list ended
  } cases[] = {
      {0, "Cat", true, 0, -1},    {2, "Cat", true, 0, 0},    {1, "Cat", true, 0, 2},
      {7, "Cat", true, 0, -1},    {0, "Ant", false, 0, 0},   {2, "Ant", false, 900, 2},
      {2, "Ant", false, 1000, 0}, {0, "Bee", false, 900, 0}, {0, "Bee", false, 1000, 1},
      {1, "Bee", false, 900, 1},  {7, "Ant", false, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    Again();
    Run([&] {
      app.repeatMode = static_cast<RepeatMode>(c.repeat);
      Start(plat::FromUtf8(c.chosen));
      if (c.heardMs) Hear(c.heardMs);
      c.next ? NextTrack() : PreviousTrack();
      EXPECT_EQ(app.playlist ? app.playlistPos : -1, c.pos);
      if (!app.playlist) {
        EXPECT_EQ(SelectedRow(), u"Browse\t>");
        EXPECT_EQ(std::u16string(app.headerTitle), u"Vesk");
      } else {
        EXPECT_LT(GetStreamMs(), 100) << "the entry opens from its start";
        EXPECT_TRUE(Hear(300));
      }
    });
  }
}

// A list none of whose entries plays ends once, whatever the repeat.
TEST_F(Playlist, EntriesThatCannotBePlayedCountAsPlayed) {
  enum Damage { kBroken, kBrokenWhilePlaying, kDeletedWhilePlaying };
  const std::vector<std::string> all = {"Ant", "Bee", "Cat"};
  struct Case {
    RepeatMode repeat;
    std::vector<std::string> damaged;
    Damage damage;
    const char* chosen;
    int32_t standing;  // the entry playing a few ticks later; -1: the list has ended
  } cases[] = {
      {RepeatMode::Off, {"Ant"}, kBroken, "Ant", 1},
      {RepeatMode::All, {"Cat"}, kBroken, "Cat", 0},
      {RepeatMode::All, all, kBroken, "Bee", -1},
      {RepeatMode::One, all, kBroken, "Cat", -1},
      {RepeatMode::Off, {"Ant"}, kBrokenWhilePlaying, "Ant", 1},
      {RepeatMode::Off, {"Cat"}, kDeletedWhilePlaying, "Cat", -1},  // the folder's last file
  };
  for (const Case& c : cases) {
    Again();
    for (const std::string& f : all) Song("Box/" + f + ".mp3");
    auto damage = [&] {
      for (const std::string& f : c.damaged)
        if (c.damage == kDeletedWhilePlaying)
          std::filesystem::remove(Path("Box/" + f + ".mp3"));
        else  // bytes that are no music over it, as a broken copy leaves it
          std::ofstream(Path("Box/" + f + ".mp3"), std::ios::trunc) << Noise(20000);
    };
    if (c.damage == kBroken) damage();
    std::vector<std::function<void()>> steps(8, [] { Hear(300); });
    steps.front() = [&] {
      app.repeatMode = c.repeat;
      Start(plat::FromUtf8(c.chosen));
      if (c.damage == kBroken) return;
      Hear(300);
      damage();
      Hear(3000);  // the decoder reads on
    };
    int32_t standing = -2;
    steps.push_back([&] {
      bool ended = app.playlistCount == 0 && app.viewMode == ViewMode::Menu && !app.streamOpen;
      standing = ended ? -1 : Hear(300) ? app.playlistPos : -2;
    });
    RunSteps(steps);
    EXPECT_EQ(standing, c.standing) << "row " << &c - cases;
  }
}

// Whatever a folder holds, its playlist goes through to the end and stops.
TEST_F(Playlist, AFolderOfHostileFilesPlaysThroughToItsEnd) {
  const std::string data = VESK_SOURCE_DIR "/tests/data/";
  std::ofstream(Path("Hostile/noise.mp3")) << Noise(30000);
  std::ofstream(Path("Hostile/text.mp3")) << std::string(5000, 'a');
  EmptyFile("Hostile/empty.mp3");
  std::ofstream(Path("Hostile/claims.mp3"))
      << WithClaimedFrames(ReadBytes(data + "stereo_44k_cbr.mp3"), 0xFFFFFFFF);
  std::mt19937 random(13);
  for (std::string piece : {"stereo_44k_cbr.mp3", "tone_44k_16.flac", "tone_48k_24.oga",
                            "tone_22k.ogg", "tone_48k.opus", "tone_44k_16.wav"}) {
    const std::string whole = ReadBytes(data + piece);
    for (int i = 0; i < 3; ++i)
      std::ofstream(Path("Hostile/" + std::to_string(i) + piece))
          << whole.substr(0, random() % whole.size());
  }
  std::vector<std::function<void()>> steps(600, [] {
    if (app.playlistCount) Hear(250);
  });
  steps.front() = [] {
    Browse(u"\\Hostile\\");
    OpenBrowseRow(List(), 0);
  };
  bool ended = false;
  steps.push_back([&] { ended = app.playlistCount == 0 && app.viewMode == ViewMode::Menu; });
  RunSteps(steps);
  EXPECT_TRUE(ended);
}

}  // namespace
