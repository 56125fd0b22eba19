// The desktop's media controls as WM_APPCOMMAND, in every view mode, a track open or none.
#include "menus/browser.h"
#include "platform/mpris.h"
#include "playback/playlist.h"
#include "tests/main_window_fixture.h"

namespace {

template <ViewMode mode>
void ShowPlayView() {
  ShowNowPlayingPanes();
  app.viewMode = mode;
}

// Where each command is tried: the screen it shows and how to reach it.
const struct Screen {
  const char* name;
  void (*show)();
} kScreens[] = {
    {"Main menu", [] {}},
    {"Settings menu", [] { ShowSettingsMenu(GetDlgItem(app.mainWindow, kMenuListId), 2); }},
    {"About", ShowAbout},
    {"Now Playing", ShowNowPlayingPanes},
    {"Volume", ShowPlayView<ViewMode::VolumeAdjust>},
    {"Seek", ShowPlayView<ViewMode::Seek>},
};

class AppCommand : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    UseFolder(kTones);
  }

  static void Open(bool paused, const Screen& screen) {
    ASSERT_TRUE(OpenTrack(OrdinalOf(u"\\data\\", kMusicPattern, u"stereo_44k_cbr.mp3"), paused));
    screen.show();
  }
  static void BackToMainMenu() {
    CloseStream();
    if (app.viewMode == ViewMode::About) HideAbout();
    ShowMenuPanes();
    ShowMainMenu(Pane(kMenuListId), u"Browse");
  }
  static void Send(short command, WPARAM value = 0) {
    SendMessageW(app.mainWindow, WM_APPCOMMAND, value, MAKELPARAM(0, command));
    PumpMessages();
  }
};

TEST_F(AppCommand, PlayAndPauseInEveryViewModeWithAndWithoutATrack) {
  // The command, paused after it from playing and from paused.
  const std::tuple<const char*, short, bool, bool> cases[] = {
      {"play-pause", APPCOMMAND_MEDIA_PLAY_PAUSE, true, false},
      {"play", APPCOMMAND_MEDIA_PLAY, false, false},
      {"pause", APPCOMMAND_MEDIA_PAUSE, true, true},
      {"stop", APPCOMMAND_MEDIA_STOP, true, true},
  };
  for (const Screen& screen : kScreens) {
    for (auto [what, command, fromPlaying, fromPaused] : cases) {
      for (bool paused : {false, true}) {
        SCOPED_TRACE(std::string(screen.name) + ": " + what + (paused ? ", paused" : ""));
        Open(paused, screen);
        ViewMode mode = app.viewMode;
        Send(command);
        EXPECT_EQ(std::tuple(app.paused, app.streamOpen, app.viewMode),
                  std::tuple(paused ? fromPaused : fromPlaying, 1, mode));
        CloseStream();
        app.paused = paused;
        Send(command);
        EXPECT_EQ(std::tuple(app.paused, app.streamOpen), std::tuple(paused, 0))
            << "without a track nothing changes";
        BackToMainMenu();
      }
    }
  }
}

// Each command sets only what it names; a seek the wheel left pending gives way to the desktop's.
TEST_F(AppCommand, PositionVolumeShuffleAndRepeatAreSetInEveryViewMode) {
  constexpr int32_t kPending = 300;
  // The command and its value; where the track then stands (-1: its end), the volume, shuffle and
  // repeat; the text of Settings row 2 or 3 where that menu shows.
  const std::tuple<short, WPARAM, int, int, int, RepeatMode, const char16_t*> cases[] = {
      {APPCOMMAND_VESK_SET_POSITION, 500, 500, 50, 0, RepeatMode::Off, nullptr},
      {APPCOMMAND_VESK_SET_POSITION, 99000, -1, 50, 0, RepeatMode::Off, nullptr},
      {APPCOMMAND_MEDIA_STOP, 0, 0, 50, 0, RepeatMode::Off, nullptr},
      {APPCOMMAND_VESK_SET_VOLUME, 30, kPending, 30, 0, RepeatMode::Off, nullptr},
      {APPCOMMAND_VESK_SET_VOLUME, 250, kPending, 100, 0, RepeatMode::Off, nullptr},
      {APPCOMMAND_VESK_SET_VOLUME, 0, kPending, 0, 0, RepeatMode::Off, nullptr},
      {APPCOMMAND_VESK_SET_SHUFFLE, 1, kPending, 50, 1, RepeatMode::Off, u"Shuffle  On"},
      {APPCOMMAND_VESK_SET_REPEAT, 2, kPending, 50, 0, RepeatMode::All, u"Repeat  All"},
      {APPCOMMAND_VESK_SET_REPEAT, 1, kPending, 50, 0, RepeatMode::One, u"Repeat  One"},
      {APPCOMMAND_VESK_SET_REPEAT, 7, kPending, 50, 0, RepeatMode::Off, u"Repeat  Off"},
  };
  for (const Screen& screen : kScreens) {
    for (auto [command, value, at, volume, shuffle, repeat, settingsRow] : cases) {
      SCOPED_TRACE(testing::Message() << screen.name << ": " << command << " " << value);
      Open(true, screen);
      SeekStreamMs(kPending);
      app.seekPending = 1;
      app.volume = 50;
      app.shuffle = 0;
      app.repeatMode = RepeatMode::Off;
      ViewMode mode = app.viewMode;
      Send(command, value);
      int32_t ms = at < 0 ? GetStreamLengthMs() : at;
      EXPECT_EQ(GetStreamMs(), ms);
      if (ms != kPending) {
        EXPECT_EQ(std::tuple(app.pausedAtMs, app.positionSec, app.seekPending),
                  std::tuple(ms, ms / 1000, 0));
      }
      EXPECT_EQ(std::tuple(app.volume, app.shuffle, app.repeatMode, app.viewMode),
                std::tuple(volume, shuffle, repeat, mode));
      if (settingsRow && app.menuKind == MenuKind::Settings) {
        EXPECT_EQ(Row(command == APPCOMMAND_VESK_SET_SHUFFLE ? 2 : 3), settingsRow);
        EXPECT_EQ(Selected(), 2) << "the selection stays";
      }
      BackToMainMenu();
    }
  }
}

TEST_F(AppCommand, NextAndPreviousMoveThroughThePlaylistInEveryViewMode) {
  for (const Screen& screen : kScreens) {
    SCOPED_TRACE(screen.name);
    // The folder's first file started paused, as the browser starts it.
    ListFolder(Pane(kMenuListId), u"\\data\\");
    ASSERT_TRUE(BuildPlaylist(Pane(kMenuListId), u"\\data\\", 0));
    ASSERT_TRUE(OpenTrack(app.playlist[0], 1));
    screen.show();
    ViewMode mode = app.viewMode;
    for (auto [command, pos] : {std::pair{APPCOMMAND_MEDIA_NEXTTRACK, 1},
                                {APPCOMMAND_MEDIA_NEXTTRACK, 2},
                                {APPCOMMAND_MEDIA_PREVIOUSTRACK, 1}}) {  // at 0:00: the one before
      Send(command);
      EXPECT_EQ(app.playlistPos, pos);
    }
    EXPECT_EQ(std::tuple(app.paused, app.viewMode), std::tuple(1, mode));
    EndPlaylist();
    BackToMainMenu();
    Send(APPCOMMAND_MEDIA_NEXTTRACK);
    Send(APPCOMMAND_MEDIA_PREVIOUSTRACK);
    EXPECT_EQ(app.streamOpen, 0) << "without a playlist they do nothing";
  }
}

TEST_F(AppCommand, ThePlayViewShowsTheNewPlaceAndVolumeAtOnce) {
  RECT bar;
  GetWindowRect(Pane(kPlayViewId), &bar);
  for (ViewMode mode : {ViewMode::NowPlaying, ViewMode::Seek, ViewMode::VolumeAdjust}) {
    OpenNowPlaying();
    app.volume = 0;
    app.viewMode = mode;
    PumpMessages();
    std::vector<COLORREF> before = ScreenPixels(bar);
    bool volume = mode == ViewMode::VolumeAdjust;  // sent directly: no paint by the loop after it
    SendMessageW(app.mainWindow, WM_APPCOMMAND, volume ? 100 : 99000,
                 MAKELPARAM(0, volume ? APPCOMMAND_VESK_SET_VOLUME : APPCOMMAND_VESK_SET_POSITION));
    EXPECT_NE(ScreenPixels(bar), before) << static_cast<int>(mode);
    BackToMainMenu();
  }
}

}  // namespace
