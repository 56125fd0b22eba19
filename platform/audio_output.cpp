// The one SDL audio device, shared by the music and the click.
#include "platform/audio_output.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

namespace plat {
namespace {

constexpr int kPreferredRate = 48000;
// The decoder gives mono or stereo; SDL turns stereo into whatever the
// device has.
constexpr int kChannels = 2;
constexpr int kBufferFrames = 1024;
// An output that has been silent this long is closed (an open device wakes
// its thread for every buffer, even when paused).
constexpr Uint32 kIdleCloseMs = 3000;

struct Effect {
  std::vector<float> samples;
  size_t pos = 0;
};

struct Output {
  // Held by the audio thread while it mixes, and by whoever changes a source.
  std::mutex mixMutex;
  AudioPull musicPull = nullptr;
  void* musicUser = nullptr;
  std::vector<Effect> effects;

  // Opening and closing the device.
  std::mutex deviceMutex;
  std::atomic<SDL_AudioDeviceID> device{0};
  bool failed = false;
  std::atomic<bool> sink{false};
  AudioFormat format;
  int deviceFrames = kBufferFrames;
  std::atomic<Uint32> lastSoundTicks{0};
  std::atomic<Uint32> lastMixTicks{0};
  std::atomic<uint64_t> mixedFrames{0};
  int failOpens = 0;

  // The thread that opens the device for a click, so the click never waits.
  std::mutex controlMutex;
  std::condition_variable controlWake;
  bool openWanted = false;
  bool quitting = false;
  std::thread controller;

  ~Output() {
    {
      std::lock_guard lock(controlMutex);
      quitting = true;
    }
    controlWake.notify_all();
    if (controller.joinable()) controller.join();
    std::lock_guard lock(deviceMutex);
    if (device) SDL_CloseAudioDevice(device);
    device = 0;
  }
};

Output& Out() {
  static Output output;
  return output;
}

// Mixes into out (interleaved, the output format). Caller holds mixMutex.
void Mix(Output& o, float* out, size_t frames) {
  const size_t channels = static_cast<size_t>(std::max(o.format.channels, 1));
  // The music writes from the start; only what it leaves is silenced.
  size_t music = o.musicPull ? o.musicPull(out, frames, o.musicUser) : 0;
  std::fill(out + music * channels, out + frames * channels, 0.0f);
  bool sounding = music > 0;
  for (Effect& e : o.effects) {
    size_t n = std::min(frames * channels, e.samples.size() - e.pos);
    for (size_t i = 0; i < n; ++i) out[i] = std::clamp(out[i] + e.samples[e.pos + i], -1.0f, 1.0f);
    e.pos += n;
    sounding = true;
  }
  std::erase_if(o.effects, [](const Effect& e) { return e.pos >= e.samples.size(); });
  o.mixedFrames += frames;
  Uint32 now = SDL_GetTicks();
  o.lastMixTicks = now;
  if (sounding) o.lastSoundTicks = now;
}

void SDLCALL Callback(void* user, Uint8* stream, int len) {
  Output& o = *static_cast<Output*>(user);
  std::lock_guard lock(o.mixMutex);
  size_t frames = static_cast<size_t>(len) / sizeof(float) /
                  static_cast<size_t>(std::max(o.format.channels, 1));
  Mix(o, reinterpret_cast<float*>(stream), frames);
}

// Caller holds deviceMutex.
bool OpenDevice(Output& o) {
  if (o.failOpens > 0) {
    --o.failOpens;
    return false;
  }
  if (o.device || o.sink) return true;
  if (!SDL_WasInit(SDL_INIT_AUDIO) && SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
  SDL_AudioSpec want{};
  want.freq = o.format.rate ? o.format.rate : kPreferredRate;
  want.format = AUDIO_F32SYS;
  want.channels = kChannels;
  want.samples = kBufferFrames;
  want.callback = Callback;
  want.userdata = &o;
  SDL_AudioSpec got{};
  // The first open takes the device's own rate; later opens keep it, since
  // the music is already decoded for it.
  int allowed = o.format.rate ? 0 : SDL_AUDIO_ALLOW_FREQUENCY_CHANGE;
  {
    std::lock_guard lock(o.mixMutex);
    o.format = AudioFormat{o.format.rate ? o.format.rate : want.freq, kChannels};
  }
  SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &want, &got, allowed);
  if (!device) return false;
  {
    std::lock_guard lock(o.mixMutex);
    o.format.rate = got.freq;
    o.deviceFrames = got.samples;
  }
  o.device = device;
  o.lastSoundTicks = SDL_GetTicks();
  SDL_PauseAudioDevice(device, 0);
  return true;
}

void ControllerLoop() {
  Output& o = Out();
  std::unique_lock lock(o.controlMutex);
  for (;;) {
    o.controlWake.wait(lock, [&] { return o.openWanted || o.quitting; });
    if (o.quitting) return;
    o.openWanted = false;
    lock.unlock();
    {
      std::lock_guard device(o.deviceMutex);
      if (!o.failed && !OpenDevice(o)) o.failed = true;
    }
    lock.lock();
  }
}

}  // namespace

bool OpenAudioOutput(bool retry) {
  Output& o = Out();
  std::lock_guard lock(o.deviceMutex);
  if (o.failed && !retry) return false;
  o.failed = !OpenDevice(o);
  return !o.failed;
}

AudioFormat AudioOutputFormat() {
  Output& o = Out();
  std::lock_guard lock(o.mixMutex);
  return o.format;
}

void SetMusicSource(AudioPull pull, void* user) {
  Output& o = Out();
  std::lock_guard lock(o.mixMutex);
  o.musicPull = pull;
  o.musicUser = user;
}

void PlayEffect(std::vector<float> samples) {
  Output& o = Out();
  if (samples.empty()) return;
  // A device being opened right now holds the lock: nothing more to ask.
  bool needOpen = false;
  if (o.deviceMutex.try_lock()) {
    needOpen = !o.device && !o.sink && !o.failed;
    o.deviceMutex.unlock();
  }
  {
    std::lock_guard lock(o.mixMutex);
    o.effects.push_back(Effect{std::move(samples), 0});
  }
  if (!needOpen) return;
  std::lock_guard lock(o.controlMutex);
  if (!o.controller.joinable()) o.controller = std::thread(ControllerLoop);
  o.openWanted = true;
  o.controlWake.notify_one();
}

size_t AudioOutputDelayFrames() {
  Output& o = Out();
  if (o.sink || !o.device) return 0;
  // The buffer mixed last starts to sound when the one before it has
  // played; what is left of it shrinks as time passes.
  Uint32 since = SDL_GetTicks() - o.lastMixTicks.load();
  size_t played = static_cast<size_t>(since) * static_cast<size_t>(o.format.rate) / 1000;
  size_t buffer = static_cast<size_t>(o.deviceFrames);
  return buffer + (played < buffer ? buffer - played : 0);
}

uint64_t AudioOutputMixedFrames() {
  return Out().mixedFrames.load();
}

void CloseIdleAudioOutput() {
  Output& o = Out();
  std::lock_guard lock(o.deviceMutex);
  if (!o.device || SDL_GetTicks() - o.lastSoundTicks.load() < kIdleCloseMs) return;
  {
    std::lock_guard mix(o.mixMutex);
    if (!o.effects.empty()) return;
  }
  // The audio thread takes mixMutex: it must not be held while SDL joins it.
  SDL_CloseAudioDevice(o.device);
  o.device = 0;
}

void UseAudioSinkForTests(AudioFormat format) {
  Output& o = Out();
  std::lock_guard lock(o.deviceMutex);
  if (o.device) SDL_CloseAudioDevice(o.device);
  o.device = 0;
  o.failed = false;
  o.sink = true;
  o.failOpens = 0;
  std::lock_guard mix(o.mixMutex);
  o.format = format;
  o.effects.clear();
  o.musicPull = nullptr;
  o.musicUser = nullptr;
}

size_t PullAudioSinkForTests(float* out, size_t frames) {
  Output& o = Out();
  std::lock_guard lock(o.mixMutex);
  Mix(o, out, frames);
  return frames;
}

void FailAudioOpensForTests(int count) {
  Output& o = Out();
  std::lock_guard lock(o.deviceMutex);
  o.failOpens = count;
}

}  // namespace plat
