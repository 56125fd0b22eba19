// Which decoder a file gets, by what its first bytes say it holds, and the
// conversion of a file's own rate to the output's (libsoxr) for the formats
// whose library does not convert.
#include "platform/stream_decoder.h"

#include <soxr.h>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <type_traits>
#include <vector>

#include "platform/sound.h"

namespace plat {
namespace {

// An Ogg page's header before its segment table, which the first packet follows.
constexpr size_t kOggHeaderBytes = 27;
constexpr size_t kHeadBytes = kOggHeaderBytes + 255 + 8;
constexpr size_t kId3HeaderBytes = 10;
// Output frames made and passed over before a seek's frame, at least: libsoxr
// starts from silence, and its filter settles on the sound within them.
constexpr int64_t kSettleFrames = 256;
// Beyond any real file: a rate above any format's, and most of a year of
// audio at 48 kHz.
constexpr int kMostRate = 1 << 20;
constexpr int64_t kMostFrames = int64_t{1} << 40;

enum class Format { kMp3, kFlac, kOggFlac, kVorbis, kOpus, kWav };

bool Starts(const unsigned char* bytes, size_t have, const char* magic) {
  size_t n = std::strlen(magic);
  return have >= n && std::memcmp(bytes, magic, n) == 0;
}

// What the file holds, by its first bytes; MP3 for anything else, which
// libmpg123 then takes or refuses.
Format FormatOf(SourceFile& file) {
  unsigned char head[kHeadBytes] = {};
  const size_t have = static_cast<size_t>(std::max<ssize_t>(file.Read(head, sizeof head), 0));
  if (Starts(head, have, "fLaC")) return Format::kFlac;
  if (Starts(head, have, "RIFF") && have >= 12 && Starts(head + 8, have - 8, "WAVE"))
    return Format::kWav;
  if (Starts(head, have, "OggS") && have > kOggHeaderBytes) {
    // The first packet of the stream names its codec.
    size_t packet = kOggHeaderBytes + head[kOggHeaderBytes - 1];
    const unsigned char* first = head + packet;
    size_t left = have > packet ? have - packet : 0;
    if (Starts(first, left,
               "\x7F"
               "FLAC"))
      return Format::kOggFlac;
    if (Starts(first, left, "OpusHead")) return Format::kOpus;
    if (Starts(first, left, "\x01vorbis")) return Format::kVorbis;
  }
  if (Starts(head, have, "ID3") && have >= kId3HeaderBytes) {
    // FLAC may stand after an ID3 tag too; libFLAC passes over it.
    off_t size = 0;
    for (int i = 6; i < 10; ++i) size = size << 7 | (head[i] & 0x7F);
    unsigned char after[4] = {};
    if (file.Seek(static_cast<off_t>(kId3HeaderBytes) + size, SEEK_SET) >= 0 &&
        file.Read(after, sizeof after) == sizeof after && Starts(after, sizeof after, "fLaC"))
      return Format::kFlac;
  }
  return Format::kMp3;
}

struct DeleteSoxr {
  void operator()(soxr_t s) const { soxr_delete(s); }
};

// A decoder at its file's rate heard at the output's: exactly the frames
// that the length at the output's rate promises.
class RateConverter final : public StreamDecoder {
 public:
  RateConverter(std::unique_ptr<StreamDecoder> source, int from, int to, soxr_t soxr)
      : source_(std::move(source)),
        from_(from),
        to_(to),
        soxr_(soxr),
        length_((source_->LengthFrames() * to + from / 2) / from),
        in_(kMaxStepFrames * kDecodedChannels) {}

  int64_t LengthFrames() const override { return length_; }

  DecodeStep Decode(float* into, size_t room) override {
    DecodeStep step;
    while (step.frames < room && step.status == DecodeStatus::kMore) {
      if (inTaken_ == inFrames_ && !sourceEnded_) {
        DecodeStep got = source_->Decode(in_.data(), kMaxStepFrames);
        inTaken_ = 0;
        inFrames_ = got.frames;
        sourceEnded_ = got.status == DecodeStatus::kEnded;
        if (got.status == DecodeStatus::kFailed ||
            (got.status == DecodeStatus::kDamaged && !got.frames)) {
          step.status = got.status;
          break;
        }
      }
      // With the source's end reached, no input asks libsoxr for its last frames.
      const bool flushing = sourceEnded_ && inTaken_ == inFrames_;
      float* out = into + step.frames * kDecodedChannels;
      size_t taken = 0, made = 0;
      soxr_process(soxr_.get(), flushing ? nullptr : in_.data() + inTaken_ * kDecodedChannels,
                   inFrames_ - inTaken_, &taken, out, room - step.frames, &made);
      inTaken_ += taken;
      if (flushing && made == 0) {
        // Rounding can leave the last frame or so unmade: silence in its place.
        made = std::min<size_t>(room - step.frames, static_cast<size_t>(length_ - at_));
        std::fill_n(out, made * kDecodedChannels, 0.0f);
      }
      made = std::min<size_t>(made, static_cast<size_t>(length_ - at_));
      const size_t dropped = std::min(made, skip_);
      std::memmove(out, out + dropped * kDecodedChannels,
                   (made - dropped) * kDecodedChannels * sizeof(float));
      skip_ -= dropped;
      at_ += static_cast<int64_t>(made);
      step.frames += made - dropped;
      if (at_ == length_) step.status = DecodeStatus::kEnded;
    }
    return step;
  }

  // Starts a little before the frame, at an output frame that falls on one
  // of the file's, and passes over the frames up to it: the frames after the
  // seek are those that playing from the start gives, past libsoxr settling.
  int64_t Seek(int64_t frame) override {
    const int64_t grid = to_ / std::gcd(from_, to_);
    const int64_t settle = (kSettleFrames + grid - 1) / grid * grid;
    const int64_t start = std::max<int64_t>(frame - frame % grid - settle, 0);
    const int64_t at = source_->Seek(start * from_ / to_);
    if (at < 0) return -1;
    soxr_clear(soxr_.get());
    inTaken_ = inFrames_ = 0;
    sourceEnded_ = false;
    at_ = (at * to_ + from_ / 2) / from_;
    skip_ = static_cast<size_t>(std::max<int64_t>(frame - at_, 0));
    return at_ + static_cast<int64_t>(skip_);
  }

 private:
  std::unique_ptr<StreamDecoder> source_;
  const int64_t from_;
  const int64_t to_;
  std::unique_ptr<std::remove_pointer_t<soxr_t>, DeleteSoxr> soxr_;
  const int64_t length_;
  int64_t at_ = 0;         // the output's frame that libsoxr makes next
  size_t skip_ = 0;        // frames it makes that are not given out: those before a seek's frame
  std::vector<float> in_;  // a step of the source, as it gave it
  size_t inFrames_ = 0;
  size_t inTaken_ = 0;
  bool sourceEnded_ = false;
};

std::unique_ptr<StreamDecoder> ConvertRate(std::unique_ptr<StreamDecoder> decoder, int from, int to,
                                           int* error) {
  // High quality (20 bits) costs about twice what decoding FLAC does, as
  // libmpg123's own conversion does for MP3; the medium quality saves a
  // tenth of it. One thread, beside the decoder's.
  const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
  const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
  const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
  soxr_error_t failed = nullptr;
  soxr_t soxr = soxr_create(from, to, kDecodedChannels, &failed, &io, &quality, &runtime);
  if (failed) {
    if (soxr) soxr_delete(soxr);
    *error = kSoundNoMemory;
    return nullptr;
  }
  return std::make_unique<RateConverter>(std::move(decoder), from, to, soxr);
}

}  // namespace

std::unique_ptr<StreamDecoder> OpenStreamDecoder(std::unique_ptr<SourceFile> file, int rate,
                                                 int* error) {
  const Format format = FormatOf(*file);
  if (file->Seek(0, SEEK_SET) != 0) {
    *error = kSoundLoadFailed;
    return nullptr;
  }
  int fileRate = rate;
  std::unique_ptr<StreamDecoder> decoder;
  switch (format) {
    case Format::kMp3:
      return OpenMp3Decoder(std::move(file), rate, error);
    case Format::kFlac:
    case Format::kOggFlac:
      decoder = OpenFlacDecoder(std::move(file), format == Format::kOggFlac, &fileRate, error);
      break;
    case Format::kVorbis:
      decoder = OpenVorbisDecoder(std::move(file), &fileRate, error);
      break;
    case Format::kOpus:
      decoder = OpenOpusDecoder(std::move(file), &fileRate, error);
      break;
    case Format::kWav:
      decoder = OpenWavDecoder(std::move(file), &fileRate, error);
      break;
  }
  if (!decoder) return nullptr;
  // What a file's header claims is bounded, so that no count of frames or
  // milliseconds made from it can overflow.
  if (decoder->LengthFrames() > kMostFrames || fileRate > kMostRate) {
    *error = kSoundUnknownFormat;
    return nullptr;
  }
  if (fileRate != rate) decoder = ConvertRate(std::move(decoder), fileRate, rate, error);
  if (decoder && decoder->LengthFrames() > kMostFrames) {
    *error = kSoundUnknownFormat;
    return nullptr;
  }
  return decoder;
}

}  // namespace plat
