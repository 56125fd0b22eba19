// The click: the program's WAVE resource played over the sound output,
// converted to the output's rate and channels.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "platform/audio_output.h"
#include "platform/sound.h"
#include "platform/test_hooks.h"
#include "platform/window.h"

namespace {

constexpr int kClickRate = 11025;
constexpr size_t kWaveHeaderBytes = 44;
constexpr size_t kClickSamples = 57;  // the data chunk of click.wav

std::vector<unsigned char> ClickFileSamples() {
  std::ifstream in(VESK_SOURCE_DIR "/resources/click.wav", std::ios::binary);
  std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(in), {}};
  return {bytes.begin() + kWaveHeaderBytes, bytes.begin() + kWaveHeaderBytes + kClickSamples};
}

bool PlayClick() {
  return PlaySoundW(u"CLICK", GetModuleHandleW(nullptr), SND_RESOURCE | SND_ASYNC);
}

TEST(ClickSound, IsTheResourceAtTheOutputsRateOnEveryChannel) {
  const std::vector<unsigned char> source = ClickFileSamples();
  struct Case {
    int rate;
    int channels;
    int framesPerSample;  // output frames for each of the click's samples
  } cases[] = {{11025, 1, 1}, {44100, 2, 4}, {22050, 6, 2}};
  for (const Case& c : cases) {
    plat::UseAudioSinkForTests(plat::AudioFormat{c.rate, c.channels});
    ASSERT_TRUE(PlayClick());
    size_t frames = kClickSamples * c.framesPerSample + 100;
    std::vector<float> out(frames * c.channels);
    plat::PullAudioSinkForTests(out.data(), frames);
    for (size_t k = 0; k < kClickSamples; ++k) {
      size_t frame = k * c.framesPerSample;
      for (int ch = 0; ch < c.channels; ++ch) {
        EXPECT_FLOAT_EQ(out[frame * c.channels + ch], (source[k] - 128) / 128.0f)
            << c.rate << " sample " << k << " channel " << ch;
      }
    }
    for (size_t f = kClickSamples * c.framesPerSample; f < frames; ++f) {
      EXPECT_EQ(out[f * c.channels], 0.0f) << "the click has ended";
    }
  }
}

TEST(ClickSound, OnlyAResourceThatExistsSounds) {
  plat::UseAudioSinkForTests(plat::AudioFormat{kClickRate, 1});
  EXPECT_FALSE(PlaySoundW(u"NOSUCH", GetModuleHandleW(nullptr), SND_RESOURCE | SND_ASYNC));
  EXPECT_FALSE(PlaySoundW(u"CLICK", GetModuleHandleW(nullptr), SND_ASYNC));
  EXPECT_FALSE(PlaySoundW(nullptr, GetModuleHandleW(nullptr), SND_RESOURCE | SND_ASYNC));
  std::vector<float> out(256);
  plat::PullAudioSinkForTests(out.data(), out.size());
  for (float s : out) EXPECT_EQ(s, 0.0f);
}

}  // namespace
