#include "platform/audio_output.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/test_hooks.h"

using namespace plat;

namespace {

size_t HalfLevel(float* out, size_t frames, void*) {
  for (size_t i = 0; i < frames * 2; ++i) out[i] = 0.5f;
  return frames;
}

TEST(AudioOutput, MixesTheMusicAndAnEffectAndClipsTheirSum) {
  UseAudioSinkForTests(AudioFormat{44100, 2});
  SetMusicSource(HalfLevel, nullptr);
  PlayEffect({0.25f, 0.25f, 0.75f, -0.75f});
  std::vector<float> out(8);
  PullAudioSinkForTests(out.data(), 4);
  EXPECT_EQ(out, (std::vector<float>{0.75f, 0.75f, 1.0f, -0.25f, 0.5f, 0.5f, 0.5f, 0.5f}));
  // The effect has played out; a detached source leaves silence.
  SetMusicSource(nullptr, nullptr);
  PullAudioSinkForTests(out.data(), 4);
  EXPECT_EQ(out, std::vector<float>(8, 0.0f));
}

}  // namespace
