// Opening an MP3 without a Xing header (tags, open, exact length by a frame
// scan, first audio) and decoding through the back end as fast as it goes.
// The file is $VESK_BENCH_MP3 (tools/benchmarks.sh makes a 10 MB one).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/audio_output.h"
#include "platform/internal.h"
#include "platform/sound.h"
#include "platform/strings.h"
#include "playback/tags.h"

namespace {

constexpr int kRate = 44100;
constexpr size_t kPullFrames = kRate / 4;  // half of what the back end decodes ahead

void WaitForDecoder() {
  while (!SoundDecoderIdleForTests()) std::this_thread::sleep_for(std::chrono::microseconds(100));
}

// The benchmark file's folder as the music root; its device path.
std::u16string BenchFile() {
  const char* file = std::getenv("VESK_BENCH_MP3");
  if (!file) return {};
  std::filesystem::path path(file);
  setenv("VESK_MUSIC_DIR", path.parent_path().c_str(), 1);
  plat::ResetMusicRootForTests();
  plat::UseAudioSinkForTests(plat::AudioFormat{kRate, 2});
  StartSound();
  return u"\\" + plat::FromUtf8(path.filename().string());
}

void BM_SoundOpenTrackWithoutXing(benchmark::State& state) {
  std::u16string path = BenchFile();
  if (path.empty()) return state.SkipWithError("VESK_BENCH_MP3 not set");
  std::vector<float> first(1024 * 2);
  for (auto _ : state) {
    TrackTags tags;
    ReadTrackTags(path.c_str(), &tags);
    SoundStream* s = OpenSoundStream(path.c_str());
    PlaySoundStream(s);
    WaitForDecoder();
    plat::PullAudioSinkForTests(first.data(), 1024);
    benchmark::DoNotOptimize(SoundStreamLengthMs(s));
    CloseSoundStream(s);
  }
}
BENCHMARK(BM_SoundOpenTrackWithoutXing)->Unit(benchmark::kMillisecond);

// Decodes the whole file through the ring, pulled as the output would.
void BM_SoundDecodeWholeFile(benchmark::State& state) {
  std::u16string path = BenchFile();
  if (path.empty()) return state.SkipWithError("VESK_BENCH_MP3 not set");
  std::vector<float> out(kPullFrames * 2);
  for (auto _ : state) {
    SoundStream* s = OpenSoundStream(path.c_str());
    int32_t length = SoundStreamLengthMs(s);
    PlaySoundStream(s);
    // Pulled as the output's thread would, while the decoder works beside it.
    for (int32_t ms = 0; ms < length;) {
      plat::PullAudioSinkForTests(out.data(), kPullFrames);
      int32_t now = SoundStreamTimeMs(s);
      if (now == ms) std::this_thread::sleep_for(std::chrono::microseconds(100));
      ms = now;
    }
    CloseSoundStream(s);
    state.counters["audio_s"] = length / 1000.0;
  }
}
BENCHMARK(BM_SoundDecodeWholeFile)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
