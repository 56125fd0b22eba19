// Moving through a playlist of real MP3 files while they are heard through a
// sink that the test pulls from: previous near the start, next while paused,
// repeat One at the natural end, files that vanish before they open or while
// they play, and files that cannot be played at all.
#include <algorithm>
#include <fstream>
#include <random>

#include "playback/playlist.h"
#include "tests/music_fixture.h"

namespace {

constexpr int kRate = 44100;
const std::string kData = VESK_SOURCE_DIR "/tests/data/";

class PlaylistPlayback : public MusicTest {
 protected:
  void SetUp() override {
    MusicTest::SetUp();
    for (const char* f : {"Ant.mp3", "Bee.mp3", "Cat.mp3"}) Song(std::string("Box/") + f);
    plat::UseAudioSinkForTests(plat::AudioFormat{kRate, 2});
  }

  // Lists the box and starts the file of the row, as choosing it does.
  static void Start(const std::u16string& row) {
    Browse(kBox);
    OpenBrowseRow(List(), RowOf(row));
  }
  // Hears the next milliseconds of the output; true when any of it sounded.
  static bool Hear(int ms) {
    std::vector<float> out = HearFrames(static_cast<size_t>(ms) * kRate / 1000);
    return std::any_of(out.begin(), out.end(), [](float s) { return s != 0; });
  }
  // Bytes that are no MP3 over the file, as a broken copy leaves it.
  void Break(const std::string& relative) const {
    std::ofstream(Path(relative), std::ios::binary | std::ios::trunc) << Noise(20000);
  }
  // Where the list stands a few ticks after the start: the entry heard, or
  // -1 once the list has ended (back in the menu, nothing open).
  static int32_t StandingAfterTicks(const std::function<void()>& start) {
    std::vector<std::function<void()>> steps(8, [] { Hear(300); });
    steps.front() = start;
    int32_t standing = -2;
    steps.push_back([&] {
      bool ended = app.playlistCount == 0 && app.viewMode == ViewMode::Menu && !app.streamOpen;
      standing = ended ? -1 : Hear(300) ? app.playlistPos : -2;
    });
    RunSteps(steps);
    return standing;
  }
};

// Previous within the first second goes back one entry (to the start with
// repeat Off, round to the last with All); from the first second on, and
// always with repeat One, it restarts the entry.
TEST_F(PlaylistPlayback, PreviousGoesBackWithinTheFirstSecondAndRestartsLater) {
  struct Case {
    RepeatMode repeat;
    int heardMs;
    int32_t pos;
  };
  const Case cases[] = {{RepeatMode::Off, 900, 0},
                        {RepeatMode::All, 900, 2},
                        {RepeatMode::Off, 1000, 0},
                        {RepeatMode::All, 1000, 0},
                        {RepeatMode::One, 900, 0}};
  for (const Case& c : cases) {
    int32_t pos = -1, msAfter = -1;
    Restart();
    plat::UseAudioSinkForTests(plat::AudioFormat{kRate, 2});
    Run([&] {
      app.repeatMode = c.repeat;
      Start(u"Ant");
      EXPECT_TRUE(Hear(c.heardMs));
      PreviousTrack();
      pos = app.playlistPos;
      msAfter = GetStreamMs();
    });
    EXPECT_EQ(pos, c.pos) << "repeat " << static_cast<int>(c.repeat) << " after " << c.heardMs;
    EXPECT_LT(msAfter, 100) << "the entry opens from its start";
  }
}

TEST_F(PlaylistPlayback, NextWhilePausedOpensTheNextEntryPausedAtTheStart) {
  bool heard = true;
  Run([&] {
    Start(u"Ant");
    Hear(300);
    TogglePause();
    NextTrack();
    heard = Hear(300);
  });
  EXPECT_EQ(app.playlistPos, 1);
  EXPECT_EQ(app.paused, 1);
  EXPECT_FALSE(heard);
}

TEST_F(PlaylistPlayback, RepeatOneReopensTheSameEntryAtItsNaturalEnd) {
  int32_t pos = -1, msAfter = -1;
  bool open = false;
  RunSteps({[&] {
              app.repeatMode = RepeatMode::One;
              Start(u"Bee");
              Hear(app.trackLengthSec * 1000 + 1500);
            },
            [&] {  // after the end notice
              pos = app.playlistPos;
              msAfter = GetStreamMs();
              open = app.streamOpen == 1;
            }});
  EXPECT_EQ(pos, 1);
  EXPECT_TRUE(open);
  EXPECT_LT(msAfter, 1500) << "the entry started again";
}

// The entries after the current one are gone when they are due: the move
// stands, nothing opens, and what plays goes on.
TEST_F(PlaylistPlayback, FilesDeletedBeforeTheyOpenLeaveTheCurrentTrackPlaying) {
  bool heardAfter = false;
  Run([&] {
    Start(u"Ant");
    Hear(200);
    std::filesystem::remove(Path("Box/Bee.mp3"));
    std::filesystem::remove(Path("Box/Cat.mp3"));
    NextTrack();
    NextTrack();
    heardAfter = Hear(300);
  });
  EXPECT_EQ(app.playlistPos, 2);
  EXPECT_TRUE(heardAfter);
}

// A folder of every format, one of them named for another, lists its files
// without their extensions and plays each in turn to the end of the list, in
// folder order and shuffled.
TEST_F(PlaylistPlayback, AFolderOfEveryFormatPlaysThroughInOrderAndShuffled) {
  const std::pair<const char*, const char*> files[] = {
      {"tone_44k_16.flac", "Ash.flac"}, {"tone_22k.ogg", "Birch.OGG"},
      {"tone_48k.opus", "Cedar.opus"},  {"tone_48k_24.oga", "Elm.oga"},
      {"tone_8k_u8.wav", "Fir.wav"},    {"stereo_44k_cbr.mp3", "Gum.ogg"}};  // MP3 inside
  EmptyFile("Mix/cover.jpg");
  for (const auto& [tone, name] : files)
    std::filesystem::copy_file(kData + tone, Path(std::string("Mix/") + name));
  for (int32_t shuffle : {0, 1}) {
    std::vector<std::u16string> rows;
    std::vector<int32_t> played;
    bool ended = false;
    std::vector<std::function<void()>> steps(std::size(files), [&] {
      if (app.streamOpen && Hear(app.trackLengthSec * 1000 + 1300))
        played.push_back(app.playlist[app.playlistPos]);
    });
    steps.insert(steps.begin(), [&] {
      app.shuffle = shuffle;
      Browse(u"\\Mix\\");
      rows = Rows();
      OpenBrowseRow(List(), 0);
    });
    steps.push_back([&] { ended = app.playlistCount == 0; });
    Restart();
    plat::UseAudioSinkForTests(plat::AudioFormat{kRate, 2});
    RunSteps(steps);
    EXPECT_EQ(rows,
              (std::vector<std::u16string>{u"Ash", u"Birch", u"Cedar", u"Elm", u"Fir", u"Gum"}));
    if (shuffle) std::sort(played.begin() + 1, played.end());
    EXPECT_EQ(played, (std::vector<int32_t>{0, 1, 2, 3, 4, 5})) << "shuffle " << shuffle;
    EXPECT_TRUE(ended);
  }
}

// Entries that cannot be played, from the start or once their file goes
// while they play, count as played: a tick later the list goes on as at
// their end, and a list none of whose entries plays ends once, whatever the
// repeat.
TEST_F(PlaylistPlayback, EntriesThatCannotBePlayedCountAsPlayed) {
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
      {RepeatMode::Off, all, kBroken, "Ant", -1},
      {RepeatMode::All, all, kBroken, "Bee", -1},
      {RepeatMode::One, all, kBroken, "Cat", -1},
      {RepeatMode::Off, {"Ant"}, kBrokenWhilePlaying, "Ant", 1},
      {RepeatMode::Off, {"Cat"}, kDeletedWhilePlaying, "Cat", -1},  // the folder's last file
  };
  for (const Case& c : cases) {
    Restart();
    plat::UseAudioSinkForTests(plat::AudioFormat{kRate, 2});
    for (const std::string& f : all) Song("Box/" + f + ".mp3");
    auto damage = [&] {
      for (const std::string& f : c.damaged) {
        if (c.damage == kDeletedWhilePlaying) {
          std::filesystem::remove(Path("Box/" + f + ".mp3"));
        } else {
          Break("Box/" + f + ".mp3");
        }
      }
    };
    if (c.damage == kBroken) damage();
    EXPECT_EQ(StandingAfterTicks([&] {
                app.repeatMode = c.repeat;
                Start(plat::FromUtf8(c.chosen));
                if (c.damage == kBroken) return;
                Hear(300);
                damage();
                Hear(3000);  // the decoder reads on
              }),
              c.standing)
        << static_cast<int>(c.repeat) << " " << c.chosen << " " << c.damage;
  }
}

// A folder of hostile files plays through to its end: random bytes, text,
// an empty file, a header that claims 2^32-1 frames, and pieces of every
// format cut short at random points each play what they hold or count as
// played.
TEST_F(PlaylistPlayback, AFolderOfHostileFilesPlaysThroughToItsEnd) {
  std::ofstream(Path("Hostile/noise.mp3"), std::ios::binary) << Noise(30000);
  std::ofstream(Path("Hostile/text.mp3")) << std::string(5000, 'a');
  EmptyFile("Hostile/empty.mp3");
  std::ofstream(Path("Hostile/claims.mp3"), std::ios::binary)
      << WithClaimedFrames(ReadBytes(kData + "stereo_44k_cbr.mp3"), 0xFFFFFFFF);
  std::mt19937 random(13);
  for (std::string piece : {"Box/Ant.mp3", "tone_44k_16.flac", "tone_48k_24.oga", "tone_22k.ogg",
                            "tone_48k.opus", "tone_44k_16.wav"}) {
    const std::string whole = ReadBytes(piece[0] == 'B' ? Path(piece) : kData + piece);
    const std::string type = piece.substr(piece.rfind('.'));
    for (int i = 0; i < 3; ++i) {
      std::ofstream(Path("Hostile/" + piece.substr(0, 3) + std::to_string(i) + type),
                    std::ios::binary)
          << whole.substr(0, random() % whole.size());
    }
  }
  std::vector<std::function<void()>> steps(600, [] {
    if (app.playlistCount) Hear(250);
  });
  steps.front() = [] {
    app.repeatMode = RepeatMode::Off;
    Browse(u"\\Hostile\\");
    OpenBrowseRow(List(), 0);
  };
  bool ended = false;
  steps.push_back([&] { ended = app.playlistCount == 0 && app.viewMode == ViewMode::Menu; });
  RunSteps(steps);
  EXPECT_TRUE(ended);
}

}  // namespace
