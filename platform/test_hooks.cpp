// The platform's side of test_hooks.h that reaches into the context: the
// sound output's second device, which the test pulls from, and the decoder's
// idle probe.
#include "platform/test_hooks.h"

#include <algorithm>

#include "platform/context.h"

namespace plat {
namespace {

// A device that the test drives from its own thread: it mixes only when
// pulled, in the format the test chose, and fails or goes away when told to.
struct PullDevice : AudioDevice {
  explicit PullDevice(AudioFormat format) : format(format) {}
  bool Open(int, AudioFormat* took) override {
    if (failOpens > 0) {
      --failOpens;
      return false;
    }
    open = true;
    lost = false;
    *took = format;
    return true;
  }
  void Close() override {
    std::lock_guard lock(pulling);  // after a pull in progress, as SDL's close after its mix
    open = false;
  }
  bool IsOpen() override { return open; }
  bool Playing() override { return open && !lost; }
  size_t DelayFrames() override { return 0; }
  bool OpensAtOnce() override { return true; }

  const AudioFormat format;
  std::atomic<bool> open{false};
  std::atomic<bool> lost{false};
  std::atomic<int> failOpens{0};
  std::mutex pulling;  // after the output's device lock, before its mix lock
};

// The output's device, once UseAudioSinkForTests has made it a sink.
PullDevice& Sink() {
  return static_cast<PullDevice&>(*Ctx().output.device);
}

}  // namespace

void UseAudioSinkForTests(AudioFormat format) {
  AudioOutput& o = Ctx().output;
  std::lock_guard lock(o.deviceMutex);
  if (o.device->IsOpen()) o.device->Close();
  o.openFailed = false;
  o.held = false;
  std::lock_guard mix(o.mixMutex);
  o.device = std::make_unique<PullDevice>(format);
  o.format = format;
  o.effects.clear();
  o.musicPull = nullptr;
  o.musicUser = nullptr;
}

size_t PullAudioSinkForTests(float* out, size_t frames) {
  // A closed or lost device gives silence and takes nothing from the sources.
  std::lock_guard lock(Sink().pulling);
  if (Sink().Playing()) {
    MixAudio(out, frames);
  } else {
    std::fill(out, out + frames * static_cast<size_t>(Sink().format.channels), 0.0f);
  }
  return frames;
}

bool AudioSinkOpenForTests() {
  return Sink().IsOpen();
}

void FailAudioOpensForTests(int count) {
  Sink().failOpens = count;
}

void LoseAudioSinkForTests() {
  Sink().lost = true;
}

}  // namespace plat

bool SoundDecoderIdleForTests() {
  plat::DecoderRing& d = plat::Ctx().decoder;
  std::lock_guard lock(d.mutex);
  return d.decoderWaiting;
}
