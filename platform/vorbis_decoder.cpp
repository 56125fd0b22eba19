// Ogg Vorbis through libvorbisfile.
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cerrno>

#include "platform/sound.h"
#include "platform/stream_decoder.h"

namespace plat {
namespace {

// Asked of libvorbisfile at a time: it gives at most a packet's worth.
constexpr int kReadFrames = 4096;

size_t ReadSource(void* into, size_t size, size_t count, void* file) {
  ssize_t got = static_cast<SourceFile*>(file)->Read(into, size * count);
  errno = got < 0 ? EIO : 0;  // how libvorbisfile tells a failed read from the end
  return got < 0 ? 0 : static_cast<size_t>(got) / size;
}

int SeekSource(void* file, ogg_int64_t offset, int whence) {
  return static_cast<SourceFile*>(file)->Seek(static_cast<off_t>(offset), whence) < 0 ? -1 : 0;
}

long TellSource(void* file) {
  return static_cast<long>(static_cast<SourceFile*>(file)->Seek(0, SEEK_CUR));
}

class VorbisDecoder final : public StreamDecoder {
 public:
  explicit VorbisDecoder(std::unique_ptr<SourceFile> file) : file_(std::move(file)) {}
  ~VorbisDecoder() override {
    if (open_) ov_clear(&vorbis_);
  }

  // False when the file holds no Vorbis stream, or links of several rates.
  bool Open(int* rate) {
    const ov_callbacks callbacks{ReadSource, SeekSource, nullptr, TellSource};
    open_ = ov_open_callbacks(file_.get(), &vorbis_, nullptr, 0, callbacks) == 0;
    if (!open_ || !ov_seekable(&vorbis_)) return false;
    const long first = ov_info(&vorbis_, 0)->rate;
    for (int link = 1; link < ov_streams(&vorbis_); ++link) {
      if (ov_info(&vorbis_, link)->rate != first) return false;
    }
    length_ = ov_pcm_total(&vorbis_, -1);
    *rate = static_cast<int>(first);
    return first > 0 && length_ > 0;
  }

  int64_t LengthFrames() const override { return length_; }

  DecodeStep Decode(float* into, size_t room) override {
    DecodeStep step;
    while (step.status == DecodeStatus::kMore && room - step.frames >= kReadFrames) {
      float** planes = nullptr;
      int link = 0;
      long got = ov_read_float(&vorbis_, &planes, kReadFrames, &link);
      if (got == 0) {
        step.status = DecodeStatus::kEnded;
      } else if (got < 0) {
        step.status = got == OV_EREAD ? DecodeStatus::kFailed : DecodeStatus::kDamaged;
      } else {
        // Mono on both sides; of more channels, the front pair, which in
        // Vorbis has the centre between them in layouts of three and of five
        // or more.
        const int channels = ov_info(&vorbis_, link)->channels;
        const float* left = planes[0];
        const float* right = planes[channels == 1 ? 0 : channels == 3 || channels >= 5 ? 2 : 1];
        float* out = into + step.frames * kDecodedChannels;
        for (long i = 0; i < got; ++i) {
          out[2 * i] = left[i];
          out[2 * i + 1] = right[i];
        }
        step.frames += static_cast<size_t>(got);
      }
    }
    if (file_->Lost()) step.status = DecodeStatus::kFailed;
    return step;
  }

  int64_t Seek(int64_t frame) override {
    return ov_pcm_seek(&vorbis_, frame) == 0 && !file_->Lost() ? frame : -1;
  }

 private:
  std::unique_ptr<SourceFile> file_;
  OggVorbis_File vorbis_{};
  bool open_ = false;
  int64_t length_ = 0;
};

}  // namespace

std::unique_ptr<StreamDecoder> OpenVorbisDecoder(std::unique_ptr<SourceFile> file, int* rate,
                                                 int* error) {
  auto decoder = std::make_unique<VorbisDecoder>(std::move(file));
  if (!decoder->Open(rate)) {
    *error = kSoundUnknownFormat;
    return nullptr;
  }
  return decoder;
}

}  // namespace plat
