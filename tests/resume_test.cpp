// What each quit keeps, and the start that opens it paused, heard through a test sink.
#include "app/settings.h"
#include "menus/menu_screens.h"
#include "tests/music_fixture.h"

namespace {

constexpr int kRate = 44100;

class Resume : public MusicTest {
 protected:
  void SetUp() override {
    MusicTest::SetUp();
    for (const char* name : {"Ant", "Bee", "Cat"})
      WriteText(Path("Box/") + name + ".mp3", ReadBytes(VESK_SOURCE_DIR "/tests/data/join_a.mp3"));
    EmptyFile("Box/Bad.mp3");  // no MP3: it cannot be played
  }

  void StartWith(const std::string& values) {
    Restart();  // what the last run left is written before the file is replaced
    plat::UseAudioSinkForTests(plat::AudioFormat{kRate, 2});
    WriteValues(values);
  }
  void Keep(const std::string& folder, const std::string& file, int ms, int shuffle) {
    char values[512];
    std::snprintf(values, sizeof values,
                  "\"Volume\"=dword:00000064\n\"Shuffle\"=dword:%08x\n\"LastPld\"=\"%s\"\n"
                  "\"LastTrk\"=\"%s\"\n\"LastPos\"=dword:%08x\n",
                  shuffle, folder.c_str(), file.c_str(), ms);
    StartWith(values);
  }
};

TEST_F(Resume, StartingAgainOpensTheKeptTrackPausedWhereItWas) {
  // Kept: folder, file, place, shuffle. Then: the Main menu's rows, the place paused at (-1:
  // nothing opens), the row selected when Last Played opens.
  const std::tuple<const char*, const char*, int, int, int, int, const char16_t*> cases[] = {
      {"\\\\Box\\\\", "Bee.mp3", 1060, 0, 7, 1060, u"Bee"},
      {"\\\\Box\\\\", "Bee.mp3", 1060, 1, 7, 1060, u"Bee"},
      {"\\\\Box\\\\", "Bee.mp3", 5000, 0, 7, 0, u"Bee"},  // past its end
      {"\\\\Box\\\\", "Gone.mp3", 1060, 0, 6, -1, u"Ant"},
      {"\\\\Box\\\\", "Bad.mp3", 1060, 0, 6, -1, u"Bad"},
      {"\\\\Gone\\\\", "Bee.mp3", 1060, 0, 5, -1, nullptr},
  };
  for (auto [folder, file, ms, shuffle, mainRows, pausedAt, lastPlayedRow] : cases) {
    SCOPED_TRACE(std::string(folder) + file + " shuffle " + std::to_string(shuffle));
    Keep(folder, file, ms, shuffle);
    int32_t rows = 0;
    RunSteps(
        {[] {},  // the first frame; then the kept track opens
         [&] {
           rows = RowCount();
           std::u16string selected;
           if (int32_t row = RowOf(u"Last Played\t>"); row >= 0) {
             SelectMainMenuRow(List(), row);
             selected = SelectedRow();
           }
           EXPECT_EQ(selected, lastPlayedRow ? lastPlayedRow : u"");
           EXPECT_EQ(app.streamOpen ? app.pausedAtMs : -1, pausedAt);
           if (!app.streamOpen) {
             EXPECT_EQ(app.playlistCount, 0) << "no playlist is left behind";
             return;
           }
           EXPECT_EQ(app.paused, 1);
           EXPECT_EQ(GetStreamMs(), pausedAt) << "back and Seek read the place from the stream";
           EXPECT_EQ(app.positionSec, pausedAt / 1000) << "Now Playing shows the place";
           EXPECT_EQ(app.playlistPos, shuffle ? 0 : 2)
               << "Ant, Bad, Bee, Cat in order; Bee first shuffled";
           EXPECT_EQ(app.playlist[app.playlistPos], OrdinalOf(kBox, kMusicPattern, u"Bee.mp3"));
           TogglePause();
           ExpectTone(HearFrames(256), true, kRate, int64_t{pausedAt} * kRate / 1000, 0, 10, 1e-3);
         }});
    EXPECT_EQ(rows, mainRows);
  }
}

// Every quit (Sleep, holding play/pause, the close button, signals, media controls) is this one.
TEST_F(Resume, TheQuitKeepsTheOpenTrackAndThePlaceHeardButNotAnEndedPlaylist) {
  // The track started, ms heard, whether then paused (300 ms more pass), the track and place kept.
  const std::tuple<const char16_t*, int, bool, const char16_t*, int> cases[] = {
      {u"Bee", 700, false, u"\\Box\\Bee.mp3", 1000},
      {u"Bee", 700, true, u"\\Box\\Bee.mp3", 700},
      {u"Cat", 2000, false, u"", 0},  // the playlist's end
  };
  for (auto [started, heardMs, pause, kept, ms] : cases) {
    SCOPED_TRACE(testing::Message() << heardMs << " ms heard, paused " << pause);
    StartWith("");
    RunSteps({[&] {
                Browse(kBox);
                OpenBrowseRow(List(), RowOf(started));
                HearFrames(kRate * heardMs / 1000);
                if (pause) TogglePause();
              },
              [] {
                HearFrames(kRate * 3 / 10);
                SendMessageW(app.mainWindow, WM_COMMAND, kQuitCommand, 0);
              }});
    Restart();
    LoadSettings();
    EXPECT_EQ(std::u16string(app.lastPlayedFile), kept);
    EXPECT_NEAR(app.lastPlayedMs, ms, 50);
  }
}

TEST_F(Resume, AQuitBeforeTheKeptTrackOpensKeepsIt) {
  Keep("\\\\Box\\\\", "Bee.mp3", 1060, 0);
  Run([] { SendMessageW(app.mainWindow, WM_COMMAND, kQuitCommand, 0); });
  EXPECT_NE(StoreText().find("\"LastTrk\"=\"Bee.mp3\"\n\"LastPos\"=dword:00000424\n"),
            std::string::npos);
}

}  // namespace
