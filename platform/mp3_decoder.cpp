// MPEG audio through libmpg123: the one part of the sound back end that
// knows the format.
#include <mpg123.h>

#include <cstring>

#include "platform/sound.h"
#include "platform/stream_decoder.h"

namespace plat {
namespace {

// Damage inside a file is skipped up to this far to the next frame.
constexpr long kResyncLimitBytes = 64 * 1024;
// The smallest MPEG audio frame: layer III of MPEG 2 at 8 kbit/s and 24 kHz.
constexpr off_t kMinFrameBytes = 24;
constexpr size_t kFrameBytes = kDecodedChannels * sizeof(float);

ssize_t ReadSource(void* file, void* into, size_t bytes) {
  return static_cast<SourceFile*>(file)->Read(into, bytes);
}

off_t SeekSource(void* file, off_t offset, int whence) {
  return static_cast<SourceFile*>(file)->Seek(offset, whence);
}

struct DeleteHandle {
  void operator()(mpg123_handle* h) const { mpg123_delete(h); }
};
using Handle = std::unique_ptr<mpg123_handle, DeleteHandle>;

// A handle on the file from its start, its first frame read: in stereo
// floats at the rate, or at the file's own rate when the rate is 0.
Handle OpenHandle(SourceFile& file, long rate, long flags, int* error) {
  file.Seek(0, SEEK_SET);
  Handle h(mpg123_new(nullptr, nullptr));
  if (!h) {
    *error = kSoundNoMemory;
    return nullptr;
  }
  mpg123_param(h.get(), MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS | flags, 0);
  mpg123_param(h.get(), MPG123_RESYNC_LIMIT, kResyncLimitBytes, 0);
  if (rate) {
    // Other rates reach the output's through libmpg123's own NtoM resampling
    // inside the synthesis: about twice the CPU of decoding alone, where a
    // windowed-sinc resampler after it costs some eight times.
    mpg123_format_none(h.get());
    mpg123_format(h.get(), rate, MPG123_STEREO, MPG123_ENC_FLOAT_32);
  }
  mpg123_replace_reader_handle(h.get(), ReadSource, SeekSource, nullptr);
  long got = 0;
  int channels = 0, encoding = 0;
  if (mpg123_open_handle(h.get(), &file) != MPG123_OK ||
      mpg123_getformat(h.get(), &got, &channels, &encoding) != MPG123_OK) {
    *error = kSoundUnknownFormat;
    return nullptr;
  }
  return h;
}

class Mp3Decoder final : public StreamDecoder {
 public:
  Mp3Decoder(std::unique_ptr<SourceFile> file, Handle handle, int64_t length)
      : file_(std::move(file)), handle_(std::move(handle)), length_(length) {}

  int64_t LengthFrames() const override { return length_; }

  DecodeStep Decode(float* into, size_t room) override {
    DecodeStep step;
    mpg123_handle* h = handle_.get();
    // Each frame is decoded straight into its place: libmpg123 writes audio
    // only in these calls, each given that place first.
    while (step.status == DecodeStatus::kMore && room - step.frames >= kMaxStepFrames) {
      float* at = into + step.frames * kDecodedChannels;
      mpg123_replace_buffer(h, at, (room - step.frames) * kFrameBytes);
      off_t frame = 0;
      unsigned char* audio = nullptr;
      size_t bytes = 0;
      int result = mpg123_decode_frame(h, &frame, &audio, &bytes);
      if (bytes && audio != reinterpret_cast<unsigned char*>(at)) std::memmove(at, audio, bytes);
      step.frames += bytes / kFrameBytes;
      if (result == MPG123_DONE) {
        step.status = DecodeStatus::kEnded;
      } else if (result != MPG123_OK && result != MPG123_NEW_FORMAT) {
        step.status =
            mpg123_errcode(h) == MPG123_ERR_READER ? DecodeStatus::kFailed : DecodeStatus::kDamaged;
      }
    }
    if (file_->Lost()) step.status = DecodeStatus::kFailed;
    return step;
  }

  int64_t Seek(int64_t frame) override {
    off_t at = mpg123_seek(handle_.get(), static_cast<off_t>(frame), SEEK_SET);
    return at < 0 || file_->Lost() ? -1 : at;
  }

 private:
  std::unique_ptr<SourceFile> file_;
  Handle handle_;  // after the file it reads, so deleted before it
  int64_t length_;
};

}  // namespace

std::unique_ptr<StreamDecoder> OpenMp3Decoder(std::unique_ptr<SourceFile> file, int rate,
                                              int* error) {
  // A first look at the file's own rate, where working out lengths costs
  // nothing: an Xing/Info header that claims more frames than the file can
  // hold is not believed (converting such a claim to another rate takes
  // minutes), and the frames are counted instead.
  Handle look = OpenHandle(*file, 0, 0, error);
  if (!look) return nullptr;
  off_t claimed = mpg123_framelength(look.get());
  long ignoreHeader = claimed > file->Size() / kMinFrameBytes ? MPG123_IGNORE_INFOFRAME : 0;
  look.reset();
  Handle h = OpenHandle(*file, rate, ignoreHeader, error);
  if (!h) return nullptr;
  // The length is exact from the encoder's Xing/Info header; otherwise every
  // frame is counted, never guessed from the first frame's bit rate.
  long padding = -1;
  mpg123_getstate(h.get(), MPG123_ENC_PADDING, &padding, nullptr);
  bool counted = padding >= 0 || mpg123_scan(h.get()) == MPG123_OK;
  off_t length = counted ? mpg123_length(h.get()) : -1;
  if (length < 0 || mpg123_seek(h.get(), 0, SEEK_SET) < 0 ||
      mpg123_outblock(h.get()) > kMaxStepFrames * kFrameBytes) {
    *error = kSoundUnknownFormat;
    return nullptr;
  }
  return std::make_unique<Mp3Decoder>(std::move(file), std::move(h), length);
}

}  // namespace plat
