// The tag readers on tags written byte by byte, and on the tones as their encoders tagged them.
#include "playback/tags.h"

#include "tests/sound_fixture.h"

namespace {

using namespace std::string_literals;

std::string Be32(uint32_t n, int bits = 8) {  // 7 bits a byte: synchsafe
  const uint32_t m = (1u << bits) - 1;
  return {char(n >> 3 * bits & m), char(n >> 2 * bits & m), char(n >> bits & m), char(n & m)};
}
std::string Le32(size_t n) {
  return {char(n), char(n >> 8), char(n >> 16), char(n >> 24)};
}
std::string Frame(const std::string& id, const std::string& content, int major = 3) {
  return id + Be32(content.size(), major == 4 ? 7 : 8) + "\0\0"s + content;
}
std::string Tag(int major, const std::string& frames, uint32_t size = 0) {
  return "ID3"s + char(major) + "\0\0"s + Be32(size ? size : frames.size(), 7) + frames;
}
std::string Tag1(std::string title, std::string artist, std::string album) {
  for (std::string* field : {&title, &artist, &album}) field->resize(30, 0);
  return "TAG" + title + artist + album + "1999" + std::string(30, 0) + "\x0C";
}
std::string Tone(const std::string& name) {
  return ReadBytes(VESK_SOURCE_DIR "/tests/data/" + name);
}
std::string Chunk(const std::string& id, const std::string& data) {
  return id + Le32(data.size()) + data + std::string(data.size() % 2, 0);
}
// Ogg pages carrying the packets, each page as full as its 255 segments allow.
std::string Comments(const std::vector<std::string>& comments) {
  std::string block = Le32(0) + Le32(comments.size());
  for (const std::string& c : comments) block += Le32(c.size()) + c;
  return block;
}
std::string Ogg(const std::vector<std::string>& packets) {
  std::string lacing, body, pages;
  for (const std::string& packet : packets) {
    lacing += std::string(packet.size() / 255, char(255)) + char(packet.size() % 255);
    body += packet;
  }
  for (size_t segment = 0, at = 0; segment < lacing.size(); segment += 255) {
    const std::string page = lacing.substr(segment, 255);
    size_t bytes = 0;
    for (char n : page) bytes += uint8_t(n);
    pages += "OggS" + std::string(22, 0) + char(page.size()) + page + body.substr(at, bytes);
    at += bytes;
  }
  return pages;
}

std::u16string Fields(const TrackTags& t) {  // as "title|artist|album"
  return std::u16string(t.title) + u"|" + t.artist + u"|" + t.album;
}

using TrackTagsTest = SoundFiles;

TEST_F(TrackTagsTest, EachKindOfTagGivesItsFieldsInEveryEncoding) {
  const std::u16string none = u"Unknown|Unknown|Unknown";
  const std::string audio = Tone("stereo_44k_cbr.mp3");  // for tags to stand around
  const std::u16string tones = u"Night \u263E \u591C\u660E\u3051 \U0001D11E|\u00C1sta|\u03A9mega";
  std::string withPicture = Tone("tone_44k_16.flac");
  withPicture.insert(42, "\x06\x01\x86\xA0"s + std::string(100000, 0));  // 100,000 bytes
  struct Case {
    const char* what;
    std::string file;
    std::u16string fields;
    bool walked = true;  // a tag of a kind and version handled was read
  } cases[] = {
      {"no tag", "just audio, no tag here", none, false},
      {"utf-16 big-endian", Tag(3, Frame("TPE1", "\1\xFE\xFF\0H\0i"s)), u"Unknown|Hi|Unknown"},
      {"version 2", Tag(2, "TT2\0\0\4\0Abc"s), u"Abc|Unknown|Unknown"},
      {"size 0 ends the walk", Tag(3, Frame("TIT2", "") + Frame("TPE1", "\0X"s)), none},
      {"later frame replaces", Tag(3, Frame("TIT2", "\0A"s) + Frame("TIT2", "\0B"s)),
       u"B|Unknown|Unknown"},
      {"version 4 sizes are synchsafe, in utf-8",
       Tag(4, Frame("COMM", std::string(200, 'c'), 4) + Frame("TIT2", "\3V4 \xC3\xA9", 4)),
       u"V4 \u00E9|Unknown|Unknown"},
      {"300 utf-16 units", Tag(3, Frame("TIT2", "\1\xFF\xFE" + std::string(600, 'x'))),
       std::u16string(255, u'\u7878') + u"|Unknown|Unknown"},
      {"shorter than its mark", Tag(3, Frame("TIT2", "\1\xFF")), u"|Unknown|Unknown"},
      {"odd utf-16 length", Tag(3, Frame("TIT2", "\1\xFF\xFEH\0i"s)), u"H|Unknown|Unknown"},
      {"unpaired surrogates", Tag(3, Frame("TIT2", "\2\xD8\0\0a\xDC\0"s)),
       u"\uFFFDa\uFFFD|Unknown|Unknown"},
      {"a frame running past the end", Tag(3, "TIT2\0\0\x7F\0\0\0\0Z"s), u"Z|Unknown|Unknown"},
      {"tag size past the end, a header cut short", Tag(3, Frame("TPE1", "\0Q"s) + "TIT", 100000),
       u"Unknown|Q|Unknown"},
      {"shorter than a header", "ID3\3", none, false},
      {"version 1 header", Tag(1, Frame("TIT2", "\0A"s)), none, false},
      {"only a version 1 tag", audio + Tag1("Caf\xE9 \x80", "Band  ", "Record\0junk"s),
       u"Caf\u00E9 \u20AC|Band|Record"},
      {"version 2 wins field by field",
       Tag(3, Frame("TIT2", "\0New"s) + Frame("TALB", "\0"s)) + audio +
           Tag1("Old", "Band", "Record"),
       u"New|Band|"},
      {"an unreadable frame gives nothing",
       Tag(3, Frame("TIT2", "\7A")) + audio + Tag1("Old", "", "   "), u"Old|Unknown|Unknown"},
      {"TAG inside the version 2 tag", Tag(3, Frame("COMM", "\0"s + Tag1("In", "The", "Tag"))),
       none},
      {"Ogg Vorbis by oggenc", Tone("tone_22k.ogg"), tones},
      {"Opus by opusenc", Tone("tone_48k.opus"), tones},
      {"FLAC in Ogg, an artist only", Tone("tone_48k_24.oga"), u"Unknown|Only the artist|Unknown"},
      {"WAV without tags", Tone("tone_8k_u8.wav"), none, false},
      {"FLAC comments after a picture", withPicture, tones},
      {"Opus comments over pages, after a long one, names in any case, the first of each",
       Ogg({"OpusHead" + std::string(11, 0),
            "OpusTags" + Comments({"DESCRIPTION=" + std::string(100000, 'd'), "title=Far",
                                   "TITLE=Later", "Artist=Near"})}),
       u"Far|Near|Unknown"},
      {"WAV INFO in UTF-8 and in code page 1252",
       Chunk("RIFF", "WAVE" + Chunk("fmt ", std::string(16, 0)) +
                         Chunk("LIST", "INFO" + Chunk("INAM", "Caf\xC3\xA9\0"s) +
                                           Chunk("IPRD", "Caf\xE9\0"s))),
       u"Caf\u00E9|Unknown|Caf\u00E9"},
      {"WAV ID3 chunk over INFO",
       Chunk("RIFF", "WAVE" + Chunk("LIST", "INFO" + Chunk("INAM", "Old") + Chunk("IART", "Band")) +
                         Chunk("id3 ", Tag(3, Frame("TIT2", "\3New")))),
       u"New|Band|Unknown"},
  };
  for (const Case& c : cases) {
    std::ofstream(root_ / "Tones" / "tagged.mp3", std::ios::binary) << c.file;
    TrackTags tags;
    EXPECT_EQ(ReadTrackTags(u"\\Tones\\tagged.mp3", &tags), c.walked) << c.what;
    EXPECT_EQ(Fields(tags), c.fields) << c.what;
  }
  TrackTags tags;
  EXPECT_FALSE(ReadTrackTags(u"\\Tones\\missing.mp3", &tags));
  EXPECT_EQ(Fields(tags), none);
}

// Linux's VmHWM: the peak of resident memory since the last reset, in kB.
long PeakKb(bool reset) {
  if (reset) std::ofstream("/proc/self/clear_refs") << "5";
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

TEST_F(TrackTagsTest, AHugeTagIsWalkedWithoutHoldingIt) {
  // A sparse file of 1 GB: the largest tag, a picture of 500 MB, and a version 1 tag at the end.
  const uint32_t kPicture = 500'000'000;
  const uint64_t kFile = uint64_t{1} << 30;
  std::string head = Tag(3, Frame("TIT2", "\0Huge"s) + "APIC" + Be32(kPicture) + "\0\0"s);
  head.replace(6, 4, "\xFF\xFF\xFF\xFF");
  const std::string after = Frame("TPE1", "\0After"s), tail = Tag1("", "", "Album");
  std::ofstream file(root_ / "Tones" / "huge.mp3", std::ios::binary);
  file << head;
  file.seekp(head.size() + kPicture) << after;  // the holes take no disk space
  file.seekp(kFile - tail.size()) << tail;
  file.close();
  long before = PeakKb(true);
  TrackTags tags;
  ASSERT_TRUE(ReadTrackTags(u"\\Tones\\huge.mp3", &tags));
  EXPECT_LT(PeakKb(false) - before, 4096) << "kB more than before the read";
  EXPECT_EQ(Fields(tags), u"Huge|After|Album");
}

}  // namespace
