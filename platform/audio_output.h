// The program's one sound output: the music of the sound back end and the
// click mix into it. For the platform's own .cpp files only.
//
// The device is opened at its own rate and channel count (float samples,
// interleaved); whoever feeds it produces that format. While no music plays
// it is closed again after a few quiet seconds, so that an idle player does
// not wake for the audio thread, and every play and click opens it again.
// Without an audio device everything here is silent and nothing fails loudly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace plat {

struct AudioFormat {
  int rate = 0;
  int channels = 0;
};

// Opens the device now (blocking) when it is closed. False when there is no
// device; after a failed open, further opens within a short back-off fail
// at once, unless `now` is set.
bool OpenAudioOutput(bool now = false);
// The format fixed by the first successful open; {0, 0} before.
AudioFormat AudioOutputFormat();
// While held (music plays), the device stays open through any silence.
void HoldAudioOutput(bool held);
// True while held but not heard: the device failed to open, or it went away
// (a sound server restarting, a headset unplugged). A device that went away
// is closed, so that the next open starts afresh.
bool AudioOutputLost();

// The music: called on the audio thread for up to `frames` frames in the
// output format; writes the first ones and returns how many (the rest is
// silence, and 0 counts as quiet for closing the idle device). Setting a new source, or null,
// returns only after a mix that uses the old one has finished.
using AudioPull = size_t (*)(float* out, size_t frames, void* user);
void SetMusicSource(AudioPull pull, void* user);

// A short sound in the output format, mixed over the music. Never blocks the
// caller: a closed device is opened on the output's own thread.
void PlayEffect(std::vector<float> samples);

// Frames already taken from the sources that the listener has not heard yet.
size_t AudioOutputDelayFrames();
// Frames mixed since the output was first used; during a pull, the frames
// before the buffer being filled. With the delay it places a frame in time.
uint64_t AudioOutputMixedFrames();

// Called by the message loop before it waits: closes a device that has been
// quiet for a while, unless it is held.
void CloseIdleAudioOutput();

// The device behind the output: SDL's, or one that a test drives
// (test_hooks.h). Called with the output's device lock held, except
// DelayFrames.
class AudioDevice {
 public:
  virtual ~AudioDevice() = default;
  // Opens at the rate (0: the device's own) and from then on calls MixAudio
  // for every buffer; the format it took. False when there is no device.
  virtual bool Open(int rate, AudioFormat* format) = 0;
  // Closes, after a mix in progress has finished.
  virtual void Close() = 0;
  virtual bool IsOpen() = 0;
  // Open and heard: not gone away.
  virtual bool Playing() = 0;
  // Frames mixed that the listener has not heard yet; any thread.
  virtual size_t DelayFrames() = 0;
  // Whether an open never waits, so that a click may open it at once.
  virtual bool OpensAtOnce() { return false; }
};
std::unique_ptr<AudioDevice> MakeSdlAudioDevice();
// Mixes the music and the effects into `frames` frames of the output format.
void MixAudio(float* out, size_t frames);

}  // namespace plat
