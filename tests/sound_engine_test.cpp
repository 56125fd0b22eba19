// The sound engine and its back end on real MP3 files, heard through a sink
// that the test pulls from.
#include "playback/sound_engine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "platform/audio_output.h"
#include "platform/device.h"
#include "platform/sound.h"
#include "tests/sound_fixture.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kToneLevel = 0.5;                    // the fixtures' sine, half of full scale
const double kToneRms = kToneLevel / std::sqrt(2.0);  // its root mean square
constexpr double kSilence = 0.001;                    // the most a silent stretch may measure

class SoundEngine : public SoundFiles {
 protected:
  void SetUp() override {
    SoundFiles::SetUp();
    plat::UseAudioSinkForTests(plat::AudioFormat{rate_, 2});
    ASSERT_TRUE(InitSoundEngine(nullptr));
  }
  void TearDown() override {
    CloseStream();
    if (app.playlist == &only_) app.playlist = nullptr;
    SoundFiles::TearDown();
  }

  // Makes the entry the whole playlist, which reopening a track needs.
  int32_t PlayAlone(const std::string& name) {
    only_ = ToneOrdinal(name);
    app.playlist = &only_;
    app.playlistCount = 1;
    return only_;
  }
  int32_t only_ = -1;

  size_t MsFrames(int ms) const { return static_cast<size_t>(ms) * rate_ / 1000; }
  bool SilentFor(int ms) const { return LeftRms(HearFrames(MsFrames(ms))) < kSilence; }
  // What is heard next is the fixtures' 440 Hz sine from `seconds` into the file.
  void ExpectToneFrom(double seconds) const {
    constexpr size_t kFrames = 256;
    std::vector<float> heard = HearFrames(kFrames);
    for (size_t n = 0; n < kFrames; n += 16) {
      double t = seconds + static_cast<double>(n) / rate_;
      EXPECT_NEAR(heard[n * 2], kToneLevel * std::sin(2 * kPi * 440 * t), 0.03) << n;
    }
  }

  int rate_ = 44100;

  static std::string ReadWhole(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  static double LeftRms(const std::vector<float>& s) {
    double sum = 0;
    for (size_t i = 0; i < s.size(); i += 2) sum += double{s[i]} * s[i];
    return std::sqrt(sum / (s.size() / 2));
  }
};

TEST_F(SoundEngine, EachFixtureLastsItsDecodedLengthAndSoundsAtItsLevel) {
  struct Case {
    const char* name;
    int rate;      // of the file, and the output here
    int lengthMs;  // 0: unknown, the encoder's padding stays in without a header
    bool stereo;
  } cases[] = {
      {"mono_22k_cbr", 22050, 0, false},         // MPEG-2: no gapless trim
      {"stereo_44k_cbr", 44100, 1000, true},     // a header gives the exact length
      {"stereo_48k_vbr", 48000, 1000, true},     // the same at a variable bit rate
      {"mono_44k_vbr_noxing", 44100, 0, false},  // no header: the padding stays
      {"mono_48k_cbr_noxing", 48000, 0, false},
      {"tagged", 44100, 1000, true},  // tags at both ends are neither heard nor timed
  };
  std::ofstream(root_ / "Tones" / "tagged.mp3", std::ios::binary)
      << std::string("ID3\3\0\0\0\0\0\x0FTIT2\0\0\0\x05\0\0\0Tone", 25)
      << ReadWhole(root_ / "Tones" / "stereo_44k_cbr.mp3") << "TAG" << std::string(125, 'x');
  app.volume = 100;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    rate_ = c.rate;
    plat::UseAudioSinkForTests(plat::AudioFormat{rate_, 2});
    ASSERT_TRUE(InitSoundEngine(nullptr));
    ASSERT_TRUE(OpenTrack(ToneOrdinal(c.name), 0));
    int32_t lengthMs = SoundStreamLengthMs(static_cast<SoundStream*>(app.stream));
    if (c.lengthMs) {
      EXPECT_EQ(lengthMs, c.lengthMs);
    }
    EXPECT_GE(lengthMs, 1000);
    EXPECT_EQ(app.trackLengthSec, lengthMs / 1000);
    std::vector<float> heard = HearFrames(MsFrames(lengthMs + 300));
    // Every decoded frame is heard: the time ends at the length.
    EXPECT_EQ(GetStreamMs(), lengthMs);
    std::vector<float> tone(heard.begin() + MsFrames(100) * 2, heard.begin() + MsFrames(900) * 2);
    EXPECT_NEAR(LeftRms(tone), kToneRms, 0.02);
    bool differ = false;
    for (size_t i = 0; i < tone.size(); i += 2) differ |= std::fabs(tone[i] - tone[i + 1]) > 0.05f;
    EXPECT_EQ(differ, c.stereo);
    std::vector<float> after(heard.end() - MsFrames(200) * 2, heard.end());
    EXPECT_LT(LeftRms(after), kSilence);
    CloseStream();
  }
}

TEST_F(SoundEngine, AfterASeekTheToneContinuesAtTheSoughtTime) {
  app.volume = 100;
  ASSERT_TRUE(OpenTrack(ToneOrdinal("stereo_44k_cbr"), 0));
  HearFrames(MsFrames(100));
  SeekStreamMs(600);
  EXPECT_EQ(GetStreamMs(), 600);
  ExpectToneFrom(0.6);
}

TEST_F(SoundEngine, PauseStopsAtOnceAndResumeStartsThereOnANewChannel) {
  app.volume = 40;
  int32_t entry = PlayAlone("join_a");
  for (bool reopen : {false, true}) {
    SCOPED_TRACE(reopen ? "reopened while paused" : "paused");
    ASSERT_TRUE(OpenTrack(entry, 0));
    HearFrames(MsFrames(700));
    int32_t firstChannel = app.channel;
    TogglePause();
    EXPECT_EQ(app.paused, 1);
    EXPECT_EQ(app.pausedAtMs, 700);
    EXPECT_TRUE(SilentFor(100));
    if (reopen) {
      ReopenTrack();
      EXPECT_EQ(app.streamOpen, 1);
      EXPECT_EQ(app.paused, 1);
      EXPECT_TRUE(SilentFor(50));
    }
    TogglePause();
    EXPECT_EQ(app.paused, 0);
    EXPECT_NE(app.channel, firstChannel);
    EXPECT_EQ(GetStreamMs(), 700);
    EXPECT_NEAR(LeftRms(HearFrames(MsFrames(100))), kToneRms * (40 * 255 / 100) / 255.0, 0.02);
    CloseStream();
  }
}

TEST_F(SoundEngine, VolumeScalesTheChannelAndNeedsAStream) {
  struct Case {
    int32_t volume;
    double gain;  // volume x 255 / 100, truncated, of 255
  } cases[] = {{0, 0.0}, {50, 127 / 255.0}, {100, 1.0}};
  ASSERT_TRUE(OpenTrack(ToneOrdinal("join_a"), 0));
  for (const Case& c : cases) {
    ApplyVolume(c.volume);
    EXPECT_EQ(app.volume, c.volume);
    EXPECT_NEAR(LeftRms(HearFrames(MsFrames(50))), c.gain * kToneRms, 0.02);
  }
  CloseStream();
  ApplyVolume(7);
  EXPECT_EQ(app.volume, 100);
}

TEST_F(SoundEngine, OpenedPausedIsSilentUntilResumedFromTheStart) {
  app.volume = 100;
  ASSERT_TRUE(OpenTrack(ToneOrdinal("join_a"), 1));
  EXPECT_EQ(app.streamOpen, 1);
  EXPECT_EQ(app.paused, 1);
  EXPECT_EQ(app.pausedAtMs, 0);
  EXPECT_TRUE(SilentFor(100));
  TogglePause();
  ExpectToneFrom(0);
}

TEST_F(SoundEngine, MissingEntriesAndFilesThatAreNoMp3ChangeNothingOrOpenNothing) {
  ASSERT_TRUE(OpenTrack(ToneOrdinal("join_a"), 0));
  void* playing = app.stream;
  // One past the last file: nothing changes and the track goes on.
  EXPECT_FALSE(OpenTrack(ToneOrdinal("stereo_48k_vbr") + 1, 0));
  EXPECT_EQ(app.stream, playing);
  EXPECT_EQ(app.streamOpen, 1);
  // Text and random bytes named .mp3: no stream, zero times, the file's tags.
  std::ofstream(root_ / "Tones" / "zz_text.mp3") << std::string(5000, 'a');
  std::vector<char> noise(20000);
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>(i * 7919 % 251);
  std::ofstream(root_ / "Tones" / "zz_noise.mp3").write(noise.data(), noise.size());
  for (const char* name : {"zz_text", "zz_noise"}) {
    EXPECT_FALSE(OpenTrack(ToneOrdinal(name), 0)) << name;
    EXPECT_EQ(app.streamOpen, 0);
    EXPECT_EQ(app.stream, nullptr);
    EXPECT_EQ(app.trackLengthSec, 0);
    EXPECT_EQ(GetStreamMs(), 0);
    EXPECT_EQ(SoundLastError(), kSoundUnknownFormat);
  }
}

TEST_F(SoundEngine, DamageInsideAFileIsSkippedAndItPlaysToItsEnd) {
  // Two seconds of tone with a stretch of noise written over its middle.
  std::string tone = ReadWhole(root_ / "Tones" / "mono_44k_vbr_noxing.mp3");
  std::string damaged = tone + tone;
  for (size_t i = 0; i < 1500; ++i) damaged[tone.size() - 700 + i] = static_cast<char>(i * 131);
  std::ofstream(root_ / "Tones" / "zz_damaged.mp3", std::ios::binary) << damaged;
  app.volume = 100;
  ASSERT_TRUE(OpenTrack(ToneOrdinal("zz_damaged"), 0));
  int32_t lengthMs = SoundStreamLengthMs(static_cast<SoundStream*>(app.stream));
  EXPECT_GT(lengthMs, 1500);
  std::vector<float> heard = HearFrames(MsFrames(lengthMs + 300));
  EXPECT_FALSE(HasFatalFileError());
  EXPECT_EQ(GetStreamMs(), lengthMs);
  // The tone goes on after the damage.
  std::vector<float> after(heard.begin() + MsFrames(1400) * 2, heard.begin() + MsFrames(1500) * 2);
  EXPECT_NEAR(LeftRms(after), kToneRms, 0.03);
}

TEST_F(SoundEngine, ADeletedOrCutFileRaisesTheFatalProbeAndReopens) {
  for (bool cut : {false, true}) {
    SCOPED_TRACE(cut ? "cut short" : "deleted");
    // Five seconds, longer than the back end decodes ahead: frames of a
    // file without a header simply follow each other.
    std::filesystem::path file = root_ / "Tones" / "zz_victim.mp3";
    std::string tone = ReadWhole(root_ / "Tones" / "mono_44k_vbr_noxing.mp3");
    std::ofstream(file, std::ios::binary | std::ios::trunc) << tone << tone << tone << tone << tone;
    ASSERT_TRUE(OpenTrack(PlayAlone("zz_victim"), 0));
    HearFrames(MsFrames(50));
    EXPECT_FALSE(HasFatalFileError());
    if (cut) {
      std::filesystem::resize_file(file, 3000);
    } else {
      std::filesystem::remove(file);
    }
    HearFrames(MsFrames(2500));
    EXPECT_TRUE(HasFatalFileError());
    ReopenTrack();
    // A file that is gone is not found; a cut one opens again.
    EXPECT_EQ(HasFatalFileError(), !cut);
    EXPECT_EQ(app.streamOpen, 1);
    CloseStream();
  }
}

TEST_F(SoundEngine, TheEndNoticeComesOnceOnTheUserInterfaceThreadBeforeTheEnd) {
  static int notices;
  static std::thread::id where;
  notices = 0;
  SoundStream* stream = OpenSoundStream(DevicePath("stereo_44k_cbr").c_str());
  ASSERT_NE(stream, nullptr);
  SetSoundEndNotice(stream, [](SoundStream*) {
    ++notices;
    where = std::this_thread::get_id();
  });
  PlaySoundStream(stream);
  HearFrames(MsFrames(700));
  PumpMessages();
  EXPECT_EQ(notices, 0);
  HearFrames(MsFrames(150));
  PumpMessages();
  EXPECT_EQ(notices, 1);
  EXPECT_EQ(where, std::this_thread::get_id());
  // The tail of at most 200 ms is still to hear.
  EXPECT_GE(SoundStreamTimeMs(stream), 800);
  HearFrames(MsFrames(500));
  PumpMessages();
  EXPECT_EQ(notices, 1);
  CloseSoundStream(stream);
}

TEST_F(SoundEngine, StartUpRetriesElevenTimesThenShowsOneBox) {
  struct Case {
    int failures;
    bool started;
    DWORD waitedMs;
  } cases[] = {{4, true, 400}, {10, true, 1000}, {11, false, 1000}};
  for (const Case& c : cases) {
    plat::FailAudioOpensForTests(c.failures);
    testing::internal::CaptureStderr();
    DWORD start = GetTickCount();
    EXPECT_EQ(InitSoundEngine(nullptr), c.started) << c.failures;
    EXPECT_EQ(GetTickCount() - start, c.waitedMs);
    std::string box = testing::internal::GetCapturedStderr();
    EXPECT_EQ(box, c.started ? "" : "Sound System Error: Error initializing output device.\n");
  }
}

TEST(SoundErrorText, KnownCodesHaveTheirTextsAndOthersAreUnknown) {
  EXPECT_STREQ(SoundErrorText(0), "No errors");
  EXPECT_STREQ(SoundErrorText(3), "Error initializing output device.");
  EXPECT_STREQ(SoundErrorText(12), "Not enough memory ");
  EXPECT_STREQ(SoundErrorText(18), "Required Mediaplayer codec is not installed");
  EXPECT_STREQ(SoundErrorText(19), "Unknown error");
  EXPECT_STREQ(SoundErrorText(-1), "Unknown error");
}

// Meant for the sanitizer build: the decoder must not read a stream freed
// while it decoded a chunk of it outside the lock.
TEST_F(SoundEngine, StreamsClosedWhileTheDecoderWorksAreFreedOnlyAfterIt) {
  for (int i = 0; i < 300; ++i) {
    ASSERT_TRUE(OpenTrack(ToneOrdinal("stereo_44k_cbr"), 0));
    CloseStream();
  }
}

}  // namespace
