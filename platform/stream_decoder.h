// What the sound back end asks of the decoder of a file format, the decoders
// it has, and the file such a decoder reads. For the platform's own .cpp
// files only.
//
// Once its stream is open, a decoder and its file belong to the back end's
// decoder thread alone, which calls them with no lock held.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace plat {

// Decoded audio: interleaved stereo float frames.
constexpr int kDecodedChannels = 2;
// The most frames one decoding step may need room for: an MPEG frame of 1152
// samples raised eightfold, the most libmpg123 converts.
constexpr size_t kMaxStepFrames = 1152 * 8 + 1;

// A regular file, read through a block of its own: decoders read a frame's
// header and body apart, and a frame scan of a 10 MB file then makes 160
// reads instead of 50,000.
class SourceFile {
 public:
  // Never waits on the path: a FIFO or a device swapped in for a listed file
  // is refused like anything else that is not a regular file. Null, with a
  // SoundError, when it cannot be opened.
  static std::unique_ptr<SourceFile> Open(const std::string& path, int* error);
  ~SourceFile();
  ssize_t Read(void* into, size_t bytes);
  off_t Seek(off_t offset, int whence);
  off_t Size() const { return size_; }
  // True once the file is deleted or shorter than when it was opened.
  bool Lost() const;

 private:
  SourceFile(int fd, off_t size);
  int fd_;
  off_t size_;
  off_t pos_ = 0;
  off_t blockStart_ = 0;
  size_t blockBytes_ = 0;
  std::vector<unsigned char> block_;
};

enum class DecodeStatus {
  kMore,     // more follows
  kEnded,    // the last frame is given
  kDamaged,  // the data here cannot be decoded; the next step tries on
  kFailed,   // the file can no longer be read
};

struct DecodeStep {
  size_t frames = 0;
  DecodeStatus status = DecodeStatus::kMore;
};

class StreamDecoder {
 public:
  virtual ~StreamDecoder() = default;
  // The exact length, in frames at the output's rate.
  virtual int64_t LengthFrames() const = 0;
  // Decodes what follows into `into`, which has room for `room` frames, at
  // least kMaxStepFrames.
  virtual DecodeStep Decode(float* into, size_t room) = 0;
  // Moves to the frame; the frame reached, or -1 when the file failed.
  virtual int64_t Seek(int64_t frame) = 0;
};

// The decoder of what the file holds, as its first bytes tell, giving frames
// at the output's rate. Null, with a SoundError, when it holds nothing that
// plays.
std::unique_ptr<StreamDecoder> OpenStreamDecoder(std::unique_ptr<SourceFile> file, int rate,
                                                 int* error);

// Each format's decoder, for a file whose first bytes name that format. Null,
// with a SoundError, when the file holds no audio of it that can play.
//
// The MPEG audio (MP3) of the file, decoded for the output's rate.
std::unique_ptr<StreamDecoder> OpenMp3Decoder(std::unique_ptr<SourceFile> file, int rate,
                                              int* error);
// The others decode at the file's own rate, which they give in *rate.
std::unique_ptr<StreamDecoder> OpenFlacDecoder(std::unique_ptr<SourceFile> file, bool inOgg,
                                               int* rate, int* error);
std::unique_ptr<StreamDecoder> OpenVorbisDecoder(std::unique_ptr<SourceFile> file, int* rate,
                                                 int* error);
std::unique_ptr<StreamDecoder> OpenOpusDecoder(std::unique_ptr<SourceFile> file, int* rate,
                                               int* error);
std::unique_ptr<StreamDecoder> OpenWavDecoder(std::unique_ptr<SourceFile> file, int* rate,
                                              int* error);

}  // namespace plat
