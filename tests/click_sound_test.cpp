// Effects mixed with the music, and the click resource at the output's rate and channels.
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
  std::vector<float> out(256);
  plat::PullAudioSinkForTests(out.data(), out.size());
  EXPECT_EQ(out, std::vector<float>(256, 0.0f));
}

}  // namespace
