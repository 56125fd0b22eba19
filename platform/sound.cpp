// MP3 streams over libmpg123: one decoder thread fills a ring of output
// frames that the sound output's thread drains.
#include "platform/sound.h"

#include <fcntl.h>
#include <mpg123.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/audio_output.h"
#include "platform/internal.h"

namespace {

constexpr int kOutputChannels = 2;
constexpr int kChannelCount = 48;  // channel numbers cycle through these
// Decoded ahead of the listener; the decoder refills when half of it played,
// so it wakes once a second.
constexpr int kRingMs = 2000;
// The end notice comes when this much of a stream is left to hear, so the
// next track can be queued right behind it.
constexpr int kEndNoticeMs = 200;
constexpr size_t kChunkFrames = 16384;
// Consecutive decoding errors after which a damaged file counts as ended.
constexpr int kMaxDecodeErrors = 32;
constexpr int kFullVolume = 255;
constexpr long kResyncLimitBytes = 64 * 1024;
// mpg123 reads each frame's header and body apart; served from blocks this
// large, the frame scan of a 10 MB file makes 160 reads instead of 50,000.
constexpr size_t kReadBlockBytes = 64 * 1024;

}  // namespace

struct SoundStream {
  int id = 0;
  mpg123_handle* decoder = nullptr;  // used under Player::decodeMutex
  int fd = -1;
  off_t fileSize = 0;
  int64_t lengthFrames = 0;
  // The decoder's reading: its place in the file and the block read last.
  off_t readPos = 0;
  off_t blockStart = 0;
  size_t blockBytes = 0;
  std::vector<unsigned char> block;
  // The rest under Player::mutex.
  int64_t startFrame = 0;      // where the present play began, or the time while stopped
  int64_t takenFrame = 0;      // the next frame the output takes
  uint64_t takenAtOutput = 0;  // the output's frame count just after the last take
  size_t queuedFrames = 0;     // in the ring
  uint64_t generation = 0;     // bumped when queued or decoding audio becomes stale
  int decodeErrors = 0;
  bool playing = false;
  bool allQueued = false;
  bool failed = false;
  bool noticeDue = false;
  bool noticeGiven = false;
  bool closed = false;
  SoundEndNotice notice = nullptr;
};

namespace {

struct Segment {
  SoundStream* stream;
  size_t frames;
};

struct Player {
  std::mutex decodeMutex;  // held while a stream's decoder is used; taken before mutex
  std::mutex mutex;
  std::condition_variable wake;
  std::vector<float> ring;  // interleaved stereo
  size_t ringCapacity = 0;  // frames
  size_t readPos = 0;
  size_t count = 0;
  std::deque<Segment> segments;
  std::vector<std::unique_ptr<SoundStream>> streams;  // open, or closed with a tail to play
  SoundStream* current = nullptr;                     // the one being decoded
  SoundStream* decoding = nullptr;                    // decoded outside the lock: kept while it is
  int rate = 0;
  std::atomic<float> gain{1.0f};
  int gainChannel = -1;
  int nextChannel = 0;
  int nextId = 1;
  std::atomic<int> lastError{kSoundNotStarted};
  std::atomic<bool> fileFailed{false};
  bool started = false;
  bool quitting = false;
  bool decoderWaiting = false;  // until woken
  std::thread decoderThread;

  Player() {
    // The output must outlive the player, which detaches from it on exit.
    plat::AudioOutputFormat();
  }
  ~Player() {
    plat::SetMusicSource(nullptr, nullptr);
    {
      std::lock_guard lock(mutex);
      quitting = true;
    }
    wake.notify_all();
    if (decoderThread.joinable()) decoderThread.join();
    for (auto& s : streams) {
      if (s->decoder) mpg123_delete(s->decoder);
      if (s->fd >= 0) close(s->fd);
    }
  }
};

Player& ThePlayer() {
  static Player player;
  return player;
}

// Caller holds mutex.
void WakeDecoder(Player& p) {
  p.decoderWaiting = false;
  p.wake.notify_one();
}

int64_t FramesToMs(int64_t frames, int rate) {
  return rate ? frames * 1000 / rate : 0;
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

// Caller holds mutex. Drops the stream's newest frames from the ring; with
// one stream decoded at a time that is all of them (any others play out).
void DropQueued(Player& p, SoundStream& s) {
  while (!p.segments.empty() && p.segments.back().stream == &s) {
    p.count -= p.segments.back().frames;
    s.queuedFrames -= p.segments.back().frames;
    p.segments.pop_back();
  }
  ++s.generation;
}

// Caller holds mutex. True when the stream's end notice has just fallen due.
bool EndNoticeFallsDue(Player& p, SoundStream& s) {
  if (!s.allQueued || s.noticeDue || s.noticeGiven || !s.playing || s.closed) return false;
  uint64_t left = s.queuedFrames + plat::AudioOutputDelayFrames();
  if (left * 1000 > static_cast<uint64_t>(kEndNoticeMs) * static_cast<uint64_t>(p.rate))
    return false;
  s.noticeDue = true;
  return true;
}

bool WantsDecoding(const Player& p) {
  const SoundStream* s = p.current;
  return s && s->playing && !s->allQueued && !s->failed && p.ringCapacity - p.count >= kChunkFrames;
}

bool HasDueNotice(const Player& p) {
  return std::any_of(p.streams.begin(), p.streams.end(),
                     [](const auto& s) { return s->noticeDue; });
}

// Runs on the output's thread.
size_t PullMusic(float* out, size_t frames, void*) {
  Player& p = ThePlayer();
  std::lock_guard lock(p.mutex);
  const uint64_t base = plat::AudioOutputMixedFrames();
  const float gain = p.gain;
  size_t done = 0;
  while (done < frames && !p.segments.empty()) {
    Segment& seg = p.segments.front();
    size_t n = std::min({frames - done, seg.frames, p.ringCapacity - p.readPos});
    const float* from = &p.ring[p.readPos * kOutputChannels];
    float* to = out + done * kOutputChannels;
    for (size_t i = 0; i < n * kOutputChannels; ++i) to[i] = from[i] * gain;
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
  Player& p = ThePlayer();
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

// Caller holds mutex.
void GiveDueNotices(Player& p) {
  for (auto& s : p.streams) {
    if (!s->noticeDue) continue;
    s->noticeDue = false;
    s->noticeGiven = true;
    int id = s->id;
    plat::RunOnUiThread([id] { DeliverEndNotice(id); });
  }
}

// True when the file under the stream is gone or shorter than it was.
bool FileLost(const SoundStream& s) {
  struct stat st;
  return fstat(s.fd, &st) != 0 || st.st_nlink == 0 || st.st_size < s.fileSize;
}

struct Decoded {
  size_t frames = 0;
  bool ended = false;
  bool failed = false;
  bool error = false;
};

// Caller holds decodeMutex.
Decoded DecodeChunk(SoundStream& s, float* buffer, size_t frames) {
  Decoded d;
  size_t bytes = 0;
  int result = mpg123_read(s.decoder, buffer, frames * kOutputChannels * sizeof(float), &bytes);
  d.frames = bytes / (kOutputChannels * sizeof(float));
  if (result == MPG123_DONE) d.ended = true;
  if (result == MPG123_ERR) {
    d.error = true;
    d.failed = mpg123_errcode(s.decoder) == MPG123_ERR_READER;
  }
  if (FileLost(s)) d.failed = true;
  return d;
}

void DecoderLoop() {
  Player& p = ThePlayer();
  std::unique_lock lock(p.mutex);
  for (;;) {
    p.wake.wait(lock, [&] {
      p.decoderWaiting = !(p.quitting || HasDueNotice(p) || WantsDecoding(p));
      return !p.decoderWaiting;
    });
    if (p.quitting) return;
    GiveDueNotices(p);
    if (!WantsDecoding(p)) continue;
    SoundStream* s = p.current;
    uint64_t generation = s->generation;
    // Straight into the free part of the ring, up to its end: only this
    // thread writes there, and the output reads only what is counted.
    size_t writePos = (p.readPos + p.count) % p.ringCapacity;
    size_t span = std::min(kChunkFrames, p.ringCapacity - writePos);
    float* into = &p.ring[writePos * kOutputChannels];
    p.decoding = s;
    lock.unlock();
    Decoded d;
    {
      std::lock_guard decoding(p.decodeMutex);
      // A stream closed meanwhile has no decoder; its generation tells below.
      if (s->decoder) d = DecodeChunk(*s, into, span);
    }
    lock.lock();
    p.decoding = nullptr;
    if (s->generation != generation || s->closed) continue;
    if (d.frames) {
      p.count += d.frames;
      s->queuedFrames += d.frames;
      if (!p.segments.empty() && p.segments.back().stream == s) {
        p.segments.back().frames += d.frames;
      } else {
        p.segments.push_back(Segment{s, d.frames});
      }
    }
    s->decodeErrors = d.error && !d.frames ? s->decodeErrors + 1 : 0;
    if (d.failed) {
      s->failed = true;
      p.fileFailed = true;
    } else if (d.ended || s->decodeErrors > kMaxDecodeErrors) {
      s->allQueued = true;
      EndNoticeFallsDue(p, *s);
      GiveDueNotices(p);
    }
  }
}

// Caller holds both mutexes. Frees closed streams whose tail has played; one
// closed while the decoder worked on it waits for the next call.
void ForgetPlayedStreams(Player& p) {
  std::erase_if(p.streams, [&](const auto& s) {
    return s->closed && s->queuedFrames == 0 && s.get() != p.decoding;
  });
}

// The decoder's reads, served from the stream's block.
ssize_t ReadBlocked(void* handle, void* into, size_t bytes) {
  SoundStream& s = *static_cast<SoundStream*>(handle);
  auto* to = static_cast<unsigned char*>(into);
  size_t done = 0;
  while (done < bytes) {
    off_t offset = s.readPos - s.blockStart;
    if (offset < 0 || offset >= static_cast<off_t>(s.blockBytes)) {
      ssize_t got = pread(s.fd, s.block.data(), s.block.size(), s.readPos);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) return done ? static_cast<ssize_t>(done) : -1;
      s.blockStart = s.readPos;
      s.blockBytes = static_cast<size_t>(got);
      if (got == 0) break;
      offset = 0;
    }
    size_t n = std::min(bytes - done, s.blockBytes - static_cast<size_t>(offset));
    std::memcpy(to + done, s.block.data() + offset, n);
    done += n;
    s.readPos += static_cast<off_t>(n);
  }
  return static_cast<ssize_t>(done);
}

off_t SeekBlocked(void* handle, off_t offset, int whence) {
  SoundStream& s = *static_cast<SoundStream*>(handle);
  off_t base = whence == SEEK_CUR ? s.readPos : 0;
  if (whence == SEEK_END) {
    struct stat st;
    if (fstat(s.fd, &st) != 0) return -1;
    base = st.st_size;
  }
  if (base + offset < 0) {
    errno = EINVAL;
    return -1;
  }
  s.readPos = base + offset;
  return s.readPos;
}

void SetError(int code) {
  ThePlayer().lastError = code;
}

}  // namespace

bool StartSound() {
  if (!plat::OpenAudioOutput(true)) {
    SetError(kSoundNoDevice);
    return false;
  }
  Player& p = ThePlayer();
  {
    std::lock_guard lock(p.mutex);
    // The rate is the output's; it can change only while no stream exists.
    if (p.streams.empty()) {
      p.rate = plat::AudioOutputFormat().rate;
      p.ringCapacity = static_cast<size_t>(p.rate) * kRingMs / 1000;
      p.ring.assign(p.ringCapacity * kOutputChannels, 0.0f);
      p.readPos = p.count = 0;
    }
    if (!p.started) {
      p.started = true;
      p.decoderThread = std::thread(DecoderLoop);
    }
  }
  plat::SetMusicSource(PullMusic, nullptr);
  SetError(kSoundOk);
  return true;
}

int SoundLastError() {
  return ThePlayer().lastError;
}

SoundStream* OpenSoundStream(const WCHAR* path) {
  Player& p = ThePlayer();
  if (!p.started) {
    SetError(kSoundNotStarted);
    return nullptr;
  }
  std::optional<std::string> real = plat::MusicPathToReal(plat::View(path));
  if (!real) {
    SetError(kSoundFileNotFound);
    return nullptr;
  }
  auto s = std::make_unique<SoundStream>();
  s->fd = open(real->c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st;
  if (s->fd < 0 || fstat(s->fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    SetError(s->fd < 0 && errno == ENOENT ? kSoundFileNotFound : kSoundLoadFailed);
    if (s->fd >= 0) close(s->fd);
    return nullptr;
  }
  s->fileSize = st.st_size;
  s->decoder = mpg123_new(nullptr, nullptr);
  if (!s->decoder) {
    close(s->fd);
    SetError(kSoundNoMemory);
    return nullptr;
  }
  mpg123_param(s->decoder, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0);
  // Damage inside a file is skipped up to this far to the next frame.
  mpg123_param(s->decoder, MPG123_RESYNC_LIMIT, kResyncLimitBytes, 0);
  // Other rates reach the output's through libmpg123's own NtoM resampling
  // inside the synthesis: about twice the CPU of decoding alone, where a
  // windowed-sinc resampler after it costs some eight times.
  mpg123_format_none(s->decoder);
  mpg123_format(s->decoder, p.rate, MPG123_STEREO, MPG123_ENC_FLOAT_32);
  long rate = 0;
  int channels = 0, encoding = 0;
  s->block.resize(kReadBlockBytes);
  mpg123_replace_reader_handle(s->decoder, ReadBlocked, SeekBlocked, nullptr);
  bool opened = mpg123_open_handle(s->decoder, s.get()) == MPG123_OK &&
                mpg123_getformat(s->decoder, &rate, &channels, &encoding) == MPG123_OK;
  if (opened) {
    // The length is exact from the encoder's Xing/Info header; otherwise
    // every frame is counted, never guessed from the first frame's bit rate.
    long padding = -1;
    mpg123_getstate(s->decoder, MPG123_ENC_PADDING, &padding, nullptr);
    if (padding < 0) opened = mpg123_scan(s->decoder) == MPG123_OK;
  }
  off_t length = opened ? mpg123_length(s->decoder) : -1;
  if (length < 0 || mpg123_seek(s->decoder, 0, SEEK_SET) < 0) {
    mpg123_delete(s->decoder);
    close(s->fd);
    SetError(kSoundUnknownFormat);
    return nullptr;
  }
  s->lengthFrames = length;
  std::lock_guard decoding(p.decodeMutex);
  std::lock_guard lock(p.mutex);
  ForgetPlayedStreams(p);
  s->id = p.nextId++;
  p.streams.push_back(std::move(s));
  p.fileFailed = false;
  SetError(kSoundOk);
  return p.streams.back().get();
}

void SetSoundEndNotice(SoundStream* stream, SoundEndNotice notice) {
  if (!stream) return;
  std::lock_guard lock(ThePlayer().mutex);
  stream->notice = notice;
}

int PlaySoundStream(SoundStream* stream) {
  if (!stream) {
    SetError(kSoundBadArgument);
    return -1;
  }
  plat::OpenAudioOutput();  // after a quiet spell the device was closed
  Player& p = ThePlayer();
  std::lock_guard lock(p.mutex);
  if (!stream->playing) {
    stream->playing = true;
    stream->startFrame = stream->takenFrame;
  }
  p.current = stream;
  p.gainChannel = p.nextChannel;
  p.nextChannel = (p.nextChannel + 1) % kChannelCount;
  WakeDecoder(p);
  return p.gainChannel;
}

namespace {

// Caller holds both mutexes. Moves the stream to the frame, dropping what
// was queued of it.
void MoveTo(Player& p, SoundStream& s, int64_t frame) {
  DropQueued(p, s);
  off_t at = s.decoder ? mpg123_seek(s.decoder, frame, SEEK_SET) : -1;
  if (at >= 0) frame = at;
  s.startFrame = s.takenFrame = frame;
  s.takenAtOutput = 0;
  s.allQueued = frame >= s.lengthFrames;
  s.noticeDue = s.noticeGiven = false;
  s.decodeErrors = 0;
}

}  // namespace

void StopSoundStream(SoundStream* stream) {
  if (!stream) return;
  Player& p = ThePlayer();
  std::lock_guard decoding(p.decodeMutex);
  std::lock_guard lock(p.mutex);
  if (!stream->playing) return;
  // Past its end notice the stream's tail plays out, so the next track
  // follows without a gap.
  if (!stream->noticeGiven) MoveTo(p, *stream, HeardFrame(*stream));
  stream->playing = false;
  if (p.current == stream) p.current = nullptr;
}

void CloseSoundStream(SoundStream* stream) {
  if (!stream) return;
  Player& p = ThePlayer();
  std::lock_guard decoding(p.decodeMutex);
  std::lock_guard lock(p.mutex);
  if (!stream->noticeGiven) DropQueued(p, *stream);
  stream->closed = true;
  stream->playing = false;
  if (p.current == stream) p.current = nullptr;
  mpg123_delete(stream->decoder);
  stream->decoder = nullptr;
  close(stream->fd);
  stream->fd = -1;
  ForgetPlayedStreams(p);
}

int32_t SoundStreamLengthMs(SoundStream* stream) {
  if (!stream) return 0;
  return static_cast<int32_t>(FramesToMs(stream->lengthFrames, ThePlayer().rate));
}

int32_t SoundStreamTimeMs(SoundStream* stream) {
  if (!stream) return 0;
  Player& p = ThePlayer();
  std::lock_guard lock(p.mutex);
  // A damaged file can decode a little longer than its frames counted.
  return static_cast<int32_t>(
      FramesToMs(std::min(HeardFrame(*stream), stream->lengthFrames), p.rate));
}

void SetSoundStreamTimeMs(SoundStream* stream, int32_t ms) {
  if (!stream) return;
  Player& p = ThePlayer();
  int64_t frame = std::clamp<int64_t>(int64_t{ms} * p.rate / 1000, 0, stream->lengthFrames);
  std::lock_guard decoding(p.decodeMutex);
  std::lock_guard lock(p.mutex);
  MoveTo(p, *stream, frame);
  stream->failed = false;
  WakeDecoder(p);
}

void SetSoundChannelVolume(int channel, int volume) {
  Player& p = ThePlayer();
  std::lock_guard lock(p.mutex);
  if (channel == p.gainChannel)
    p.gain = static_cast<float>(std::clamp(volume, 0, kFullVolume)) / kFullVolume;
}

bool SoundFileFailed() {
  return ThePlayer().fileFailed;
}

bool SoundDecoderIdleForTests() {
  Player& p = ThePlayer();
  std::lock_guard lock(p.mutex);
  return p.decoderWaiting;
}
