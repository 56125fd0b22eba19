// The program's one sound output, shared by the music and the click, and
// SDL's device behind it.
#include "platform/audio_output.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "platform/context.h"
#include "platform/device.h"

namespace plat {
namespace {

constexpr int kPreferredRate = 48000;
constexpr int kChannels = 2;
// A device buffer of 48 ms: about 21 wake-ups of the audio thread a second,
// and a click or a pause is heard within one buffer.
constexpr int kBufferMs = 48;
// An output that has been silent this long is closed, unless music plays
// (an open device wakes its thread for every buffer, even when paused).
constexpr uint64_t kIdleCloseMs = 3000;
// After a failed open, plays and clicks try again at most this often.
constexpr DWORD kRetryMs = 500;

// SDL's device: float samples at the device's own rate, in stereo that SDL
// turns into whatever the device has.
class SdlAudioDevice : public AudioDevice {
 public:
  bool Open(int rate, AudioFormat* format) override {
    if (!SDL_WasInit(SDL_INIT_AUDIO) && SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    SDL_AudioSpec want{};
    want.freq = rate ? rate : kPreferredRate;
    want.format = AUDIO_F32SYS;
    want.channels = kChannels;
    want.samples = static_cast<Uint16>(want.freq * kBufferMs / 1000);
    want.callback = Callback;
    want.userdata = this;
    SDL_AudioSpec got{};
    SDL_AudioDeviceID device =
        SDL_OpenAudioDevice(nullptr, 0, &want, &got, rate ? 0 : SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
    if (!device) return false;
    *format = AudioFormat{got.freq, kChannels};
    rate_ = got.freq;
    frames_ = got.samples;
    device_ = device;
    SDL_PauseAudioDevice(device, 0);
    return true;
  }
  void Close() override {
    // SDL joins the device's thread, which may be waiting for the mix lock:
    // the caller holds none.
    SDL_CloseAudioDevice(device_);
    device_ = 0;
  }
  bool IsOpen() override { return device_ != 0; }
  bool Playing() override {
    return device_ && SDL_GetAudioDeviceStatus(device_) == SDL_AUDIO_PLAYING;
  }
  size_t DelayFrames() override {
    if (!device_) return 0;
    // The buffer mixed last starts to sound when the one before it has
    // played; what is left of it shrinks as time passes.
    Uint32 since = SDL_GetTicks() - lastMixTicks_.load();
    size_t buffer = static_cast<size_t>(frames_.load());
    size_t played = static_cast<size_t>(since) * static_cast<size_t>(rate_.load()) / 1000;
    return buffer + (played < buffer ? buffer - played : 0);
  }

 private:
  static void SDLCALL Callback(void* user, Uint8* stream, int len) {
    auto& self = *static_cast<SdlAudioDevice*>(user);
    MixAudio(reinterpret_cast<float*>(stream),
             static_cast<size_t>(len) / sizeof(float) / kChannels);
    self.lastMixTicks_ = SDL_GetTicks();
  }

  // Read by any thread, for the delay.
  std::atomic<SDL_AudioDeviceID> device_{0};
  std::atomic<int> rate_{0};
  std::atomic<int> frames_{0};
  std::atomic<Uint32> lastMixTicks_{0};
};

// Caller holds deviceMutex.
bool OpenDevice(AudioOutput& o) {
  if (o.device->IsOpen()) return true;
  o.lastSoundFrame = o.mixedFrames.load();  // the quiet spell starts now
  // The first open takes the device's own rate; later opens keep it, since
  // the music is already decoded for it.
  AudioFormat format;
  if (!o.device->Open(AudioOutputFormat().rate, &format)) return false;
  std::lock_guard lock(o.mixMutex);
  o.format = format;
  return true;
}

// Caller holds deviceMutex. Opens unless a failure is too recent; `ticks`
// is when the open was asked for.
bool TryOpen(AudioOutput& o, DWORD ticks, bool now) {
  if (o.device->IsOpen()) return true;
  if (!now && o.openFailed && ticks - o.attemptTicks < kRetryMs) return false;
  o.openFailed = !OpenDevice(o);
  o.attemptTicks = ticks;
  return !o.openFailed;
}

void ControllerLoop() {
  AudioOutput& o = Ctx().output;
  std::unique_lock lock(o.controlMutex);
  for (;;) {
    o.controlWake.wait(lock, [&] { return o.openWanted || o.ending; });
    if (o.ending) return;
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

std::unique_ptr<AudioDevice> MakeSdlAudioDevice() {
  return std::make_unique<SdlAudioDevice>();
}

void MixAudio(float* out, size_t frames) {
  AudioOutput& o = Ctx().output;
  std::lock_guard lock(o.mixMutex);
  const size_t channels = static_cast<size_t>(std::max(o.format.channels, 1));
  // The music writes from the start; only what it leaves is silenced.
  size_t music = o.musicPull ? o.musicPull(out, frames, o.musicUser) : 0;
  std::fill(out + music * channels, out + frames * channels, 0.0f);
  bool sounding = music > 0;
  for (AudioEffect& e : o.effects) {
    size_t n = std::min(frames * channels, e.samples.size() - e.pos);
    for (size_t i = 0; i < n; ++i) out[i] = std::clamp(out[i] + e.samples[e.pos + i], -1.0f, 1.0f);
    e.pos += n;
    sounding = true;
  }
  std::erase_if(o.effects, [](const AudioEffect& e) { return e.pos >= e.samples.size(); });
  o.mixedFrames += frames;
  if (sounding) o.lastSoundFrame = o.mixedFrames.load();
}

bool OpenAudioOutput(bool now) {
  AudioOutput& o = Ctx().output;
  std::lock_guard lock(o.deviceMutex);
  return TryOpen(o, GetTickCount(), now);
}

AudioFormat AudioOutputFormat() {
  AudioOutput& o = Ctx().output;
  std::lock_guard lock(o.mixMutex);
  return o.format;
}

void HoldAudioOutput(bool held) {
  Ctx().output.held = held;
}

bool AudioOutputLost() {
  AudioOutput& o = Ctx().output;
  std::lock_guard lock(o.deviceMutex);
  if (!o.held) return false;
  if (o.device->Playing()) return false;
  if (o.device->IsOpen()) o.device->Close();
  return true;
}

void SetMusicSource(AudioPull pull, void* user) {
  AudioOutput& o = Ctx().output;
  std::lock_guard lock(o.mixMutex);
  o.musicPull = pull;
  o.musicUser = user;
}

void PlayEffect(std::vector<float> samples) {
  AudioOutput& o = Ctx().output;
  if (samples.empty()) return;
  {
    std::lock_guard lock(o.mixMutex);
    o.effects.push_back(AudioEffect{std::move(samples), 0});
  }
  // A device being opened right now holds the lock: nothing more to ask.
  if (!o.deviceMutex.try_lock()) return;
  const DWORD ticks = GetTickCount();
  bool ask = !o.device->IsOpen() && !(o.openFailed && ticks - o.attemptTicks < kRetryMs);
  if (ask && o.device->OpensAtOnce()) {
    TryOpen(o, ticks, true);
    ask = false;
  }
  if (ask) o.attemptTicks = ticks;
  o.deviceMutex.unlock();
  if (!ask) return;
  std::lock_guard lock(o.controlMutex);
  if (o.ending) return;
  if (!o.controller.joinable()) o.controller = std::thread(ControllerLoop);
  o.openWanted = true;
  o.controlWake.notify_one();
}

size_t AudioOutputDelayFrames() {
  return Ctx().output.device->DelayFrames();
}

uint64_t AudioOutputMixedFrames() {
  return Ctx().output.mixedFrames.load();
}

void CloseIdleAudioOutput() {
  AudioOutput& o = Ctx().output;
  std::lock_guard lock(o.deviceMutex);
  if (!o.device->IsOpen() || o.held) return;
  const uint64_t quiet = o.mixedFrames.load() - o.lastSoundFrame.load();
  {
    std::lock_guard mix(o.mixMutex);
    if (!o.effects.empty()) return;
    if (quiet < kIdleCloseMs * static_cast<uint64_t>(o.format.rate) / 1000) return;
  }
  o.device->Close();
}

void EndAudioOutput() {
  AudioOutput& o = Ctx().output;
  {
    std::lock_guard lock(o.controlMutex);
    o.ending = true;
    o.controlWake.notify_one();
  }
  if (o.controller.joinable()) o.controller.join();
  // The device itself is left to end with the process: closing it waits for
  // its thread's buffers (over 100 ms), which would only delay the quit.
}

}  // namespace plat
