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

// Tests: the device is a sink that the test pulls from, closed until opened;
// resets the output. Pulling a closed or lost sink gives silence and takes
// nothing from the sources, as a closed device would.
void UseAudioSinkForTests(AudioFormat format);
size_t PullAudioSinkForTests(float* out, size_t frames);
bool AudioSinkOpenForTests();
// Tests: the next `count` opens of the device fail as on a machine without one.
void FailAudioOpensForTests(int count);
// Tests: the sink goes away as a sound server that stops would.
void LoseAudioSinkForTests();

}  // namespace plat
