// Ogg Opus through libopusfile, which trims the encoder's pre-skip at the
// start and the padding at the end, so that a file gives exactly its samples.
#include <opusfile.h>

#include <algorithm>
#include <vector>

#include "platform/sound.h"
#include "platform/stream_decoder.h"

namespace plat {
namespace {

constexpr int kOpusRate = 48000;  // what Opus always decodes to
// The longest Opus packet, 120 ms: a read with room for it gives it whole.
constexpr size_t kLongestPacketFrames = 5760;
// libopusfile starts decoding 80 ms before a frame sought, and the decoder
// has not yet settled on the sound there (on a tone, a difference of a tenth
// of its level); decoding 160 ms more before it, it has.
constexpr int64_t kSettleFrames = 7680;

int ReadSource(void* file, unsigned char* into, int bytes) {
  return static_cast<int>(static_cast<SourceFile*>(file)->Read(into, static_cast<size_t>(bytes)));
}

int SeekSource(void* file, opus_int64 offset, int whence) {
  return static_cast<SourceFile*>(file)->Seek(static_cast<off_t>(offset), whence) < 0 ? -1 : 0;
}

opus_int64 TellSource(void* file) {
  return static_cast<SourceFile*>(file)->Seek(0, SEEK_CUR);
}

struct CloseOpus {
  void operator()(OggOpusFile* f) const { op_free(f); }
};

class OpusDecoder final : public StreamDecoder {
 public:
  OpusDecoder(std::unique_ptr<SourceFile> file, OggOpusFile* opus, int64_t length)
      : file_(std::move(file)), opus_(opus), length_(length) {}

  int64_t LengthFrames() const override { return length_; }

  DecodeStep Decode(float* into, size_t room) override {
    DecodeStep step;
    // Downmixed to stereo by libopusfile, whatever the channels.
    while (step.status == DecodeStatus::kMore && room - step.frames >= kLongestPacketFrames) {
      int got = op_read_float_stereo(opus_.get(), into + step.frames * kDecodedChannels,
                                     static_cast<int>((room - step.frames) * kDecodedChannels));
      if (got == 0) {
        step.status = DecodeStatus::kEnded;
      } else if (got < 0) {
        step.status = got == OP_EREAD ? DecodeStatus::kFailed : DecodeStatus::kDamaged;
      } else {
        step.frames += static_cast<size_t>(got);
      }
    }
    if (file_->Lost()) step.status = DecodeStatus::kFailed;
    return step;
  }

  int64_t Seek(int64_t frame) override {
    const int64_t start = std::max<int64_t>(frame - kSettleFrames, 0);
    if (op_pcm_seek(opus_.get(), start) != 0) return -1;
    std::vector<float> passed(kLongestPacketFrames * kDecodedChannels);
    for (int64_t left = frame - start; left > 0;) {
      int got = op_read_float_stereo(
          opus_.get(), passed.data(),
          static_cast<int>(std::min<int64_t>(left, kLongestPacketFrames)) * kDecodedChannels);
      if (got <= 0) return -1;
      left -= got;
    }
    return file_->Lost() ? -1 : frame;
  }

 private:
  std::unique_ptr<SourceFile> file_;
  std::unique_ptr<OggOpusFile, CloseOpus> opus_;  // after the file it reads
  int64_t length_;
};

}  // namespace

std::unique_ptr<StreamDecoder> OpenOpusDecoder(std::unique_ptr<SourceFile> file, int* rate,
                                               int* error) {
  const OpusFileCallbacks callbacks{ReadSource, SeekSource, TellSource, nullptr};
  OggOpusFile* opus = op_open_callbacks(file.get(), &callbacks, nullptr, 0, nullptr);
  int64_t length = opus && op_seekable(opus) ? op_pcm_total(opus, -1) : -1;
  if (length <= 0) {
    if (opus) op_free(opus);
    *error = kSoundUnknownFormat;
    return nullptr;
  }
  *rate = kOpusRate;
  return std::make_unique<OpusDecoder>(std::move(file), opus, length);
}

}  // namespace plat
