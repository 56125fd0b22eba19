// Arbitrary bytes decoded and heard, with seeks and a pause landing while the decoder works.
#include <thread>
#include <vector>

#include "fuzz/fuzz_files.h"
#include "platform/audio_output.h"
#include "platform/sound.h"
#include "platform/test_hooks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  constexpr size_t kPullFrames = 4096;
  constexpr int kPulls = 64;  // several seconds of audio
  static bool started = [] {
    plat::UseAudioSinkForTests(plat::AudioFormat{44100, 2});
    return StartSound();
  }();
  if (!started) return 0;
  WriteFuzzFile(data, size);
  SoundStream* stream = OpenSoundStream(kFuzzFile);
  if (!stream) return 0;
  PlaySoundStream(stream);
  std::vector<float> out(kPullFrames * 2);
  const int32_t lengthMs = SoundStreamLengthMs(stream);
  for (int i = 0; i < kPulls; ++i) {
    // Every eighth pull may land in the middle of a decoder's step.
    while (i % 8 != 0 && !SoundDecoderIdleForTests()) std::this_thread::yield();
    plat::PullAudioSinkForTests(out.data(), kPullFrames);
    if (i == kPulls / 4 && size > 0) SetSoundStreamTimeMs(stream, lengthMs / 256 * data[0]);
    if (i == kPulls / 2) SetSoundStreamTimeMs(stream, lengthMs / 3);
    if (i == kPulls * 3 / 4) {
      StopSoundStream(stream);
      PlaySoundStream(stream);
    }
  }
  SoundStreamTimeMs(stream);
  StopSoundStream(stream);
  CloseSoundStream(stream);
  return 0;
}
