// The whole program's windows and sound engine playing a real file through
// SDL's disk driver (tests/tool_play_track.cpp): the file written holds the
// tone at its length and at the default volume's level.
#include <spawn.h>
#include <sys/wait.h>

#include <cmath>
#include <string>
#include <vector>

#include "tests/sound_fixture.h"

namespace {

constexpr double kToneLevel = 0.5;
constexpr double kDefaultGain = 127 / 255.0;  // volume 50

using PlayTrack = SoundFiles;

TEST_F(PlayTrack, TheDiskOutputHoldsTheToneAtItsLengthAndLevel) {
  std::string output = (root_ / "out.raw").string();
  std::string tool = VESK_BINARY_DIR "/tool_play_track";
  std::string name = "stereo_44k_cbr.mp3";
  std::vector<std::string> env = {"VESK_MUSIC_DIR=" + (root_ / "Tones").string(),
                                  "XDG_CONFIG_HOME=" + root_.string(), "SDL_VIDEODRIVER=dummy",
                                  "SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + output};
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  char* argv[] = {tool.data(), name.data(), nullptr};
  pid_t pid;
  ASSERT_EQ(posix_spawn(&pid, tool.c_str(), nullptr, nullptr, argv, envp.data()), 0);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

  // The disk driver writes the device's format: float stereo at 48 kHz.
  constexpr int kDeviceRate = 48000;
  std::vector<float> left = HeardLeft(output);
  EXPECT_NEAR(static_cast<double>(left.size()) / kDeviceRate, 1.0, 0.01);
  double sum = 0;
  for (float s : left) sum += double{s} * s;
  EXPECT_NEAR(std::sqrt(sum / left.size()), kDefaultGain * kToneLevel / std::sqrt(2.0), 0.01);
}

}  // namespace
