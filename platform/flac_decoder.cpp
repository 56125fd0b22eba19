// FLAC, in its own container or in Ogg, through libFLAC.
#include <FLAC/stream_decoder.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/sound.h"
#include "platform/stream_decoder.h"

namespace plat {
namespace {

struct DeleteDecoder {
  void operator()(FLAC__StreamDecoder* d) const { FLAC__stream_decoder_delete(d); }
};

class FlacDecoder final : public StreamDecoder {
 public:
  explicit FlacDecoder(std::unique_ptr<SourceFile> file)
      : file_(std::move(file)), flac_(FLAC__stream_decoder_new()) {}

  // Reads up to the first audio; false when the file holds no FLAC stream
  // whose length is known.
  bool Open(bool inOgg, int* rate) {
    if (!flac_) return false;
    auto init = inOgg ? FLAC__stream_decoder_init_ogg_stream : FLAC__stream_decoder_init_stream;
    if (init(flac_.get(), Read, Seek, Tell, Length, Eof, Write, Metadata, Error, this) !=
            FLAC__STREAM_DECODER_INIT_STATUS_OK ||
        !FLAC__stream_decoder_process_until_end_of_metadata(flac_.get()) || rate_ == 0 ||
        length_ == 0)
      return false;
    *rate = static_cast<int>(rate_);
    return true;
  }

  int64_t LengthFrames() const override { return static_cast<int64_t>(length_); }

  DecodeStep Decode(float* into, size_t room) override {
    DecodeStep step;
    while (step.frames < room && step.status == DecodeStatus::kMore) {
      if (taken_ == pending_.size() / kDecodedChannels) {
        pending_.clear();
        taken_ = 0;
        damaged_ = false;
        bool decoded = FLAC__stream_decoder_process_single(flac_.get());
        FLAC__StreamDecoderState state = FLAC__stream_decoder_get_state(flac_.get());
        if (readFailed_ || file_->Lost()) {
          step.status = DecodeStatus::kFailed;
        } else if (!decoded || state == FLAC__STREAM_DECODER_END_OF_STREAM) {
          step.status = DecodeStatus::kEnded;
        } else if (damaged_ && pending_.empty()) {
          step.status = DecodeStatus::kDamaged;
        }
        continue;
      }
      size_t n = std::min(room - step.frames, pending_.size() / kDecodedChannels - taken_);
      std::memcpy(into + step.frames * kDecodedChannels,
                  pending_.data() + taken_ * kDecodedChannels,
                  n * kDecodedChannels * sizeof(float));
      taken_ += n;
      step.frames += n;
    }
    return step;
  }

  int64_t Seek(int64_t frame) override {
    pending_.clear();
    taken_ = 0;
    // The frame that holds the target is decoded during the seek, from the target on.
    if (FLAC__stream_decoder_seek_absolute(flac_.get(), static_cast<FLAC__uint64>(frame)) &&
        !file_->Lost())
      return frame;
    FLAC__stream_decoder_flush(flac_.get());
    return -1;
  }

 private:
  static FlacDecoder& Self(void* client) { return *static_cast<FlacDecoder*>(client); }

  static FLAC__StreamDecoderReadStatus Read(const FLAC__StreamDecoder*, FLAC__byte* into,
                                            size_t* bytes, void* client) {
    FlacDecoder& d = Self(client);
    ssize_t got = d.file_->Read(into, *bytes);
    if (got < 0) {
      d.readFailed_ = true;
      return FLAC__STREAM_DECODER_READ_STATUS_ABORT;
    }
    *bytes = static_cast<size_t>(got);
    return got ? FLAC__STREAM_DECODER_READ_STATUS_CONTINUE
               : FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM;
  }
  static FLAC__StreamDecoderSeekStatus Seek(const FLAC__StreamDecoder*, FLAC__uint64 offset,
                                            void* client) {
    return Self(client).file_->Seek(static_cast<off_t>(offset), SEEK_SET) < 0
               ? FLAC__STREAM_DECODER_SEEK_STATUS_ERROR
               : FLAC__STREAM_DECODER_SEEK_STATUS_OK;
  }
  static FLAC__StreamDecoderTellStatus Tell(const FLAC__StreamDecoder*, FLAC__uint64* offset,
                                            void* client) {
    *offset = static_cast<FLAC__uint64>(Self(client).file_->Seek(0, SEEK_CUR));
    return FLAC__STREAM_DECODER_TELL_STATUS_OK;
  }
  static FLAC__StreamDecoderLengthStatus Length(const FLAC__StreamDecoder*, FLAC__uint64* length,
                                                void* client) {
    *length = static_cast<FLAC__uint64>(Self(client).file_->Size());
    return FLAC__STREAM_DECODER_LENGTH_STATUS_OK;
  }
  static FLAC__bool Eof(const FLAC__StreamDecoder*, void* client) {
    SourceFile& file = *Self(client).file_;
    return file.Seek(0, SEEK_CUR) >= file.Size();
  }

  // A frame of audio, as stereo floats: mono on both sides; of more
  // channels, the front pair, which comes first in FLAC.
  static FLAC__StreamDecoderWriteStatus Write(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                              const FLAC__int32* const channels[], void* client) {
    FlacDecoder& d = Self(client);
    const unsigned frames = frame->header.blocksize;
    const FLAC__int32* left = channels[0];
    const FLAC__int32* right = channels[frame->header.channels > 1 ? 1 : 0];
    const float scale = std::ldexp(1.0f, 1 - static_cast<int>(frame->header.bits_per_sample));
    d.pending_.resize(size_t{frames} * kDecodedChannels);
    float* out = d.pending_.data();
    for (unsigned i = 0; i < frames; ++i) {
      out[2 * i] = static_cast<float>(left[i]) * scale;
      out[2 * i + 1] = static_cast<float>(right[i]) * scale;
    }
    return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
  }
  static void Metadata(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* block,
                       void* client) {
    if (block->type != FLAC__METADATA_TYPE_STREAMINFO) return;
    Self(client).rate_ = block->data.stream_info.sample_rate;
    Self(client).length_ = block->data.stream_info.total_samples;
  }
  static void Error(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void* client) {
    Self(client).damaged_ = true;
  }

  std::unique_ptr<SourceFile> file_;
  std::unique_ptr<FLAC__StreamDecoder, DeleteDecoder> flac_;  // after the file it reads
  unsigned rate_ = 0;
  FLAC__uint64 length_ = 0;     // 0: unknown
  std::vector<float> pending_;  // the last frame decoded, as stereo
  size_t taken_ = 0;            // of its frames, given out
  bool damaged_ = false;
  bool readFailed_ = false;
};

}  // namespace

std::unique_ptr<StreamDecoder> OpenFlacDecoder(std::unique_ptr<SourceFile> file, bool inOgg,
                                               int* rate, int* error) {
  auto decoder = std::make_unique<FlacDecoder>(std::move(file));
  if (!decoder->Open(inOgg, rate)) {
    *error = kSoundUnknownFormat;
    return nullptr;
  }
  return decoder;
}

}  // namespace plat
