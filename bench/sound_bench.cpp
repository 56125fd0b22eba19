// Opening a music file (tags, open, exact length, first audio) and decoding
// it through the back end as fast as it goes. The file is $VESK_BENCH_FILE:
// tools/benchmarks.sh gives a 10 MB MP3 without a Xing header, whose length
// takes a frame scan, and five minutes of music as FLAC, Ogg Vorbis and Opus.
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
#include "platform/test_hooks.h"
#include "playback/tags.h"

namespace {

constexpr int kRate = 44100;

void WaitForDecoder() {
  while (!SoundDecoderIdleForTests()) std::this_thread::sleep_for(std::chrono::microseconds(100));
}

// The benchmark file's folder as the music root; its device path.
std::u16string BenchFile(int rate = kRate) {
  const char* file = std::getenv("VESK_BENCH_FILE");
  if (!file) return {};
  std::filesystem::path path(file);
  setenv("VESK_MUSIC_DIR", path.parent_path().c_str(), 1);
  plat::ResetMusicRootForTests();
  plat::UseAudioSinkForTests(plat::AudioFormat{rate, 2});
  StartSound();
  return u"\\" + plat::FromUtf8(path.filename().string());
}

void BM_SoundOpenTrack(benchmark::State& state) {
  std::u16string path = BenchFile();
  if (path.empty()) return state.SkipWithError("VESK_BENCH_FILE not set");
  std::vector<float> first(1024 * 2);
  for (auto _ : state) {
    TrackTags tags;
    ReadTrackTags(path.c_str(), &tags);
    SoundStream* s = OpenSoundStream(path.c_str());
    PlaySoundStream(s);
    // Until the decoder's first step is queued and taken, not the whole ring.
    do {
      plat::PullAudioSinkForTests(first.data(), 1024);
    } while (SoundStreamTimeMs(s) == 0);
    benchmark::DoNotOptimize(SoundStreamLengthMs(s));
    CloseSoundStream(s);
  }
}
BENCHMARK(BM_SoundOpenTrack)->Unit(benchmark::kMillisecond);

// Decodes the whole file through the ring at the output rate given, the
// file's own (compare with mpg123 -t, flac -d, oggdec, opusdec) or 48 kHz
// (mpg123 -t -r 48000 --resample NtoM, the resampler the back end uses for
// MP3). Its CPU column is the whole
// process's, against mpg123's user + system time. The open is not timed: it has a
// benchmark of its own and counts every frame, which mpg123 -t does not.
void BM_SoundDecodeWholeFile(benchmark::State& state) {
  const int rate = static_cast<int>(state.range(0));
  std::u16string path = BenchFile(rate);
  if (path.empty()) return state.SkipWithError("VESK_BENCH_FILE not set");
  // Half of what the back end decodes ahead: each pull wakes the decoder.
  const size_t pullFrames = static_cast<size_t>(rate);
  std::vector<float> out(pullFrames * 2);
  for (auto _ : state) {
    state.PauseTiming();
    SoundStream* s = OpenSoundStream(path.c_str());
    int32_t length = SoundStreamLengthMs(s);
    state.ResumeTiming();
    PlaySoundStream(s);
    // Pulled only once the decoder has filled the ring, so that the puller
    // does not spin beside it on the same cores.
    for (int32_t ms = 0; ms < length; ms = SoundStreamTimeMs(s)) {
      WaitForDecoder();
      plat::PullAudioSinkForTests(out.data(), pullFrames);
    }
    CloseSoundStream(s);
    state.counters["audio_s"] = length / 1000.0;
  }
}
BENCHMARK(BM_SoundDecodeWholeFile)
    ->Arg(kRate)
    ->Arg(48000)
    ->MeasureProcessCPUTime()  // the decoder's thread and the puller's
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace
