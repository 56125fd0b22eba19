// The click: a small RIFF/WAVE resource, converted once to the sound
// output's format and mixed over the music.
#include "platform/sound.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "platform/audio_output.h"
#include "platform/internal.h"

namespace plat {
namespace {

constexpr uint16_t kPcm = 1;
constexpr float kEightBitMiddle = 128.0f;
constexpr float kEightBitScale = 128.0f;
constexpr float kSixteenBitScale = 32768.0f;

struct Wave {
  int rate = 0;
  int channels = 0;
  std::vector<float> mono;  // the channels averaged, -1..1
};

uint32_t Le32(const unsigned char* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t{p[3]} << 24);
}
uint16_t Le16(const unsigned char* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

// PCM of 8 or 16 bits, any channel count; false for anything else.
bool ParseWave(const unsigned char* data, size_t size, Wave* out) {
  if (size < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WAVE", 4) != 0) {
    return false;
  }
  int bits = 0;
  const unsigned char* samples = nullptr;
  size_t sampleBytes = 0;
  for (size_t at = 12; at + 8 <= size;) {
    uint32_t length = Le32(data + at + 4);
    const unsigned char* body = data + at + 8;
    size_t available = std::min<size_t>(length, size - at - 8);
    if (std::memcmp(data + at, "fmt ", 4) == 0 && available >= 16) {
      if (Le16(body) != kPcm) return false;
      out->channels = Le16(body + 2);
      out->rate = static_cast<int>(Le32(body + 4));
      bits = Le16(body + 14);
    } else if (std::memcmp(data + at, "data", 4) == 0) {
      samples = body;
      sampleBytes = available;
    }
    at += 8 + size_t{length} + (length & 1);
  }
  if (!samples || out->channels <= 0 || out->rate <= 0 || (bits != 8 && bits != 16)) return false;
  size_t frameBytes = static_cast<size_t>(out->channels) * (bits / 8);
  for (size_t f = 0; f + frameBytes <= sampleBytes; f += frameBytes) {
    float sum = 0;
    for (int c = 0; c < out->channels; ++c) {
      const unsigned char* s = samples + f + c * (bits / 8);
      sum += bits == 8 ? (s[0] - kEightBitMiddle) / kEightBitScale
                       : static_cast<int16_t>(Le16(s)) / kSixteenBitScale;
    }
    out->mono.push_back(sum / out->channels);
  }
  return !out->mono.empty();
}

// Linear interpolation to the output rate, the same signal on every channel.
std::vector<float> Convert(const Wave& wave, AudioFormat format) {
  size_t frames = wave.mono.size() * static_cast<size_t>(format.rate) / wave.rate;
  std::vector<float> out;
  out.reserve(frames * format.channels);
  for (size_t i = 0; i < frames; ++i) {
    double at = static_cast<double>(i) * wave.rate / format.rate;
    size_t k = static_cast<size_t>(at);
    double frac = at - k;
    float a = wave.mono[k];
    float b = k + 1 < wave.mono.size() ? wave.mono[k + 1] : a;
    float v = static_cast<float>(a + (b - a) * frac);
    out.insert(out.end(), format.channels, v);
  }
  return out;
}

std::mutex cacheMutex;
// Converted sounds by resource name, for the format they were made for.
struct Converted {
  AudioFormat format;
  std::vector<float> samples;
};
std::map<std::u16string, Converted> cache;

}  // namespace
}  // namespace plat

using namespace plat;

BOOL PlaySoundW(const WCHAR* name, HINSTANCE, DWORD flags) {
  if (!name || (flags & SND_RESOURCE) != SND_RESOURCE) return FALSE;
  AudioFormat format = AudioOutputFormat();
  if (format.rate == 0) {
    if (!OpenAudioOutput()) return FALSE;
    format = AudioOutputFormat();
  }
  std::vector<float> samples;
  {
    std::lock_guard lock(cacheMutex);
    Converted& c = cache[std::u16string(View(name))];
    if (c.format.rate != format.rate || c.format.channels != format.channels) {
      const EmbeddedResource* resource = FindEmbeddedResource(View(name), "WAVE");
      Wave wave;
      if (!resource || !ParseWave(resource->data, resource->size, &wave)) return FALSE;
      c = Converted{format, Convert(wave, format)};
    }
    samples = c.samples;
  }
  PlayEffect(std::move(samples));
  return TRUE;
}
