// Real MP3 files in a temporary music root, under the folder "\Tones\", and
// the player's state reset around each test.
#pragma once

#include <algorithm>
#include <chrono>
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

// The FileOrdinal of a fixture among "\Tones\"'s music files.
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
