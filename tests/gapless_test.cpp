// One tone cut into two MP3 files plays back joined, through SDL's disk
// driver: no silence and no jump where the second file begins.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <vector>

#include "platform/audio_output.h"
#include "platform/sound.h"
#include "tests/sound_fixture.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kToneSeconds = 2.3;  // 1.3 s and 1.0 s

using Gapless = SoundFiles;

SoundStream* second;

// As the next-track action does: close the ended stream, open and play the next.
void PlayNext(SoundStream* ended) {
  StopSoundStream(ended);
  CloseSoundStream(ended);
  second = OpenSoundStream(u"\\Tones\\join_b.mp3");
  PlaySoundStream(second);
}

TEST_F(Gapless, TwoFilesOfOneToneJoinWithoutAGapOrAJump) {
  // The output is one per process: it must not have been opened by another test.
  if (plat::AudioOutputFormat().rate) GTEST_SKIP() << "run alone (ctest does)";
  std::string output = (root_ / "out.raw").string();
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);
  ASSERT_TRUE(StartSound());
  int rate = plat::AudioOutputFormat().rate;
  second = nullptr;
  SoundStream* first = OpenSoundStream(u"\\Tones\\join_a.mp3");
  ASSERT_NE(first, nullptr);
  SetSoundEndNotice(first, PlayNext);
  PlaySoundStream(first);
  ASSERT_TRUE(WaitFor([&] {
    PumpMessages();
    return second && SoundStreamTimeMs(second) >= SoundStreamLengthMs(second);
  }));
  CloseSoundStream(second);
  unsetenv("SDL_DISKAUDIOFILE");

  std::vector<float> samples = HeardLeft(output);
  ASSERT_FALSE(samples.empty());
  // The whole tone, at its length, with no run of silence inside it.
  EXPECT_NEAR(static_cast<double>(samples.size()) / rate, kToneSeconds, 0.01);
  int quiet = 0, longestQuiet = 0;
  double largestStep = 0;
  for (size_t i = 1; i < samples.size(); ++i) {
    quiet = std::fabs(samples[i]) < 1e-4f ? quiet + 1 : 0;
    longestQuiet = std::max(longestQuiet, quiet);
    largestStep = std::max(largestStep, double{std::fabs(samples[i] - samples[i - 1])});
  }
  EXPECT_LT(longestQuiet, 3);
  // The tone's own largest step between samples, with room for the codec.
  double toneStep = 0.5 * 2 * kPi * 440 / rate;
  EXPECT_LT(largestStep, toneStep * 1.25);
}

}  // namespace
