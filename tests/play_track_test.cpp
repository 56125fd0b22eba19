// The whole program (tool_play_track) playing a file through SDL's disk driver.
#include "tests/sound_fixture.h"

namespace {

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
