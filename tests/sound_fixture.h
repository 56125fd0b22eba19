// The test tones in a temporary music root's "\Tones\"; the player's state reset around each test.
#pragma once

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

#include "platform/audio_output.h"
#include "platform/files.h"
#include "platform/internal.h"
#include "platform/sound.h"
#include "platform/strings.h"
#include "playback/playlist.h"
#include "tests/headless.h"

// A name's FileOrdinal: its place among the folder's matches of the pattern; -1 when absent.
inline int32_t OrdinalOf(const std::u16string& folder, const WCHAR* wildcards,
                         const std::u16string& name) {
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW((folder + wildcards).c_str(), &found);
  int32_t at = -1;
  bool more = find != INVALID_HANDLE_VALUE;
  for (int32_t n = 0; more && at < 0; more = FindNextFileW(find, &found), ++n)
    if (name == found.cFileName) at = n;
  if (find != INVALID_HANDLE_VALUE) FindClose(find);
  return at;
}

inline int32_t ToneOrdinal(const std::string& name) {
  return OrdinalOf(u"\\Tones\\", kMusicPattern, plat::FromUtf8(name) + u".mp3");
}

// Bytes that are no MP3 (nor anything else).
inline std::string Noise(size_t bytes) {
  std::string noise(bytes, 0);
  for (size_t i = 0; i < bytes; ++i) noise[i] = static_cast<char>(i * 7919 % 251);
  return noise;
}

// The MP3 with the frame count of its Xing/Info header replaced.
inline std::string WithClaimedFrames(std::string mp3, uint32_t frames) {
  const size_t count = mp3.find("Info") + 8;  // big-endian, after the tag and its flags
  for (int i = 0; i < 4; ++i) mp3[count + i] = static_cast<char>(frames >> (24 - 8 * i));
  return mp3;
}

constexpr double kToneLevel = 0.5;  // the fixtures' sine, half of full scale

// The tone from `at` on (past `skip`), within `noise`, and far closer than `near` frames away.
inline void ExpectTone(const std::vector<float>& frames, bool stereo, int rate, int64_t at,
                       size_t skip, int near = 1, double noise = 1e-4) {
  for (int channel : {0, 1}) {
    const double hz = stereo && channel == 1 ? 660 : 440;
    auto mismatch = [&](int lag) {  // the mean squared distance to the tone moved by `lag`
      double sum = 0;
      size_t n = 0;
      for (size_t i = skip; i < frames.size() / 2; ++i, ++n) {
        double t = static_cast<double>(at + static_cast<int64_t>(i) + lag) / rate;
        sum += std::pow(frames[i * 2 + channel] - kToneLevel * std::sin(2 * M_PI * hz * t), 2);
      }
      return sum / std::max<size_t>(n, 1);
    };
    const double here = mismatch(0);
    EXPECT_LT(here, noise) << "channel " << channel;
    EXPECT_LT(here * 10, mismatch(-near)) << channel;
    EXPECT_LT(here * 10, mismatch(near)) << channel;
  }
}

// Waits, for real, until the condition holds (generous for a loaded machine).
template <typename Condition>
bool WaitFor(Condition condition) {
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

// The next `frames` stereo frames of the test's sink, each block pulled once the decoder caught up.
inline std::vector<float> HearFrames(size_t frames) {
  std::vector<float> out(frames * 2);
  constexpr size_t kBlock = 1024;
  for (size_t done = 0; done < frames; done += kBlock) {
    EXPECT_TRUE(WaitFor(SoundDecoderIdleForTests));
    plat::PullAudioSinkForTests(out.data() + done * 2, std::min(kBlock, frames - done));
  }
  EXPECT_TRUE(WaitFor(SoundDecoderIdleForTests));
  return out;
}

class SoundFiles : public Headless {
 protected:
  void SetUp() override {
    root_ = MakeTempFolder("vesk-sound");
    std::filesystem::copy(std::string(VESK_SOURCE_DIR) + "/tests/data", root_ / "Tones");
    setenv("VESK_MUSIC_DIR", root_.c_str(), 1);
    plat::ResetMusicRootForTests();
    Headless::SetUp();
    ResetAppState();
    StringCchCopyW(app.playlistFolder, kPathChars, u"\\Tones\\");
  }
  void TearDown() override {
    ResetAppState();
    Headless::TearDown();
    std::filesystem::remove_all(root_);
    unsetenv("VESK_MUSIC_DIR");
  }

  std::filesystem::path root_;
};
