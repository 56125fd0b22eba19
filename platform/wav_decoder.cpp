// WAV: integer samples of 8 to 32 bits or floats, read straight from the
// file's data chunk.
#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/sound.h"
#include "platform/stream_decoder.h"

namespace plat {
namespace {

constexpr uint32_t kIntegers = 1;
constexpr uint32_t kFloats = 3;
constexpr uint32_t kExtensible = 0xFFFE;  // the real format follows, as the sub-format
constexpr size_t kChunkHeaderBytes = 8;
constexpr size_t kFormatBytes = 26;  // up to the sub-format's first two bytes

uint64_t LittleEndian(const unsigned char* p, int bytes) {
  uint64_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | p[i];
  return v;
}

// One sample's bytes as a float of -1..1.
using SampleReader = float (*)(const unsigned char*);
float Unsigned8(const unsigned char* p) {
  return static_cast<float>(p[0] - 128) / 128.0f;
}
template <int kBytes>
float Signed(const unsigned char* p) {
  // Shifted to the top of 32 bits, where the sign lies.
  auto top = static_cast<uint32_t>(LittleEndian(p, kBytes) << (32 - 8 * kBytes));
  return static_cast<float>(static_cast<int32_t>(top)) / 2147483648.0f;
}
float Float32(const unsigned char* p) {
  auto bits = static_cast<uint32_t>(LittleEndian(p, 4));
  float v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}
float Float64(const unsigned char* p) {
  uint64_t bits = LittleEndian(p, 8);
  double v;
  std::memcpy(&v, &bits, sizeof v);
  return static_cast<float>(v);
}

SampleReader ReaderFor(uint32_t format, uint32_t bits) {
  if (format == kIntegers) {
    switch (bits) {
      case 8:
        return Unsigned8;
      case 16:
        return Signed<2>;
      case 24:
        return Signed<3>;
      case 32:
        return Signed<4>;
    }
  } else if (format == kFloats) {
    if (bits == 32) return Float32;
    if (bits == 64) return Float64;
  }
  return nullptr;
}

class WavDecoder final : public StreamDecoder {
 public:
  explicit WavDecoder(std::unique_ptr<SourceFile> file) : file_(std::move(file)) {}

  // Walks the chunks to the data; false when the file holds no WAV audio
  // that plays.
  bool Open(int* rate) {
    unsigned char riff[12];
    if (file_->Read(riff, sizeof riff) != sizeof riff || std::memcmp(riff, "RIFF", 4) != 0 ||
        std::memcmp(riff + 8, "WAVE", 4) != 0)
      return false;
    off_t at = sizeof riff;
    for (;;) {
      unsigned char head[kChunkHeaderBytes];
      if (file_->Seek(at, SEEK_SET) < 0 || file_->Read(head, sizeof head) != sizeof head)
        return false;
      const uint64_t size = LittleEndian(head + 4, 4);
      const off_t body = at + static_cast<off_t>(kChunkHeaderBytes);
      if (std::memcmp(head, "fmt ", 4) == 0) {
        unsigned char format[kFormatBytes] = {};
        ssize_t got = file_->Read(format, std::min<uint64_t>(size, sizeof format));
        if (got < 16) return false;
        uint32_t tag = static_cast<uint32_t>(LittleEndian(format, 2));
        if (tag == kExtensible && got == sizeof format) tag = LittleEndian(format + 24, 2);
        channels_ = static_cast<int>(LittleEndian(format + 2, 2));
        *rate = static_cast<int>(LittleEndian(format + 4, 4));
        blockAlign_ = static_cast<size_t>(LittleEndian(format + 12, 2));
        const uint32_t bits = static_cast<uint32_t>(LittleEndian(format + 14, 2));
        read_ = ReaderFor(tag, bits);
        if (!read_ || channels_ < 1 || *rate < 1 || blockAlign_ != channels_ * bits / 8)
          return false;
      } else if (std::memcmp(head, "data", 4) == 0) {
        if (!read_) return false;
        // A size that claims more than the file holds ends with the file; so
        // does 0, which a recording cut off before it was finished leaves.
        const uint64_t left = static_cast<uint64_t>(std::max<off_t>(file_->Size() - body, 0));
        dataStart_ = body;
        length_ = static_cast<int64_t>((size ? std::min(size, left) : left) / blockAlign_);
        return length_ > 0 && Seek(0) == 0;
      }
      at = body + static_cast<off_t>(size + (size & 1));  // chunks are padded to even sizes
    }
  }

  int64_t LengthFrames() const override { return length_; }

  DecodeStep Decode(float* into, size_t room) override {
    DecodeStep step;
    const size_t want = static_cast<size_t>(std::min<int64_t>(room, length_ - position_));
    bytes_.resize(want * blockAlign_);
    ssize_t got = want ? file_->Read(bytes_.data(), bytes_.size()) : 0;
    if (got < 0 || file_->Lost()) {
      step.status = DecodeStatus::kFailed;
      return step;
    }
    // Mono on both sides; of more channels, the front pair, which comes first.
    const size_t rightOffset = channels_ > 1 ? blockAlign_ / channels_ : 0;
    step.frames = static_cast<size_t>(got) / blockAlign_;
    const unsigned char* in = bytes_.data();
    for (size_t i = 0; i < step.frames; ++i, in += blockAlign_) {
      into[2 * i] = read_(in);
      into[2 * i + 1] = read_(in + rightOffset);
    }
    position_ += static_cast<int64_t>(step.frames);
    if (step.frames < want || position_ == length_) step.status = DecodeStatus::kEnded;
    return step;
  }

  int64_t Seek(int64_t frame) override {
    position_ = frame;
    off_t at = dataStart_ + static_cast<off_t>(frame * static_cast<int64_t>(blockAlign_));
    return file_->Seek(at, SEEK_SET) < 0 || file_->Lost() ? -1 : frame;
  }

 private:
  std::unique_ptr<SourceFile> file_;
  SampleReader read_ = nullptr;
  int channels_ = 0;
  size_t blockAlign_ = 0;  // bytes of a frame
  off_t dataStart_ = 0;
  int64_t length_ = 0;
  int64_t position_ = 0;
  std::vector<unsigned char> bytes_;
};

}  // namespace

std::unique_ptr<StreamDecoder> OpenWavDecoder(std::unique_ptr<SourceFile> file, int* rate,
                                              int* error) {
  auto decoder = std::make_unique<WavDecoder>(std::move(file));
  if (!decoder->Open(rate)) {
    *error = kSoundUnknownFormat;
    return nullptr;
  }
  return decoder;
}

}  // namespace plat
