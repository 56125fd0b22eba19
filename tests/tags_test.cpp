// The ID3 reader on tags written byte by byte into real files.
#include "playback/tags.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/sound_fixture.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Text(const std::string& s) {
  return Bytes(s.begin(), s.end());
}

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// A frame of major version 3 and above; version 4 sizes are synchsafe.
Bytes Frame(const std::string& id, const Bytes& content, int major = 3) {
  uint32_t n = static_cast<uint32_t>(content.size());
  Bytes size = major == 4 ? Bytes{uint8_t(n >> 21 & 0x7F), uint8_t(n >> 14 & 0x7F),
                                  uint8_t(n >> 7 & 0x7F), uint8_t(n & 0x7F)}
                          : Bytes{uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)};
  return Text(id) + size + Bytes{0, 0} + content;
}

Bytes Frame2(const std::string& id, const Bytes& content) {
  uint32_t n = static_cast<uint32_t>(content.size());
  return Text(id) + Bytes{uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)} + content;
}

// A tag header announcing `size` bytes of frames, then the frames.
Bytes Tag(int major, const Bytes& frames, uint32_t size = 0) {
  if (!size) size = static_cast<uint32_t>(frames.size());
  return Text("ID3") +
         Bytes{uint8_t(major),
               0,
               0,
               uint8_t(size >> 21 & 0x7F),
               uint8_t(size >> 14 & 0x7F),
               uint8_t(size >> 7 & 0x7F),
               uint8_t(size & 0x7F)} +
         frames;
}

// A version 1 tag: "TAG", title, artist and album of 30 bytes each, zero
// padded, then year, comment and genre.
Bytes Tag1(const std::string& title, const std::string& artist, const std::string& album) {
  Bytes tag = Text("TAG");
  for (const std::string& field : {title, artist, album}) {
    Bytes padded = Text(field);
    padded.resize(30, 0);
    tag = tag + padded;
  }
  return tag + Text("1999") + Bytes(30, 0) + Bytes{12};
}

// Real audio for the tags to stand around.
Bytes Audio() {
  std::ifstream in(std::string(VESK_SOURCE_DIR) + "/tests/data/stereo_44k_cbr.mp3",
                   std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::u16string Field(const WCHAR* f) {
  return std::u16string(f);
}

class TrackTagsTest : public SoundFiles {
 protected:
  TrackTags Read(const Bytes& file, bool* result = nullptr) {
    std::ofstream(root_ / "Tones" / "tagged.mp3", std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), file.size());
    TrackTags tags;
    bool ok = ReadTrackTags(u"\\Tones\\tagged.mp3", &tags);
    if (result) *result = ok;
    return tags;
  }
};

TEST_F(TrackTagsTest, FramesGiveTheirFieldsInEveryEncoding) {
  const std::u16string long300(255, u'x');
  struct Case {
    const char* what;
    Bytes file;
    std::u16string title, artist, album;
  } cases[] = {
      {"no tag", Text("just audio, no tag here"), u"Unknown", u"Unknown", u"Unknown"},
      {"latin title", Tag(3, Frame("TIT2", Bytes{0} + Text("Hello"))), u"Hello", u"Unknown",
       u"Unknown"},
      {"utf-16 little-endian artist", Tag(3, Frame("TPE1", Bytes{1, 0xFF, 0xFE, 'H', 0, 'i', 0})),
       u"Unknown", u"Hi", u"Unknown"},
      {"utf-16 big-endian artist", Tag(3, Frame("TPE1", Bytes{1, 0xFE, 0xFF, 0, 'H', 0, 'i'})),
       u"Unknown", u"Hi", u"Unknown"},
      {"version 2 title", Tag(2, Frame2("TT2", Bytes{0} + Text("Abc"))), u"Abc", u"Unknown",
       u"Unknown"},
      {"only the encoding byte", Tag(3, Frame("TALB", Bytes{0})), u"Unknown", u"Unknown", u""},
      {"size 0 ends the walk", Tag(3, Frame("TIT2", Bytes{}) + Frame("TPE1", Bytes{0, 'X'})),
       u"Unknown", u"Unknown", u"Unknown"},
      {"code page 1252", Tag(3, Frame("TIT2", Bytes{0, 0x80, 0xE9})), u"\u20AC\u00E9", u"Unknown",
       u"Unknown"},
      {"utf-16 without a mark", Tag(3, Frame("TIT2", Bytes{2, 0x00, 'O', 0x04, 0x1F})), u"O\u041F",
       u"Unknown", u"Unknown"},
      {"utf-8", Tag(3, Frame("TALB", Bytes{3} + Text("Caf\xC3\xA9 \xF0\x9F\x8E\xB5"))), u"Unknown",
       u"Unknown", u"Caf\u00E9 \U0001F3B5"},
      {"later frame replaces", Tag(3, Frame("TIT2", Bytes{0, 'A'}) + Frame("TIT2", Bytes{0, 'B'})),
       u"B", u"Unknown", u"Unknown"},
      {"zero ends the text", Tag(3, Frame("TIT2", Bytes{0, 'A', 0, 'B'})), u"A", u"Unknown",
       u"Unknown"},
      {"unknown encoding", Tag(3, Frame("TIT2", Bytes{7, 'A'})), u"Unknown", u"Unknown",
       u"Unknown"},
      // Version 4 frame sizes are synchsafe: a 200-byte comment is skipped
      // whole and the title after it is found.
      {"version 4 after a long frame",
       Tag(4, Frame("COMM", Bytes(200, 'c'), 4) + Frame("TIT2", Bytes{3, 'V', '4'}, 4)), u"V4",
       u"Unknown", u"Unknown"},
      {"300 characters", Tag(3, Frame("TIT2", Bytes{0} + Bytes(300, 'x'))), long300, u"Unknown",
       u"Unknown"},
      {"300 utf-16 units",
       Tag(3, Frame(
                  "TIT2", Bytes{1, 0xFF, 0xFE} +
                              [] {
                                Bytes b;
                                for (int i = 0; i < 300; ++i) b = b + Bytes{'x', 0};
                                return b;
                              }())),
       long300, u"Unknown", u"Unknown"},
      {"encoding 1 shorter than its mark", Tag(3, Frame("TIT2", Bytes{1, 0xFF})), u"", u"Unknown",
       u"Unknown"},
      {"odd utf-16 length", Tag(3, Frame("TIT2", Bytes{1, 0xFF, 0xFE, 'H', 0, 'i'})), u"H",
       u"Unknown", u"Unknown"},
      {"unpaired surrogates", Tag(3, Frame("TIT2", Bytes{2, 0xD8, 0x00, 0, 'a', 0xDC, 0x00})),
       u"\uFFFDa\uFFFD", u"Unknown", u"Unknown"},
      {"a frame running past the end", Tag(3, Text("TIT2") + Bytes{0, 0, 0x7F, 0, 0, 0, 0, 'Z'}),
       u"Z", u"Unknown", u"Unknown"},
      {"tag size past the end", Tag(3, Frame("TPE1", Bytes{0, 'Q'}), 100000), u"Unknown", u"Q",
       u"Unknown"},
      {"a header cut short", Tag(3, Frame("TPE1", Bytes{0, 'Q'}) + Text("TIT")), u"Unknown", u"Q",
       u"Unknown"},
      {"ID3 but shorter than a header", Text("ID3\x03"), u"Unknown", u"Unknown", u"Unknown"},
      {"version 1", Tag(1, Frame("TIT2", Bytes{0, 'A'})), u"Unknown", u"Unknown", u"Unknown"},
      {"only an ID3 version 1 tag",
       Audio() + Tag1("Caf\xE9 \x80", "Band  ", std::string("Record\0junk", 11)),
       u"Caf\u00E9 \u20AC", u"Band", u"Record"},
      {"version 2 wins field by field",
       Tag(3, Frame("TIT2", Bytes{0} + Text("New")) + Frame("TALB", Bytes{0})) + Audio() +
           Tag1("Old", "Band", "Record"),
       u"New", u"Band", u""},
      {"an unreadable frame gives nothing",
       Tag(3, Frame("TIT2", Bytes{7, 'A'})) + Audio() + Tag1("Old", "", "   "), u"Old", u"Unknown",
       u"Unknown"},
      {"TAG inside the version 2 tag", Tag(3, Frame("COMM", Bytes{0} + Tag1("In", "The", "Tag"))),
       u"Unknown", u"Unknown", u"Unknown"},
  };
  for (const Case& c : cases) {
    TrackTags tags = Read(c.file);
    EXPECT_EQ(Field(tags.title), c.title) << c.what;
    EXPECT_EQ(Field(tags.artist), c.artist) << c.what;
    EXPECT_EQ(Field(tags.album), c.album) << c.what;
  }
}

Bytes Le32(size_t n) {
  return {uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)};
}

// A test tone of tests/data, tagged by its encoder.
Bytes Tone(const std::string& name) {
  std::string bytes = ReadBytes(VESK_SOURCE_DIR "/tests/data/" + name);
  return Bytes(bytes.begin(), bytes.end());
}

// A RIFF chunk, padded to an even size, and a WAV file of chunks.
Bytes Chunk(const std::string& id, const Bytes& data) {
  return Text(id) + Le32(data.size()) + data + Bytes(data.size() % 2, 0);
}
Bytes Wav(const Bytes& chunks) {
  return Text("RIFF") + Le32(4 + chunks.size()) + Text("WAVE") + chunks;
}

// Vorbis comments with an empty vendor, and Ogg pages that carry packets,
// each page as full as its 255 segments allow.
Bytes Comments(const std::vector<std::string>& comments) {
  Bytes block = Le32(0) + Le32(comments.size());
  for (const std::string& c : comments) block = block + Le32(c.size()) + Text(c);
  return block;
}
Bytes Ogg(const std::vector<Bytes>& packets) {
  Bytes pages, lacing, body;
  auto page = [&] {
    pages = pages + Text("OggS") + Bytes(22, 0) + Bytes{uint8_t(lacing.size())} + lacing + body;
    lacing.clear();
    body.clear();
  };
  for (const Bytes& packet : packets) {
    for (size_t at = 0;; at += 255) {
      size_t n = std::min<size_t>(255, packet.size() - at);
      lacing.push_back(uint8_t(n));
      body.insert(body.end(), packet.begin() + at, packet.begin() + at + n);
      if (lacing.size() == 255) page();
      if (n < 255) break;
    }
  }
  if (!lacing.empty()) page();
  return pages;
}

TEST_F(TrackTagsTest, FlacOggAndWavFilesGiveTheirFieldsInEachForm) {
  const std::u16string night = u"Night \u263E \u591C\u660E\u3051 \U0001D11E";
  Bytes flacWithPicture = Tone("tone_44k_16.flac");
  const Bytes picture = Bytes{6, 0x01, 0x86, 0xA0} + Bytes(100000, 0);  // block 6 of 100,000 bytes
  flacWithPicture.insert(flacWithPicture.begin() + 42, picture.begin(), picture.end());
  struct Case {
    const char* what;
    Bytes file;
    std::u16string title, artist, album;
  } cases[] = {
      {"FLAC by flac", Tone("tone_44k_16.flac"), night, u"\u00C1sta", u"\u03A9mega"},
      {"Ogg Vorbis by oggenc", Tone("tone_22k.ogg"), night, u"\u00C1sta", u"\u03A9mega"},
      {"Opus by opusenc", Tone("tone_48k.opus"), night, u"\u00C1sta", u"\u03A9mega"},
      {"FLAC in Ogg, an artist only", Tone("tone_48k_24.oga"), u"Unknown", u"Only the artist",
       u"Unknown"},
      {"WAV without tags", Tone("tone_8k_u8.wav"), u"Unknown", u"Unknown", u"Unknown"},
      {"FLAC comments after a picture", flacWithPicture, night, u"\u00C1sta", u"\u03A9mega"},
      {"Opus comments over pages, after a long one, names in any case, the first of each",
       Ogg({Text("OpusHead") + Bytes(11, 0),
            Text("OpusTags") + Comments({"DESCRIPTION=" + std::string(100000, 'd'), "title=Far",
                                         "TITLE=Later", "Artist=Near"})}),
       u"Far", u"Near", u"Unknown"},
      {"WAV INFO in UTF-8 and in code page 1252",
       Wav(Chunk("fmt ", Bytes(16, 0)) +
           Chunk("LIST", Text("INFO") + Chunk("INAM", Text("Caf\xC3\xA9") + Bytes{0}) +
                             Chunk("IPRD", Text("Caf\xE9") + Bytes{0}))),
       u"Caf\u00E9", u"Unknown", u"Caf\u00E9"},
      {"WAV ID3 chunk over INFO",
       Wav(Chunk("LIST", Text("INFO") + Chunk("INAM", Text("Old")) + Chunk("IART", Text("Band"))) +
           Chunk("id3 ", Tag(3, Frame("TIT2", Bytes{3} + Text("New"))))),
       u"New", u"Band", u"Unknown"},
  };
  for (const Case& c : cases) {
    TrackTags tags = Read(c.file);
    EXPECT_EQ(Field(tags.title), c.title) << c.what;
    EXPECT_EQ(Field(tags.artist), c.artist) << c.what;
    EXPECT_EQ(Field(tags.album), c.album) << c.what;
  }
}

// The peak of resident memory since the last reset (Linux's VmHWM), in kB.
long PeakKb(bool reset) {
  if (reset) std::ofstream("/proc/self/clear_refs") << "5";
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

TEST_F(TrackTagsTest, AHugeTagIsWalkedWithoutHoldingIt) {
  // A sparse file of 1 GB whose header claims a tag of 512 MB: a title, a
  // picture of 500 MB, the artist after it, and a version 1 tag at the end.
  const uint64_t kPicture = 500'000'000, kFile = uint64_t{1} << 30;
  Bytes head = Tag(3, Frame("TIT2", Bytes{0} + Text("Huge")) + Text("APIC") +
                          Bytes{uint8_t(kPicture >> 24), uint8_t(kPicture >> 16),
                                uint8_t(kPicture >> 8), uint8_t(kPicture), 0, 0});
  head[6] = head[7] = head[8] = head[9] = 0xFF;
  Bytes after = Frame("TPE1", Bytes{0} + Text("After")), tail = Tag1("", "", "Album");
  int fd = open((root_ / "Tones" / "huge.mp3").c_str(), O_WRONLY | O_CREAT, 0644);
  ASSERT_EQ(pwrite(fd, head.data(), head.size(), 0), ssize_t(head.size()));
  ASSERT_EQ(pwrite(fd, after.data(), after.size(), head.size() + kPicture), ssize_t(after.size()));
  ASSERT_EQ(pwrite(fd, tail.data(), tail.size(), kFile - tail.size()), ssize_t(tail.size()));
  close(fd);
  long before = PeakKb(true);
  TrackTags tags;
  ASSERT_TRUE(ReadTrackTags(u"\\Tones\\huge.mp3", &tags));
  EXPECT_LT(PeakKb(false) - before, 4096) << "kB more than before the read";
  EXPECT_EQ(Field(tags.title) + Field(tags.artist) + Field(tags.album), u"HugeAfterAlbum");
}

TEST_F(TrackTagsTest, TheResultSaysWhetherATagWasWalked) {
  bool result = false;
  Read(Tag(3, Frame("TIT2", Bytes{})), &result);
  EXPECT_TRUE(result);
  Read(Text("ID3"), &result);
  EXPECT_FALSE(result);
  TrackTags tags;
  EXPECT_FALSE(ReadTrackTags(u"\\Tones\\missing.mp3", &tags));
  EXPECT_EQ(Field(tags.title), u"Unknown");
}

TEST_F(TrackTagsTest, TheHeadIsReadUpToItsLimitAndAnEmptyFileFails) {
  Read(Text("0123456789abcdef"));
  FileBuffer head{nullptr, nullptr, 10};
  ASSERT_TRUE(ReadFileHead(&head, u"\\Tones\\tagged.mp3"));
  EXPECT_EQ(head.length, 10u);
  EXPECT_EQ(head.cursor, head.data);
  EXPECT_TRUE(FreeFileBuffer(&head));
  EXPECT_FALSE(FreeFileBuffer(&head));
  FileBuffer whole{nullptr, nullptr, 0};
  ASSERT_TRUE(ReadFileHead(&whole, u"\\Tones\\tagged.mp3"));
  EXPECT_EQ(whole.length, 16u);
  FreeFileBuffer(&whole);
  Read(Bytes{});
  FileBuffer empty{nullptr, nullptr, 0};
  EXPECT_FALSE(ReadFileHead(&empty, u"\\Tones\\tagged.mp3"));
  EXPECT_EQ(empty.data, nullptr);
}

}  // namespace
