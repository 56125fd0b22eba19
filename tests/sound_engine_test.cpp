// The sound engine and its back end on real MP3 files, heard through the test's sink.
#include "playback/sound_engine.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <future>
#include <mutex>

#include "platform/device.h"
#include "playback/tags.h"
#include "tests/sound_fixture.h"

namespace {

constexpr double kSilence = 0.001;  // the most a silent stretch may measure

// Once armed, the next read of a stream's file waits until let go (at most 5 s).
enum StallState { kOff, kArmed, kHolding, kLetGo };
std::atomic<int> stall{kOff};
void HoldRead() {
  int armed = kArmed;
  if (!stall.compare_exchange_strong(armed, kHolding)) return;
  for (int i = 0; i < 500 && stall == kHolding; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  stall = kLetGo;
}

// A fast device's thread keeping the left channel; holding `mutex` keeps it between two blocks.
struct Puller {
  std::mutex mutex;
  std::vector<float> heard;
  std::jthread thread{[this](std::stop_token stop) {
    std::vector<float> block(2048);
    for (; !stop.stop_requested(); std::this_thread::sleep_for(std::chrono::milliseconds(2))) {
      std::lock_guard lock(mutex);
      plat::PullAudioSinkForTests(block.data(), 1024);
      for (size_t i = 0; i < 1024; ++i) heard.push_back(block[i * 2]);
    }
  }};
};

class SoundEngine : public SoundFiles {
 protected:
  void SetUp() override {
    SoundFiles::SetUp();
    plat::UseAudioSinkForTests(plat::AudioFormat{rate_, 2});
    ASSERT_TRUE(InitSoundEngine(nullptr));
    // 20 s of the demo music: sound that never repeats, more than one block of reading.
    std::filesystem::copy_file(VESK_BINARY_DIR "/demo/Vesk Demo/Morning/01 Sunrise.mp3",
                               root_ / "Tones" / "zz_music.mp3");
  }
  void TearDown() override {
    CloseStream();
    stall = kLetGo;
    plat::SetSourceReadHookForTests(nullptr);
    SoundFiles::TearDown();
  }

  size_t MsFrames(int ms) const { return static_cast<size_t>(ms) * rate_ / 1000; }
  bool SilentFor(int ms) const { return LeftRms(HearFrames(MsFrames(ms))) < kSilence; }

  int rate_ = 44100;

  static double LeftRms(const std::vector<float>& s) {
    double sum = 0;
    for (size_t i = 0; i < s.size(); i += 2) sum += double{s[i]} * s[i];
    return std::sqrt(sum / (s.size() / 2));
  }
};

// Claims of more frames than a file holds are not believed (they took minutes and wrapped).
TEST_F(SoundEngine, EachFixtureLastsItsDecodedLengthAndSoundsAtItsLevel) {
  struct Case {
    const char* name;
    int rate;      // of the output: the file's own, or one it is converted to
    int lengthMs;  // 0: unknown, the encoder's padding stays in without a header
    bool stereo;
    int leastMs = 1000;  // it lasts up to 100 ms more: padding, or frames dropped for damage
  } cases[] = {
      {"mono_22k_cbr", 22050, 0, false},         // MPEG-2: no gapless trim
      {"stereo_48k_vbr", 48000, 1000, true},     // a header gives the exact length
      {"mono_44k_vbr_noxing", 44100, 0, false},  // no header: the padding stays
      {"tagged", 44100, 1000, true},             // tags at both ends are neither heard nor timed
      {"stereo_44k_cbr", 8000, 1000, true},      // the decoder's step is more than a second of it
      {"claims_all", 48000, 0, true},
      {"claims_many", 48000, 0, true},
      {"damaged", 44100, 0, false, 1800},  // noise over its middle is skipped
      {"holed", 44100, 1000, true},  // and zeros past the resync limit, where mpg123 reports damage
  };
  const std::string tone = ReadBytes(root_ / "Tones" / "stereo_44k_cbr.mp3");
  std::ofstream(root_ / "Tones" / "tagged.mp3", std::ios::binary)
      << std::string("ID3\3\0\0\0\0\0\x0FTIT2\0\0\0\x05\0\0\0Tone", 25) << tone << "TAG"
      << std::string(125, 'x');
  std::ofstream(root_ / "Tones" / "claims_all.mp3") << WithClaimedFrames(tone, 0xFFFFFFFF);
  std::ofstream(root_ / "Tones" / "claims_many.mp3") << WithClaimedFrames(tone, 0x10000000);
  std::ofstream(root_ / "Tones" / "holed.mp3", std::ios::binary)
      << std::string(tone).insert(tone.find("\xFF\xFB", tone.size() / 4), 70000, '\0');
  const std::string mono = ReadBytes(root_ / "Tones" / "mono_44k_vbr_noxing.mp3");
  std::string damaged = mono + mono;
  for (size_t i = 0; i < 1500; ++i) damaged[mono.size() - 700 + i] = static_cast<char>(i * 131);
  std::ofstream(root_ / "Tones" / "damaged.mp3", std::ios::binary) << damaged;
  app.volume = 100;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " at " + std::to_string(c.rate));
    rate_ = c.rate;
    plat::UseAudioSinkForTests(plat::AudioFormat{rate_, 2});
    ASSERT_TRUE(InitSoundEngine(nullptr));
    ASSERT_TRUE(OpenTrack(ToneOrdinal(c.name), 0));
    int32_t lengthMs = GetStreamLengthMs();
    EXPECT_TRUE(!c.lengthMs || lengthMs == c.lengthMs) << lengthMs;
    ASSERT_GE(lengthMs, c.leastMs);
    ASSERT_LT(lengthMs, c.leastMs + 100);
    std::vector<float> heard = HearFrames(MsFrames(lengthMs + 300));
    EXPECT_EQ(GetStreamMs(), lengthMs);  // every decoded frame heard
    EXPECT_FALSE(HasFatalFileError());
    const auto end = heard.begin() + MsFrames(lengthMs) * 2;
    std::vector<float> tone(end - MsFrames(500) * 2, end - MsFrames(100) * 2);
    EXPECT_NEAR(LeftRms(tone), kToneLevel / std::sqrt(2.0), 0.02);
    bool differ = false;
    for (size_t i = 0; i < tone.size(); i += 2) differ |= std::fabs(tone[i] - tone[i + 1]) > 0.05f;
    EXPECT_EQ(differ, c.stereo);
    EXPECT_LT(LeftRms({heard.end() - MsFrames(200) * 2, heard.end()}), kSilence);
    CloseStream();
  }
}

// A pause by the output that is gone ends by itself a tick after the output is back.
TEST_F(SoundEngine, PauseStopsAtOnceAndResumeStartsThereOnANewChannelAtTheVolume) {
  enum Pause { kPaused, kReopened, kOpenedPaused, kOutputLost, kOutputFailsToOpenAgain };
  app.volume = 100;
  static int32_t only = ToneOrdinal("join_a");
  app.playlist = &only;  // reopening needs the track in a playlist
  app.playlistCount = 1;
  auto expectToneAt40 = [&](int32_t atMs) {
    std::vector<float> heard = HearFrames(1024);
    for (float& s : heard) s /= 0.4f;  // the volume of 40
    ExpectTone(heard, true, rate_, MsFrames(atMs), 0, 4, 1e-3);
  };
  // A run's first play, resumed from paused: the output may mix before the volume is set again.
  ASSERT_TRUE(OpenTrack(only, 1));
  ApplyVolume(40);
  PlaySoundStream(app.stream);
  expectToneAt40(0);
  CloseStream();
  for (Pause pause : {kPaused, kReopened, kOpenedPaused, kOutputLost, kOutputFailsToOpenAgain}) {
    SCOPED_TRACE(pause);
    const int32_t atMs = pause == kOpenedPaused ? 0 : 700;
    ASSERT_TRUE(OpenTrack(only, pause == kOpenedPaused));
    ApplyVolume(40);
    int32_t firstChannel = app.channel;
    if (pause != kOpenedPaused) {
      HearFrames(MsFrames(700));
      if (pause == kOutputLost) {
        plat::LoseAudioSinkForTests();
        KeepPlaying();  // the timer's tick
      } else {
        TogglePause();
      }
    }
    if (pause == kOutputFailsToOpenAgain) {
      HearFrames(MsFrames(3500));
      plat::CloseIdleAudioOutput();
      EXPECT_FALSE(plat::AudioSinkOpenForTests()) << "closed while nothing plays";
      plat::FailAudioOpensForTests(1);
      TogglePause();
    }
    EXPECT_EQ(std::pair(app.paused, app.pausedAtMs), std::pair(1, atMs));
    EXPECT_TRUE(SilentFor(100));
    if (pause == kReopened) {
      ReopenTrack();
      EXPECT_EQ(std::pair(app.streamOpen, app.paused), std::pair(1, 1));
      EXPECT_TRUE(SilentFor(50));
    }
    if (pause <= kOpenedPaused) {  // the user's
      TogglePause();
    } else {
      AdvanceManualClock(1000);
      KeepPlaying();
    }
    EXPECT_EQ(app.paused, 0);
    EXPECT_TRUE(pause == kOpenedPaused || app.channel != firstChannel) << "a new channel";
    EXPECT_EQ(GetStreamMs(), atMs);
    expectToneAt40(atMs);
    CloseStream();
  }
  ApplyVolume(7);  // no stream: kept
  EXPECT_EQ(app.volume, 40);
}

TEST_F(SoundEngine, MissingEntriesChangeNothingNoiseAndFifosOpenNothing) {
  ASSERT_TRUE(OpenTrack(ToneOrdinal("join_a"), 0));
  SoundStream* playing = app.stream;
  EXPECT_FALSE(
      OpenTrack(CountMatchingFiles((u"\\Tones\\" + std::u16string(kMusicPattern)).c_str()), 0));
  EXPECT_EQ(std::pair(app.stream, app.streamOpen), std::pair(playing, 1));
  std::ofstream(root_ / "Tones" / "zz_noise.mp3", std::ios::binary) << Noise(20000);
  EXPECT_FALSE(OpenTrack(ToneOrdinal("zz_noise"), 0));
  EXPECT_EQ(std::tuple(app.streamOpen, app.stream, app.trackLengthSec, GetStreamMs()),
            std::tuple(0, nullptr, 0, 0));
  EXPECT_EQ(SoundLastError(), kSoundUnknownFormat);
  // A FIFO swapped in for a listed file is refused, not waited on.
  const std::string path = (root_ / "Tones" / "zz_pipe.mp3").string();
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  const std::u16string device = u"\\Tones\\zz_pipe.mp3";
  auto opened = std::async(std::launch::async, [&] {
    TrackTags tags;
    ReadTrackTags(device.c_str(), &tags);
    return OpenSoundStream(device.c_str());
  });
  bool answered = opened.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
  if (!answered) close(open(path.c_str(), O_WRONLY | O_NONBLOCK));  // lets it go
  EXPECT_TRUE(answered);
  EXPECT_EQ(opened.get(), nullptr);
}

TEST_F(SoundEngine, StartUpRetriesElevenTimesThenShowsOneBox) {
  const std::tuple<int, bool, DWORD> cases[] = {
      {4, true, 400}, {10, true, 1000}, {11, false, 1000}};
  for (const auto& [failures, started, waitedMs] : cases) {
    plat::UseAudioSinkForTests(plat::AudioFormat{rate_, 2});  // closed again
    plat::FailAudioOpensForTests(failures);
    testing::internal::CaptureStderr();
    DWORD start = GetTickCount();
    EXPECT_EQ(InitSoundEngine(nullptr), started) << failures;
    EXPECT_EQ(GetTickCount() - start, waitedMs);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              started ? "" : "Sound System Error: Error initializing output device.\n");
  }
}

// Each seek lands while the decoder works on an earlier one and the output pulls.
TEST_F(SoundEngine, EverySeekIsHeardFromTheSampleAskedForWhileTheDecoderWorks) {
  app.volume = 100;
  int32_t entry = ToneOrdinal("zz_music");
  ASSERT_TRUE(OpenTrack(entry, 0));
  const int32_t lengthMs = GetStreamLengthMs();
  std::vector<float> whole = HearFrames(MsFrames(lengthMs));
  ASSERT_TRUE(OpenTrack(entry, 0));
  Puller puller;
  for (int i = 0; i < 12; ++i) {
    const int32_t ms = 1000 + i * 1733 % (lengthMs - 2000);
    SeekStreamMs(ms / 2);
    std::this_thread::sleep_for(std::chrono::milliseconds(i % 4));
    size_t from;
    {
      std::lock_guard between(puller.mutex);  // the output's blocks
      from = puller.heard.size();
      SeekStreamMs(ms);
    }
    EXPECT_NEAR(GetStreamMs(), ms, 1);  // in whole frames
    // Past its first samples, it matches the piece there, not a sample away.
    std::vector<float> heard;
    EXPECT_TRUE(WaitFor([&] {
      std::lock_guard lock(puller.mutex);
      auto first = std::find_if(puller.heard.begin() + from, puller.heard.end(),
                                [](float s) { return s != 0; });
      if (puller.heard.end() - first < 1024) return false;
      heard.assign(first, first + 1024);
      return true;
    }));
    double mismatch = 0;
    for (size_t n = 128; n < heard.size(); ++n)
      mismatch += std::pow(heard[n] - whole[(MsFrames(ms) + n) * 2], 2);
    EXPECT_LT(mismatch / (heard.size() - 128), 1e-6) << ms;
  }
}

// A stalled read (a disk spinning up) holds up neither the user nor the output.
TEST_F(SoundEngine, NothingWaitsForAStalledRead) {
  const std::pair<const char*, std::function<void()>> acts[] = {
      {"pause", TogglePause},
      {"seek", [] { SeekStreamMs(2000); }},
      {"volume", [] { ApplyVolume(30); }},
      {"open another", [] { OpenTrack(ToneOrdinal("join_b"), 0); }},
      {"the output's pull, and its close after a quiet spell",
       [this] {
         std::vector<float> out(MsFrames(3500) * 2);  // pulled as a device would, not waiting
         plat::PullAudioSinkForTests(out.data(), MsFrames(3500));
         plat::CloseIdleAudioOutput();
         EXPECT_TRUE(plat::AudioSinkOpenForTests());
       }},
  };
  plat::SetSourceReadHookForTests(HoldRead);
  app.volume = 100;
  for (const auto& [what, act] : acts) {
    SCOPED_TRACE(what);
    ASSERT_TRUE(OpenTrack(ToneOrdinal("zz_music"), 0));
    HearFrames(MsFrames(100));
    stall = kArmed;
    SeekStreamMs(15000);  // beyond what was read so far
    ASSERT_TRUE(WaitFor([] { return stall == kHolding; }));
    act();
    EXPECT_EQ(stall, kHolding) << "waited for the read";
    stall = kLetGo;
    EXPECT_TRUE(!app.streamOpen || app.paused || !SilentFor(300)) << "heard again";
    CloseStream();
  }
}

}  // namespace
