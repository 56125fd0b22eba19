// rename_font in.ttf out.ttf Family
//
// Copies a TrueType or OpenType file with its family renamed: the name
// records of the family, full name, PostScript name, unique id and the
// typographic family and subfamily are rewritten for the Windows and Mac
// platforms; every other record and table is kept. The table checksums and
// head.checkSumAdjustment are recomputed, as the file format requires.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

uint16_t Read16(const Bytes& b, size_t at) {
  return static_cast<uint16_t>(b[at] << 8 | b[at + 1]);
}
uint32_t Read32(const Bytes& b, size_t at) {
  return uint32_t{b[at]} << 24 | uint32_t{b[at + 1]} << 16 | uint32_t{b[at + 2]} << 8 | b[at + 3];
}
void Put16(Bytes& b, uint16_t v) {
  b.push_back(static_cast<uint8_t>(v >> 8));
  b.push_back(static_cast<uint8_t>(v));
}
void Put32(Bytes& b, uint32_t v) {
  Put16(b, static_cast<uint16_t>(v >> 16));
  Put16(b, static_cast<uint16_t>(v));
}
void Write32At(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

// Sum of big-endian 32-bit words, the data padded with zeros to a whole word.
uint32_t Checksum(const Bytes& b, size_t at, size_t length) {
  uint32_t sum = 0;
  for (size_t i = 0; i < length; i += 4) {
    uint32_t word = 0;
    for (size_t k = 0; k < 4; ++k) word = word << 8 | (i + k < length ? b[at + i + k] : 0);
    sum += word;
  }
  return sum;
}

struct Table {
  uint32_t tag;
  Bytes data;
};

struct NameRecord {
  uint16_t platform, encoding, language, nameId;
  Bytes text;  // as stored: UTF-16BE on platforms 0 and 3, one byte a character on 1
};

constexpr uint32_t Tag(const char (&t)[5]) {
  return uint32_t(uint8_t(t[0])) << 24 | uint32_t(uint8_t(t[1])) << 16 |
         uint32_t(uint8_t(t[2])) << 8 | uint8_t(t[3]);
}

constexpr uint16_t kFamily = 1, kSubfamily = 2, kUniqueId = 3, kFullName = 4, kPostScript = 6,
                   kTypoFamily = 16, kTypoSubfamily = 17;

bool Fail(const std::string& message) {
  std::fprintf(stderr, "rename_font: %s\n", message.c_str());
  return false;
}

bool IsUtf16(uint16_t platform) {
  return platform == 0 || platform == 3;
}

// Name text as ASCII for building the new names; other characters become '?'.
std::string Decode(const NameRecord& r) {
  std::string out;
  if (IsUtf16(r.platform)) {
    for (size_t i = 0; i + 1 < r.text.size(); i += 2) {
      uint16_t c = static_cast<uint16_t>(r.text[i] << 8 | r.text[i + 1]);
      out.push_back(c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?');
    }
  } else {
    for (uint8_t c : r.text) out.push_back(c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?');
  }
  return out;
}

// ASCII text in the record's own encoding (ASCII is the same in Mac Roman).
Bytes Encode(uint16_t platform, const std::string& text) {
  Bytes out;
  for (char c : text) {
    if (IsUtf16(platform)) out.push_back(0);
    out.push_back(static_cast<uint8_t>(c));
  }
  return out;
}

bool ParseName(const Bytes& t, std::vector<NameRecord>* records, Bytes* langTags) {
  if (t.size() < 6) return Fail("the name table is too short");
  uint16_t format = Read16(t, 0), count = Read16(t, 2), storage = Read16(t, 4);
  if (format > 1) return Fail("unknown name table format");
  size_t end = 6 + size_t{count} * 12;
  if (end > t.size() || storage > t.size()) return Fail("the name table is damaged");
  auto text = [&](size_t length, size_t offset, Bytes* out) {
    if (size_t{storage} + offset + length > t.size()) return false;
    out->assign(t.begin() + storage + offset, t.begin() + storage + offset + length);
    return true;
  };
  for (size_t i = 0; i < count; ++i) {
    size_t at = 6 + i * 12;
    NameRecord r{Read16(t, at), Read16(t, at + 2), Read16(t, at + 4), Read16(t, at + 6), {}};
    if (!text(Read16(t, at + 8), Read16(t, at + 10), &r.text))
      return Fail("a name record points outside the name table");
    records->push_back(std::move(r));
  }
  if (format == 1) {
    // Language tags: kept as (length, text) pairs for the rebuild.
    if (end + 2 > t.size()) return Fail("the name table is damaged");
    uint16_t tags = Read16(t, end);
    if (end + 2 + size_t{tags} * 4 > t.size()) return Fail("the name table is damaged");
    Put16(*langTags, tags);
    for (size_t i = 0; i < tags; ++i) {
      Bytes s;
      if (!text(Read16(t, end + 2 + i * 4), Read16(t, end + 4 + i * 4), &s))
        return Fail("a language tag points outside the name table");
      Put16(*langTags, static_cast<uint16_t>(s.size()));
      langTags->insert(langTags->end(), s.begin(), s.end());
    }
  }
  return true;
}

bool BuildName(const std::vector<NameRecord>& records, const Bytes& langTags, Bytes* out) {
  uint16_t tags = langTags.empty() ? 0 : Read16(langTags, 0);
  Bytes storage;
  Bytes head;
  Put16(head, langTags.empty() ? 0 : 1);
  Put16(head, static_cast<uint16_t>(records.size()));
  size_t storageOffset = 6 + records.size() * 12 + (langTags.empty() ? 0 : 2 + tags * 4);
  if (storageOffset > 0xFFFF) return Fail("too many name records");
  Put16(head, static_cast<uint16_t>(storageOffset));
  auto store = [&](const Bytes& s) {
    if (storage.size() + s.size() > 0xFFFF) return false;
    Put16(head, static_cast<uint16_t>(s.size()));
    Put16(head, static_cast<uint16_t>(storage.size()));
    storage.insert(storage.end(), s.begin(), s.end());
    return true;
  };
  for (const NameRecord& r : records) {
    Put16(head, r.platform);
    Put16(head, r.encoding);
    Put16(head, r.language);
    Put16(head, r.nameId);
    if (!store(r.text)) return Fail("the names do not fit in a name table");
  }
  if (!langTags.empty()) {
    Put16(head, tags);
    for (size_t i = 0, at = 2; i < tags; ++i) {
      uint16_t length = Read16(langTags, at);
      if (!store(Bytes(langTags.begin() + at + 2, langTags.begin() + at + 2 + length)))
        return Fail("the names do not fit in a name table");
      at += 2 + length;
    }
  }
  *out = std::move(head);
  out->insert(out->end(), storage.begin(), storage.end());
  return true;
}

bool IsRegularStyle(const std::string& style) {
  return style.empty() || style == "Regular" || style == "Book" || style == "Normal" ||
         style == "Roman";
}

std::string PostScriptName(const std::string& family, const std::string& style) {
  std::string name;
  for (char c : IsRegularStyle(style) ? family : family + "-" + style) {
    // PostScript names are printable ASCII without spaces and a few delimiters.
    if (c > 0x20 && c < 0x7F && std::string("[](){}<>/%").find(c) == std::string::npos)
      name.push_back(c);
  }
  return name.substr(0, 63);
}

// Returns how many family records were renamed.
int Rename(std::vector<NameRecord>& records, const std::string& family) {
  // The style of each platform, encoding and language, from its subfamily.
  using Key = std::tuple<uint16_t, uint16_t, uint16_t>;
  std::map<Key, std::string> styles;
  std::string anyStyle;
  for (const NameRecord& r : records) {
    if (r.nameId != kSubfamily) continue;
    styles[{r.platform, r.encoding, r.language}] = Decode(r);
    if (anyStyle.empty() || (r.platform == 3 && r.language == 0x409)) anyStyle = Decode(r);
  }
  int renamed = 0;
  for (NameRecord& r : records) {
    if (r.platform != 1 && r.platform != 3) continue;
    auto found = styles.find({r.platform, r.encoding, r.language});
    std::string style = found != styles.end() ? found->second : anyStyle;
    std::string full = IsRegularStyle(style) ? family : family + " " + style;
    switch (r.nameId) {
      case kFamily:
        ++renamed;
        r.text = Encode(r.platform, family);
        break;
      case kTypoFamily:
        r.text = Encode(r.platform, family);
        break;
      case kFullName:
      case kUniqueId:
        r.text = Encode(r.platform, full);
        break;
      case kPostScript:
        r.text = Encode(r.platform, PostScriptName(family, style));
        break;
      case kTypoSubfamily:
        // The renamed family is this one face: its typographic style is its style.
        r.text = Encode(r.platform, style.empty() ? "Regular" : style);
        break;
      default:
        break;
    }
  }
  return renamed;
}

bool ReadFont(const Bytes& file, uint32_t* version, std::vector<Table>* tables) {
  if (file.size() < 12) return Fail("not a font file: too short");
  *version = Read32(file, 0);
  if (*version == Tag("ttcf")) return Fail("font collections are not supported");
  if (*version != 0x00010000 && *version != Tag("true") && *version != Tag("OTTO"))
    return Fail("not a TrueType or OpenType font");
  uint16_t count = Read16(file, 4);
  if (count == 0 || 12 + size_t{count} * 16 > file.size()) return Fail("damaged table directory");
  for (size_t i = 0; i < count; ++i) {
    size_t at = 12 + i * 16;
    uint32_t tag = Read32(file, at), offset = Read32(file, at + 8), length = Read32(file, at + 12);
    if (size_t{offset} + length > file.size()) return Fail("a table lies outside the file");
    tables->push_back({tag, Bytes(file.begin() + offset, file.begin() + offset + length)});
  }
  return true;
}

bool WriteFont(uint32_t version, std::vector<Table>& tables, Bytes* out) {
  uint16_t count = static_cast<uint16_t>(tables.size());
  uint16_t entrySelector = 0;
  while ((2u << entrySelector) <= count) ++entrySelector;
  uint16_t searchRange = static_cast<uint16_t>(16u << entrySelector);
  Put32(*out, version);
  Put16(*out, count);
  Put16(*out, searchRange);
  Put16(*out, entrySelector);
  Put16(*out, static_cast<uint16_t>(count * 16 - searchRange));
  size_t offset = 12 + size_t{count} * 16;
  size_t headAt = 0;
  for (Table& t : tables) {
    if (t.tag == Tag("head")) {
      if (t.data.size() < 12) return Fail("the head table is too short");
      Write32At(t.data, 8, 0);  // summed as zero, filled in below
      headAt = offset;
    }
    Put32(*out, t.tag);
    Put32(*out, Checksum(t.data, 0, t.data.size()));
    Put32(*out, static_cast<uint32_t>(offset));
    Put32(*out, static_cast<uint32_t>(t.data.size()));
    offset += (t.data.size() + 3) & ~size_t{3};
  }
  if (headAt == 0) return Fail("the font has no head table");
  for (const Table& t : tables) {
    out->insert(out->end(), t.data.begin(), t.data.end());
    out->resize((out->size() + 3) & ~size_t{3}, 0);
  }
  Write32At(*out, headAt + 8, 0xB1B0AFBA - Checksum(*out, 0, out->size()));
  return true;
}

bool ValidFamily(const std::string& family) {
  if (family.empty() || family.size() > 31) return false;
  for (char c : family)
    if (c < 0x20 || c >= 0x7F) return false;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: rename_font in.ttf out.ttf Family\n");
    return 2;
  }
  std::string family = argv[3];
  if (!ValidFamily(family)) {
    Fail("the family must be 1 to 31 printable ASCII characters");
    return 1;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    Fail(std::string("cannot read ") + argv[1]);
    return 1;
  }
  Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

  uint32_t version = 0;
  std::vector<Table> tables;
  if (!ReadFont(file, &version, &tables)) return 1;
  std::vector<Table> kept;
  bool renamed = false;
  for (Table& t : tables) {
    // A digital signature no longer matches the changed file.
    if (t.tag == Tag("DSIG")) continue;
    if (t.tag == Tag("name")) {
      std::vector<NameRecord> records;
      Bytes langTags;
      if (!ParseName(t.data, &records, &langTags)) return 1;
      if (Rename(records, family) == 0) {
        Fail("the font has no Windows or Mac family name");
        return 1;
      }
      if (!BuildName(records, langTags, &t.data)) return 1;
      renamed = true;
    }
    kept.push_back(std::move(t));
  }
  if (!renamed) {
    Fail("the font has no name table");
    return 1;
  }
  Bytes out;
  if (!WriteFont(version, kept, &out)) return 1;
  std::ofstream dst(argv[2], std::ios::binary | std::ios::trunc);
  dst.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
  dst.close();
  if (!dst) {
    std::remove(argv[2]);
    Fail(std::string("cannot write ") + argv[2]);
    return 1;
  }
  return 0;
}
