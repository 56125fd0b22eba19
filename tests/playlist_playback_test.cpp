// Moving through a playlist of real MP3 files while they are heard through a
// sink that the test pulls from: previous near the start, next while paused,
// repeat One at the natural end, and files that vanish before they open.
#include <algorithm>

#include "playback/playlist.h"
#include "tests/music_fixture.h"

namespace {

constexpr int kRate = 44100;

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

}  // namespace
