// Streams decoded on a thread of their own into a ring of output frames that
// the sound output's thread drains. The file format is the decoder's business
// (platform/stream_decoder.h); everything here serves any format.
//
// Threads. The user interface opens, plays, stops, moves and closes streams;
// the audio callback pulls from the ring; the decoder thread alone uses a
// stream's decoder and file once the stream is open. Moves and closes are
// requests that it carries out between steps, and each step is tagged with
// its stream's generation, which every move, stop and close bumps: audio
// decoded before a request is never queued after it.
//
// Locks (platform/lock_order.h). DecoderRing::mutex, at place kStreams, guards the
// ring's counts, the segments and the stream fields marked so. The audio
// callback takes it under the output's mix lock. Nothing under it takes
// another lock, reads a file or waits.
#include "platform/sound.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cstring>
#include <thread>

#include "platform/context.h"
#include "platform/internal.h"

using plat::DecodeStatus;
using plat::kDecodedChannels;
using plat::kMaxStepFrames;

namespace {

constexpr int kChannelCount = 48;  // channel numbers cycle through these
// Decoded ahead of the listener. The decoder refills when half of it has
// played, so it wakes every two seconds, and a read that stalls that long
// goes unheard.
constexpr int kRingMs = 4000;
// Decoded between two looks at the requests: a few milliseconds of work.
constexpr size_t kStepFrames = 2 * kMaxStepFrames;
// The end notice comes when this much of a stream is left to hear, so the
// next track can be queued right behind it.
constexpr int kEndNoticeMs = 200;
// Steps in a row that give no audio from a damaged file before it counts as
// ended.
constexpr int kMaxDamagedSteps = 32;
// SetSoundChannelVolume's scale: 255 plays the music as decoded.
constexpr int kFullGain = 255;

using plat::Ctx;
using plat::DecoderRing;
using plat::RingSegment;

void SetError(int code) {
  Ctx().decoder.lastError = code;
}

// Caller holds mutex.
void WakeDecoder(DecoderRing& p) {
  p.decoderWaiting = false;
  p.wake.notify_one();
}

// Caller holds mutex. The output stays open through silence while a stream
// plays (a slow read), and may close for quiet once none does.
void HoldOutput(const DecoderRing& p) {
  plat::HoldAudioOutput(
      std::any_of(p.streams.begin(), p.streams.end(), [](const auto& s) { return s->playing; }));
}

int32_t FramesToMs(int64_t frames, int rate) {
  // A length past 24.8 days stops there rather than wrapping.
  return rate ? static_cast<int32_t>(std::min<int64_t>(frames * 1000 / rate, INT32_MAX)) : 0;
}

// Caller holds mutex. The stream's frame the listener hears now.
int64_t HeardFrame(const SoundStream& s) {
  if (!s.playing && s.queuedFrames == 0) return s.startFrame;
  uint64_t mixed = plat::AudioOutputMixedFrames();
  uint64_t delay = plat::AudioOutputDelayFrames();
  uint64_t heardOutput = mixed > delay ? mixed - delay : 0;
  uint64_t unheard = s.takenAtOutput > heardOutput ? s.takenAtOutput - heardOutput : 0;
  return std::max(s.startFrame, s.takenFrame - static_cast<int64_t>(unheard));
}

// Caller holds mutex. Drops the stream's newest frames from the ring (with
// one stream decoded at a time that is all of them; others play out), and
// makes what the decoder has in hand of it stale.
void DropQueued(DecoderRing& p, SoundStream& s) {
  while (!p.segments.empty() && p.segments.back().stream == &s) {
    p.count -= p.segments.back().frames;
    s.queuedFrames -= p.segments.back().frames;
    p.segments.pop_back();
  }
  ++s.generation;
}

// Caller holds mutex. The stream is heard from the frame on; the decoder
// moves there in the file before its next step.
void AskMove(DecoderRing& p, SoundStream& s, int64_t frame) {
  DropQueued(p, s);
  s.moveTo = frame;
  s.startFrame = s.takenFrame = frame;
  s.takenAtOutput = 0;
  s.allQueued = frame >= s.lengthFrames;
  s.noticeDue = s.noticeGiven = false;
  s.damagedSteps = 0;
}

// Caller holds mutex. True when the stream's end notice has just fallen due.
bool EndNoticeFallsDue(const DecoderRing& p, SoundStream& s) {
  if (!s.allQueued || s.noticeDue || s.noticeGiven || !s.playing || s.closed) return false;
  uint64_t left = s.queuedFrames + plat::AudioOutputDelayFrames();
  if (left * 1000 > static_cast<uint64_t>(kEndNoticeMs) * static_cast<uint64_t>(p.rate))
    return false;
  s.noticeDue = true;
  return true;
}

bool WantsDecoding(const DecoderRing& p) {
  const SoundStream* s = p.current;
  return s && s->playing && !s->allQueued && !s->failed &&
         p.ringCapacity - p.count >= kMaxStepFrames;
}

bool HasWork(const DecoderRing& p) {
  return p.quitting || WantsDecoding(p) ||
         std::any_of(p.streams.begin(), p.streams.end(),
                     [](const auto& s) { return s->noticeDue || (s->closed && s->decoder); });
}

// Copies at the volume, eight samples at a time where it can: at -O2 the
// compiler vectorises loops of a known length.
void CopyScaled(float* __restrict to, const float* __restrict from, size_t samples, float gain) {
  constexpr size_t kBlock = 8;
  size_t i = 0;
  for (; i + kBlock <= samples; i += kBlock) {
    for (size_t k = 0; k < kBlock; ++k) to[i + k] = from[i + k] * gain;
  }
  for (; i < samples; ++i) to[i] = from[i] * gain;
}

// Runs on the output's thread, under its mix lock.
size_t PullMusic(float* out, size_t frames, void*) {
  DecoderRing& p = Ctx().decoder;
  std::lock_guard lock(p.mutex);
  const uint64_t base = plat::AudioOutputMixedFrames();
  const float gain = p.gain;
  size_t done = 0;
  while (done < frames && !p.segments.empty()) {
    RingSegment& seg = p.segments.front();
    size_t n = std::min({frames - done, seg.frames, p.ringCapacity - p.readPos});
    CopyScaled(out + done * kDecodedChannels, p.ring.get() + p.readPos * kDecodedChannels,
               n * kDecodedChannels, gain);
    p.readPos = (p.readPos + n) % p.ringCapacity;
    p.count -= n;
    done += n;
    seg.frames -= n;
    SoundStream& s = *seg.stream;
    s.queuedFrames -= n;
    s.takenFrame += static_cast<int64_t>(n);
    s.takenAtOutput = base + done;
    if (seg.frames == 0) p.segments.pop_front();
  }
  bool wakeDecoder = p.count <= p.ringCapacity / 2 && WantsDecoding(p);
  for (auto& s : p.streams) wakeDecoder |= EndNoticeFallsDue(p, *s);
  if (wakeDecoder) WakeDecoder(p);
  return done;
}

void DeliverEndNotice(int id) {
  DecoderRing& p = Ctx().decoder;
  SoundEndNotice notice = nullptr;
  SoundStream* stream = nullptr;
  {
    std::lock_guard lock(p.mutex);
    for (auto& s : p.streams) {
      if (s->id == id && !s->closed) {
        stream = s.get();
        notice = s->notice;
      }
    }
  }
  // Streams are closed on this thread only, so it is still open here.
  if (notice) notice(stream);
}

using Lock = std::unique_lock<plat::OrderedMutex>;

// Decoder thread, holding the lock. Moves the decoder in the file as asked,
// with the lock released meanwhile.
void MoveDecoder(DecoderRing& p, SoundStream& s, Lock& lock) {
  const int64_t to = s.moveTo;
  const uint64_t generation = s.generation;
  s.moveTo = -1;
  lock.unlock();
  int64_t at = s.decoder->Seek(to);
  lock.lock();
  if (s.generation != generation) return;  // asked again meanwhile: that move comes next
  if (at < 0) {
    s.failed = true;
    p.fileFailed = true;
  } else {
    s.startFrame = s.takenFrame = at;  // nothing of it was queued since the move
  }
}

// Decoder thread, holding the lock. Decodes a step straight into the free
// part of the ring, with the lock released meanwhile: only this thread
// writes there, and the output reads only what is counted.
void DecodeAhead(DecoderRing& p, SoundStream& s, Lock& lock) {
  const uint64_t generation = s.generation;
  const size_t capacity = p.ringCapacity;
  const size_t writePos = (p.readPos + p.count) % capacity;
  const size_t room =
      std::min({capacity - p.count, capacity + kMaxStepFrames - writePos, kStepFrames});
  float* ring = p.ring.get();
  lock.unlock();
  plat::DecodeStep step = s.decoder->Decode(ring + writePos * kDecodedChannels, room);
  if (writePos + step.frames > capacity) {
    std::memcpy(ring, ring + capacity * kDecodedChannels,
                (writePos + step.frames - capacity) * kDecodedChannels * sizeof(float));
  }
  lock.lock();
  if (s.generation != generation) return;  // moved, stopped or closed meanwhile: stale
  if (step.frames) {
    p.count += step.frames;
    s.queuedFrames += step.frames;
    if (!p.segments.empty() && p.segments.back().stream == &s) {
      p.segments.back().frames += step.frames;
    } else {
      p.segments.push_back(RingSegment{&s, step.frames});
    }
    assert(p.count <= p.ringCapacity);
  }
  s.damagedSteps = step.status == DecodeStatus::kDamaged && !step.frames ? s.damagedSteps + 1 : 0;
  if (step.status == DecodeStatus::kFailed) {
    s.failed = true;
    p.fileFailed = true;
  } else if (step.status == DecodeStatus::kEnded || s.damagedSteps > kMaxDamagedSteps) {
    s.allQueued = true;
    EndNoticeFallsDue(p, s);
  }
}

// Caller holds mutex. Frees closed streams whose file is closed and whose
// tail has played.
void ForgetPlayedStreams(DecoderRing& p) {
  std::erase_if(p.streams, [&](const auto& s) {
    return s->closed && !s->decoder && s->queuedFrames == 0 && s.get() != p.stepping;
  });
}

void DecoderLoop() {
  DecoderRing& p = Ctx().decoder;
  Lock lock(p.mutex);
  std::vector<int> notices;
  std::vector<std::unique_ptr<plat::StreamDecoder>> closing;
  for (;;) {
    p.wake.wait(lock, [&] {
      p.decoderWaiting = !HasWork(p);
      return !p.decoderWaiting;
    });
    if (p.quitting) return;
    for (auto& s : p.streams) {
      if (s->noticeDue) {
        s->noticeDue = false;
        s->noticeGiven = true;
        notices.push_back(s->id);
      }
      if (s->closed && s->decoder) closing.push_back(std::move(s->decoder));
    }
    ForgetPlayedStreams(p);
    if (!notices.empty() || !closing.empty()) {
      lock.unlock();
      for (int id : notices) plat::RunOnUiThread([id] { DeliverEndNotice(id); });
      notices.clear();
      closing.clear();  // closes their files
      lock.lock();
      continue;
    }
    if (!WantsDecoding(p)) continue;
    SoundStream& s = *p.current;
    p.stepping = &s;
    if (s.moveTo >= 0) {
      MoveDecoder(p, s, lock);
    } else {
      DecodeAhead(p, s, lock);
    }
    p.stepping = nullptr;
  }
}

}  // namespace

bool StartSound() {
  if (!plat::OpenAudioOutput(true)) {
    SetError(kSoundNoDevice);
    return false;
  }
  // Read before the lock: the output's locks come before it.
  const int rate = plat::AudioOutputFormat().rate;
  DecoderRing& p = Ctx().decoder;
  {
    std::lock_guard lock(p.mutex);
    // The rate is the output's; it can change only while no stream is open
    // and the decoder writes nothing. Tails of closed streams go unheard.
    if (!p.stepping &&
        std::all_of(p.streams.begin(), p.streams.end(), [](const auto& s) { return s->closed; })) {
      for (auto& s : p.streams) s->queuedFrames = 0;
      ForgetPlayedStreams(p);
      p.rate = rate;
      p.ringCapacity = std::max(static_cast<size_t>(rate) * kRingMs / 1000, 2 * kStepFrames);
      p.ring.reset(new float[(p.ringCapacity + kMaxStepFrames) * kDecodedChannels]);
      p.readPos = p.count = 0;
      p.segments.clear();
    }
    if (!p.started) {
      p.started = true;
      std::thread(DecoderLoop).detach();
    }
  }
  plat::SetMusicSource(PullMusic, nullptr);
  SetError(kSoundOk);
  return true;
}

int SoundLastError() {
  return Ctx().decoder.lastError;
}

SoundStream* OpenSoundStream(const WCHAR* path) {
  DecoderRing& p = Ctx().decoder;
  int rate = 0;
  {
    std::lock_guard lock(p.mutex);
    rate = p.started ? p.rate : 0;
  }
  if (!rate) {
    SetError(kSoundNotStarted);
    return nullptr;
  }
  std::optional<std::string> real = plat::MusicPathToReal(plat::View(path));
  int error = kSoundFileNotFound;
  auto file = real ? plat::SourceFile::Open(*real, &error) : nullptr;
  auto decoder = file ? plat::OpenStreamDecoder(std::move(file), rate, &error) : nullptr;
  if (!decoder) {
    SetError(error);
    return nullptr;
  }
  auto s = std::make_unique<SoundStream>();
  s->lengthFrames = decoder->LengthFrames();
  s->decoder = std::move(decoder);
  std::lock_guard lock(p.mutex);
  s->id = p.nextId++;
  p.streams.push_back(std::move(s));
  p.fileFailed = false;
  SetError(kSoundOk);
  return p.streams.back().get();
}

void SetSoundEndNotice(SoundStream* stream, SoundEndNotice notice) {
  if (!stream) return;
  std::lock_guard lock(Ctx().decoder.mutex);
  stream->notice = notice;
}

int PlaySoundStream(SoundStream* stream) {
  if (!stream) {
    SetError(kSoundBadArgument);
    return -1;
  }
  // Closed after a quiet spell, or gone: nothing would be heard without it.
  if (!plat::OpenAudioOutput()) {
    SetError(kSoundPlayFailed);
    return -1;
  }
  DecoderRing& p = Ctx().decoder;
  std::lock_guard lock(p.mutex);
  if (!stream->playing) {
    stream->playing = true;
    stream->startFrame = stream->takenFrame;
  }
  p.current = stream;
  p.gainChannel = p.nextChannel;
  p.gain = p.startGain;
  p.nextChannel = (p.nextChannel + 1) % kChannelCount;
  HoldOutput(p);
  WakeDecoder(p);
  return p.gainChannel;
}

void StopSoundStream(SoundStream* stream) {
  if (!stream) return;
  DecoderRing& p = Ctx().decoder;
  std::lock_guard lock(p.mutex);
  if (!stream->playing) return;
  // Past its end notice the stream's tail plays out, so the next track
  // follows without a gap.
  if (!stream->noticeGiven) AskMove(p, *stream, HeardFrame(*stream));
  stream->playing = false;
  if (p.current == stream) p.current = nullptr;
  HoldOutput(p);
}

void CloseSoundStream(SoundStream* stream) {
  if (!stream) return;
  DecoderRing& p = Ctx().decoder;
  std::unique_ptr<plat::StreamDecoder> decoder;  // closes the file when it goes, outside the lock
  std::lock_guard lock(p.mutex);
  if (!stream->noticeGiven) DropQueued(p, *stream);
  ++stream->generation;
  stream->closed = true;
  stream->playing = false;
  if (p.current == stream) p.current = nullptr;
  HoldOutput(p);
  // A decoder in the middle of a step closes the file after it.
  if (p.stepping == stream) {
    WakeDecoder(p);
  } else {
    decoder = std::move(stream->decoder);
  }
  ForgetPlayedStreams(p);
}

int32_t SoundStreamLengthMs(SoundStream* stream) {
  if (!stream) return 0;
  return FramesToMs(stream->lengthFrames, Ctx().decoder.rate);
}

int32_t SoundStreamTimeMs(SoundStream* stream) {
  if (!stream) return 0;
  DecoderRing& p = Ctx().decoder;
  std::lock_guard lock(p.mutex);
  // A damaged file can decode a little longer than its frames counted.
  return FramesToMs(std::min(HeardFrame(*stream), stream->lengthFrames), p.rate);
}

void SetSoundStreamTimeMs(SoundStream* stream, int32_t ms) {
  if (!stream) return;
  DecoderRing& p = Ctx().decoder;
  std::lock_guard lock(p.mutex);
  AskMove(p, *stream, std::clamp<int64_t>(int64_t{ms} * p.rate / 1000, 0, stream->lengthFrames));
  stream->failed = false;
  WakeDecoder(p);
}

void SetSoundChannelVolume(int channel, int volume) {
  DecoderRing& p = Ctx().decoder;
  std::lock_guard lock(p.mutex);
  // The player sets the volume before it plays again, and then on the new
  // channel: meanwhile the output may mix, and must not sound louder.
  p.startGain = static_cast<float>(std::clamp(volume, 0, kFullGain)) / kFullGain;
  if (channel == p.gainChannel) p.gain = p.startGain;
}

bool SoundFileFailed() {
  return Ctx().decoder.fileFailed;
}

bool SoundOutputLost() {
  return plat::AudioOutputLost();
}

bool SoundOutputAvailable() {
  return plat::OpenAudioOutput();
}

// The decoder thread must not hand notices to a message queue that has
// stopped; a read it waits on is left to the end of the process.
void plat::EndDecoder() {
  DecoderRing& p = Ctx().decoder;
  std::lock_guard lock(p.mutex);
  p.quitting = true;
  WakeDecoder(p);
}
