// The decoders of FLAC, Ogg Vorbis, Opus and WAV on tones their formats' own encoders made.
#include "platform/stream_decoder.h"
#include "tests/sound_fixture.h"

namespace {

const std::string kData = VESK_SOURCE_DIR "/tests/data/";

std::unique_ptr<plat::StreamDecoder> Open(const std::string& path, int rate) {
  int error = 0;
  auto file = plat::SourceFile::Open(path, &error);
  return file ? plat::OpenStreamDecoder(std::move(file), rate, &error) : nullptr;
}

// Decodes to the end, or `most` frames; the stereo frames and how it ended.
std::vector<float> DecodeAll(plat::StreamDecoder& d, plat::DecodeStatus* status,
                             size_t most = SIZE_MAX) {
  std::vector<float> out;
  std::vector<float> step(2 * plat::kMaxStepFrames * 2);
  for (int damaged = 0; out.size() / 2 < most && damaged < 100;) {
    plat::DecodeStep s = d.Decode(step.data(), step.size() / 2);
    out.insert(out.end(), step.begin(), step.begin() + s.frames * 2);
    damaged = s.status == plat::DecodeStatus::kDamaged ? damaged + 1 : 0;
    *status = s.status;
    if (s.status == plat::DecodeStatus::kEnded || s.status == plat::DecodeStatus::kFailed) break;
  }
  return out;
}

TEST(FormatDecoders, EachFileLastsItsSamplesIsTheToneWholeAndAfterASeekAndSurvivesDamage) {
  struct Case {
    const char* file;
    int rate;        // of the output; the file's own unless converted
    int64_t frames;  // at that rate: the tone's samples, converted
    bool stereo;
  } cases[] = {
      {"tone_48k_24.oga", 48000, 24000, false},  // FLAC in Ogg
      {"tone_22k.ogg", 22050, 15434, false},
      {"tone_8k_u8.wav", 8000, 4000, false},
      {"tone_44k_16.wav", 44100, 11025, true},
      {"tone_48k_24.wav", 48000, 9600, false},  // WAVE_FORMAT_EXTENSIBLE
      {"tone_22k_f32.wav", 22050, 4410, true},
      {"tone_44k_16.flac", 48000, 28800, true},  // converted up
      {"tone_48k.opus", 44100, 24255, true},     // and down
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.file) + " at " + std::to_string(c.rate));
    auto decoder = Open(kData + c.file, c.rate);
    ASSERT_NE(decoder, nullptr);
    EXPECT_EQ(decoder->LengthFrames(), c.frames);
    plat::DecodeStatus status;
    std::vector<float> whole = DecodeAll(*decoder, &status);
    EXPECT_EQ(status, plat::DecodeStatus::kEnded);
    EXPECT_EQ(static_cast<int64_t>(whole.size() / 2), c.frames);
    ExpectTone(whole, c.stereo, c.rate, 0, 1024);  // past the codecs' first frames
    const int64_t to = c.frames * 2 / 3 + 7;
    ASSERT_EQ(decoder->Seek(to), to);
    ExpectTone(DecodeAll(*decoder, &status, 1024), c.stereo, c.rate, to, 0);
    // Cut or damaged copies open nothing or play what they hold to an end.
    std::string noisy = ReadBytes(kData + c.file);
    const std::string cuts[] = {noisy.substr(0, 40), noisy.substr(0, noisy.size() * 9 / 10)};
    noisy.replace(noisy.size() / 3, 3000, Noise(3000));
    for (const std::string& bytes : {cuts[0], cuts[1], noisy}) {
      std::ofstream(testing::TempDir() + "damaged", std::ios::binary | std::ios::trunc) << bytes;
      decoder = Open(testing::TempDir() + "damaged", c.rate);
      if (!decoder || bytes.size() == 40) {
        EXPECT_EQ(decoder, nullptr);
        continue;
      }
      const size_t heard = DecodeAll(*decoder, &status).size() / 2;
      EXPECT_EQ(status, plat::DecodeStatus::kEnded) << bytes.size() << " bytes";
      EXPECT_LE(heard, decoder->LengthFrames()) << bytes.size() << " bytes";
    }
  }
}

using FormatJoins = SoundFiles;

std::u16string nextFile;
SoundStream* second;
std::thread::id uiThread;

// As the next-track action does, on the user interface thread.
void PlayNext(SoundStream* ended) {
  EXPECT_EQ(std::this_thread::get_id(), uiThread);
  StopSoundStream(ended);
  CloseSoundStream(ended);
  second = OpenSoundStream(nextFile.c_str());
  PlaySoundStream(second);
}

// MP3 and Opus trim their encoders' delay and padding, the others are exact.
TEST_F(FormatJoins, OneToneCutInTwoFilesIsHeardWholeToTheSample) {
  struct Case {
    std::u16string format;
    int rate = 48000;
    size_t first = 15009, both = 15009 + 9600;  // samples of the tone
    bool stereo = false;
    int near = 1;  // frames away that the codec's noise still tells apart
    double noise = 1e-4;
  };
  constexpr size_t kAround = 2048;
  uiThread = std::this_thread::get_id();
  for (const Case& c : {Case{u"opus"}, Case{u"flac"}, Case{u"ogg"}, Case{u"wav"},
                        Case{u"mp3", 44100, 57330, 57330 + 44100, true, 4, 1e-3}}) {
    SCOPED_TRACE(plat::ToUtf8(c.format));
    plat::UseAudioSinkForTests(plat::AudioFormat{c.rate, 2});
    ASSERT_TRUE(StartSound());
    second = nullptr;
    nextFile = u"\\Tones\\join_b." + c.format;
    SoundStream* first = OpenSoundStream((u"\\Tones\\join_a." + c.format).c_str());
    ASSERT_NE(first, nullptr);
    SetSoundEndNotice(first, PlayNext);
    SetSoundChannelVolume(PlaySoundStream(first), 255);  // whatever an earlier test left
    std::vector<float> heard;
    while (heard.size() / 2 < c.both + kAround) {
      std::vector<float> block = HearFrames(512);
      heard.insert(heard.end(), block.begin(), block.end());
      PumpMessages();
    }
    CloseSoundStream(second);
    ExpectTone({heard.begin() + (c.first - kAround) * 2, heard.begin() + (c.first + kAround) * 2},
               c.stereo, c.rate, c.first - kAround, 0, c.near, c.noise);
    EXPECT_TRUE(
        std::all_of(heard.begin() + c.both * 2, heard.end(), [](float s) { return s == 0; }));
  }
}

}  // namespace
