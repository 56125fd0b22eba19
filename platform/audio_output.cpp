// The one SDL audio device, shared by the music and the click.
#include "platform/audio_output.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <thread>

#include "platform/device.h"
#include "platform/lock_order.h"

namespace plat {
namespace {

constexpr int kPreferredRate = 48000;
// The decoder gives mono or stereo; SDL turns stereo into whatever the
// device has.
constexpr int kChannels = 2;
// A device buffer of 48 ms: about 21 wake-ups of the audio thread a second,
// and a click or a pause is heard within one buffer.
constexpr int kBufferMs = 48;
// An output that has been silent this long is closed, unless music plays
// (an open device wakes its thread for every buffer, even when paused).
constexpr uint64_t kIdleCloseMs = 3000;
// After a failed open, plays and clicks try again at most this often.
constexpr DWORD kRetryMs = 500;

struct Effect {
  std::vector<float> samples;
  size_t pos = 0;
};

struct Output {
  // Opening and closing the device, and the back-off after a failure.
  OrderedMutex deviceMutex{LockPlace::kDevice};
  std::atomic<SDL_AudioDeviceID> device{0};
  bool openFailed = false;
  DWORD attemptTicks = 0;  // when an open was last tried or asked for
  int failOpens = 0;
  std::atomic<bool> held{false};
  // Held by the audio thread while it mixes, and by whoever changes a source
  // or the format.
  OrderedMutex mixMutex{LockPlace::kMix};
  AudioPull musicPull = nullptr;
  void* musicUser = nullptr;
  std::vector<Effect> effects;
  AudioFormat format;
  // Of the open device, for the delay: read by any thread.
  std::atomic<int> deviceRate{0};
  std::atomic<int> deviceFrames{0};
  std::atomic<bool> sink{false};
  bool sinkOpen = false;  // under both locks
  bool sinkLost = false;
  std::atomic<Uint32> lastMixTicks{0};
  std::atomic<uint64_t> mixedFrames{0};
  std::atomic<uint64_t> lastSoundFrame{0};

  // The thread that opens the device for a click, so the click never waits.
  OrderedMutex controlMutex{LockPlace::kControl};
  std::condition_variable_any controlWake;
  bool openWanted = false;
  std::thread controller;
};

// Never destroyed: at exit the device is left to end with the process, as
// the music is (closing it waits a buffer's time for its thread), and that
// thread may still mix until then.
Output& Out() {
  static Output* output = new Output;
  return *output;
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
  o.lastMixTicks = SDL_GetTicks();
  if (sounding) o.lastSoundFrame = o.mixedFrames.load();
}

void SDLCALL Callback(void* user, Uint8* stream, int len) {
  Output& o = *static_cast<Output*>(user);
  std::lock_guard lock(o.mixMutex);
  size_t frames = static_cast<size_t>(len) / sizeof(float) /
                  static_cast<size_t>(std::max(o.format.channels, 1));
  Mix(o, reinterpret_cast<float*>(stream), frames);
}

// Caller holds deviceMutex.
bool IsOpen(const Output& o) {
  return o.sink ? o.sinkOpen : o.device != 0;
}

// Caller holds deviceMutex.
bool OpenDevice(Output& o) {
  if (IsOpen(o)) return true;
  if (o.failOpens > 0) {
    --o.failOpens;
    return false;
  }
  o.lastSoundFrame = o.mixedFrames.load();  // the quiet spell starts now
  if (o.sink) {
    std::lock_guard lock(o.mixMutex);
    o.sinkOpen = true;
    o.sinkLost = false;
    return true;
  }
  if (!SDL_WasInit(SDL_INIT_AUDIO) && SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
  // The first open takes the device's own rate; later opens keep it, since
  // the music is already decoded for it.
  const int rate = AudioOutputFormat().rate;
  SDL_AudioSpec want{};
  want.freq = rate ? rate : kPreferredRate;
  want.format = AUDIO_F32SYS;
  want.channels = kChannels;
  want.samples = static_cast<Uint16>(want.freq * kBufferMs / 1000);
  want.callback = Callback;
  want.userdata = &o;
  SDL_AudioSpec got{};
  SDL_AudioDeviceID device =
      SDL_OpenAudioDevice(nullptr, 0, &want, &got, rate ? 0 : SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
  if (!device) return false;
  {
    std::lock_guard lock(o.mixMutex);
    o.format = AudioFormat{got.freq, kChannels};
  }
  o.deviceRate = got.freq;
  o.deviceFrames = got.samples;
  o.device = device;
  SDL_PauseAudioDevice(device, 0);
  return true;
}

// Caller holds deviceMutex.
void CloseDevice(Output& o) {
  if (o.sink) {
    std::lock_guard lock(o.mixMutex);
    o.sinkOpen = false;
    return;
  }
  // The audio thread takes mixMutex: it must not be held while SDL joins it.
  SDL_CloseAudioDevice(o.device);
  o.device = 0;
}

// Caller holds deviceMutex. Opens unless a failure is too recent; `ticks`
// is when the open was asked for.
bool TryOpen(Output& o, DWORD ticks, bool now) {
  if (IsOpen(o)) return true;
  if (!now && o.openFailed && ticks - o.attemptTicks < kRetryMs) return false;
  o.openFailed = !OpenDevice(o);
  o.attemptTicks = ticks;
  return !o.openFailed;
}

void ControllerLoop() {
  Output& o = Out();
  std::unique_lock lock(o.controlMutex);
  for (;;) {
    o.controlWake.wait(lock, [&] { return o.openWanted; });
    o.openWanted = false;
    lock.unlock();
    {
      std::lock_guard device(o.deviceMutex);
      TryOpen(o, o.attemptTicks, true);  // the back-off was weighed when it was asked
    }
    lock.lock();
  }
}

}  // namespace

bool OpenAudioOutput(bool now) {
  Output& o = Out();
  std::lock_guard lock(o.deviceMutex);
  return TryOpen(o, GetTickCount(), now);
}

AudioFormat AudioOutputFormat() {
  Output& o = Out();
  std::lock_guard lock(o.mixMutex);
  return o.format;
}

void HoldAudioOutput(bool held) {
  Out().held = held;
}

bool AudioOutputLost() {
  Output& o = Out();
  std::lock_guard lock(o.deviceMutex);
  if (!o.held) return false;
  bool running = o.sink ? o.sinkOpen && !o.sinkLost
                        : o.device && SDL_GetAudioDeviceStatus(o.device) == SDL_AUDIO_PLAYING;
  if (running) return false;
  if (IsOpen(o)) CloseDevice(o);
  return true;
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
  {
    std::lock_guard lock(o.mixMutex);
    o.effects.push_back(Effect{std::move(samples), 0});
  }
  // A device being opened right now holds the lock: nothing more to ask.
  if (!o.deviceMutex.try_lock()) return;
  const DWORD ticks = GetTickCount();
  bool ask = !IsOpen(o) && !(o.openFailed && ticks - o.attemptTicks < kRetryMs);
  if (ask && o.sink) {
    TryOpen(o, ticks, true);  // a sink opens at once
    ask = false;
  }
  if (ask) o.attemptTicks = ticks;
  o.deviceMutex.unlock();
  if (!ask) return;
  std::lock_guard lock(o.controlMutex);
  if (!o.controller.joinable())
    o.controller = std::thread(ControllerLoop);  // ends with the process
  o.openWanted = true;
  o.controlWake.notify_one();
}

size_t AudioOutputDelayFrames() {
  Output& o = Out();
  if (o.sink || !o.device) return 0;
  // The buffer mixed last starts to sound when the one before it has
  // played; what is left of it shrinks as time passes.
  Uint32 since = SDL_GetTicks() - o.lastMixTicks.load();
  size_t buffer = static_cast<size_t>(o.deviceFrames.load());
  size_t played = static_cast<size_t>(since) * static_cast<size_t>(o.deviceRate.load()) / 1000;
  return buffer + (played < buffer ? buffer - played : 0);
}

uint64_t AudioOutputMixedFrames() {
  return Out().mixedFrames.load();
}

void CloseIdleAudioOutput() {
  Output& o = Out();
  std::lock_guard lock(o.deviceMutex);
  if (!IsOpen(o) || o.held) return;
  const uint64_t quiet = o.mixedFrames.load() - o.lastSoundFrame.load();
  {
    std::lock_guard mix(o.mixMutex);
    if (!o.effects.empty()) return;
    if (quiet < kIdleCloseMs * static_cast<uint64_t>(o.format.rate) / 1000) return;
  }
  CloseDevice(o);
}

void UseAudioSinkForTests(AudioFormat format) {
  Output& o = Out();
  std::lock_guard lock(o.deviceMutex);
  if (o.device) SDL_CloseAudioDevice(o.device);
  o.device = 0;
  o.openFailed = false;
  o.failOpens = 0;
  o.held = false;
  o.sink = true;
  std::lock_guard mix(o.mixMutex);
  o.sinkOpen = false;
  o.sinkLost = false;
  o.format = format;
  o.effects.clear();
  o.musicPull = nullptr;
  o.musicUser = nullptr;
}

size_t PullAudioSinkForTests(float* out, size_t frames) {
  Output& o = Out();
  std::lock_guard lock(o.mixMutex);
  if (o.sinkOpen && !o.sinkLost) {
    Mix(o, out, frames);
  } else {
    std::fill(out, out + frames * static_cast<size_t>(o.format.channels), 0.0f);
  }
  return frames;
}

bool AudioSinkOpenForTests() {
  Output& o = Out();
  std::lock_guard lock(o.deviceMutex);
  return IsOpen(o);
}

void FailAudioOpensForTests(int count) {
  Output& o = Out();
  std::lock_guard lock(o.deviceMutex);
  o.failOpens = count;
}

void LoseAudioSinkForTests() {
  Output& o = Out();
  std::lock_guard lock(o.deviceMutex);
  std::lock_guard mix(o.mixMutex);
  o.sinkLost = true;
}

}  // namespace plat
