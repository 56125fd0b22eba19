// The sound output: effects over the music, the click, and tool_play_track via SDL's disk driver.
#include "tests/sound_fixture.h"

namespace {

constexpr size_t kClickSamples = 57;  // the data chunk of click.wav, after its 44-byte header

bool Play(const WCHAR* name, DWORD flags) {
  return PlaySoundW(name, GetModuleHandleW(nullptr), flags | SND_ASYNC);
}

size_t HalfLevel(float* out, size_t frames, void*) {
  std::fill(out, out + frames * 2, 0.5f);
  return frames;
}

TEST(AudioOutput, MixesTheMusicAndAnEffectAndClipsTheirSum) {
  plat::UseAudioSinkForTests(plat::AudioFormat{44100, 2});
  plat::SetMusicSource(HalfLevel, nullptr);
  plat::PlayEffect({0.25f, 0.25f, 0.75f, -0.75f});
  std::vector<float> out(8);
  plat::PullAudioSinkForTests(out.data(), 4);
  EXPECT_EQ(out, (std::vector<float>{0.75f, 0.75f, 1.0f, -0.25f, 0.5f, 0.5f, 0.5f, 0.5f}));
  plat::SetMusicSource(nullptr, nullptr);
  plat::PullAudioSinkForTests(out.data(), 4);
  EXPECT_EQ(out, std::vector<float>(8, 0.0f));
}

TEST(ClickSound, IsTheResourceAtTheOutputsRateOnEveryChannelAndOnlyAResourceSounds) {
  const std::string source = ReadBytes(VESK_SOURCE_DIR "/resources/click.wav").substr(44);
  const std::pair<int, int> cases[] = {{11025, 1}, {44100, 2}, {22050, 6}};  // rate, channels
  for (const auto& [rate, channels] : cases) {
    plat::UseAudioSinkForTests(plat::AudioFormat{rate, channels});
    ASSERT_TRUE(Play(u"CLICK", SND_RESOURCE));
    const size_t framesPerSample = rate / 11025;  // the click's own rate
    const size_t frames = kClickSamples * framesPerSample + 100;
    std::vector<float> out(frames * channels);
    plat::PullAudioSinkForTests(out.data(), frames);
    for (size_t f = 0; f < frames; ++f) {
      const size_t k = f / framesPerSample;  // the click's sample; silence after the last
      const float expected = k < kClickSamples ? (uint8_t(source[k]) - 128) / 128.0f : 0.0f;
      if (f % framesPerSample && k < kClickSamples) continue;  // between two samples
      for (int ch = 0; ch < channels; ++ch)
        EXPECT_FLOAT_EQ(out[f * channels + ch], expected) << rate << " frame " << f;
    }
  }
  plat::UseAudioSinkForTests(plat::AudioFormat{11025, 1});
  EXPECT_FALSE(Play(u"NOSUCH", SND_RESOURCE));
  EXPECT_FALSE(Play(u"CLICK", 0));
  EXPECT_FALSE(Play(nullptr, SND_RESOURCE));
}

constexpr double kDefaultGain = 127 / 255.0;  // volume 50
constexpr int kDeviceRate = 48000;            // the disk driver's: float stereo at 48 kHz

using PlayTrack = SoundFiles;

TEST_F(PlayTrack, TheDiskOutputHoldsTheToneAtItsLengthAndLevel) {
  const std::string output = (root_ / "out.raw").string();
  const std::string command = "VESK_MUSIC_DIR='" + (root_ / "Tones").string() +
                              "' XDG_CONFIG_HOME='" + root_.string() +
                              "' SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE='" +
                              output + "' '" VESK_BINARY_DIR "/tool_play_track' stereo_44k_cbr.mp3";
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::vector<float> left;
  float frame[2];
  for (std::ifstream in(output, std::ios::binary); in.read(reinterpret_cast<char*>(frame), 8);)
    if (frame[0] != 0 || !left.empty()) left.push_back(frame[0]);
  while (!left.empty() && left.back() == 0) left.pop_back();
  EXPECT_NEAR(static_cast<double>(left.size()) / kDeviceRate, 1.0, 0.01);
  double sum = 0;
  for (float s : left) sum += double{s} * s;
  EXPECT_NEAR(std::sqrt(sum / left.size()), kDefaultGain * kToneLevel / std::sqrt(2.0), 0.01);
}

}  // namespace
