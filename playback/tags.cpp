#include "playback/tags.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <new>

#include "platform/files.h"
#include "platform/strings.h"

namespace {

constexpr const WCHAR* kUnknown = u"Unknown";
constexpr DWORD kHeaderBytes = 10;
constexpr BYTE kMagic[] = {'I', 'D', '3'};
constexpr int kFieldUnits = kTextChars - 1;
constexpr WCHAR kReplacement = 0xFFFD;
// More than any field can take in any encoding (at most four bytes a unit),
// after the encoding byte: what is read of a text frame.
constexpr DWORD kMostTextBytes = 1 + 4 * kTextChars;
constexpr DWORD kWindowBytes = 8192;
static_assert(kWindowBytes >= 10 + kMostTextBytes, "a text frame fits in the window");
constexpr DWORD kVersion1Bytes = 128;
constexpr DWORD kVersion1FieldBytes = 30;  // title, artist, album follow "TAG"
constexpr BYTE kVersion1Magic[] = {'T', 'A', 'G'};

enum Encoding : BYTE { kLatin = 0, kUtf16WithMark = 1, kUtf16BigEndian = 2, kUtf8 = 3 };

struct FrameLayout {
  DWORD headerBytes;
  DWORD idBytes;
  DWORD sizeOffset;
  DWORD sizeBytes;
  const char* ids[3];  // title, artist, album
};
constexpr FrameLayout kVersion2{6, 3, 3, 3, {"TT2", "TP1", "TAL"}};
constexpr FrameLayout kVersion3{10, 4, 4, 4, {"TIT2", "TPE1", "TALB"}};

// Code page 1252 at 0x80..0x9F; the rest of the page is Latin-1. Unassigned
// places keep their own value, as the system's conversion does.
constexpr WCHAR kWindows1252[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Collects the units of one field, at most 255, ending at a zero.
struct FieldWriter {
  WCHAR units[kTextChars];
  int count = 0;
  bool ended = false;
  bool Put(WCHAR unit) {
    if (ended || unit == 0 || count >= kFieldUnits) return ended = true, false;
    units[count++] = unit;
    return true;
  }
  // A code point, as one unit or a surrogate pair; a pair that does not fit
  // whole ends the field.
  void PutCodePoint(uint32_t cp) {
    if (cp < 0x10000) {
      Put(static_cast<WCHAR>(cp));
    } else if (count + 2 <= kFieldUnits) {
      cp -= 0x10000;
      Put(static_cast<WCHAR>(0xD800 + (cp >> 10)));
      Put(static_cast<WCHAR>(0xDC00 + (cp & 0x3FF)));
    } else {
      ended = true;
    }
  }
  // UTF-16 units: pairs kept whole, lone halves shown as the replacement.
  void PutUtf16(const BYTE* p, size_t units, bool bigEndian) {
    auto unit = [&](size_t i) -> WCHAR {
      return bigEndian ? static_cast<WCHAR>(p[2 * i] << 8 | p[2 * i + 1])
                       : static_cast<WCHAR>(p[2 * i + 1] << 8 | p[2 * i]);
    };
    for (size_t i = 0; i < units && !ended; ++i) {
      WCHAR u = unit(i);
      if (u >= 0xD800 && u < 0xDC00 && i + 1 < units && unit(i + 1) >= 0xDC00 &&
          unit(i + 1) < 0xE000) {
        PutCodePoint(0x10000 + ((u - 0xD800) << 10) + (unit(i + 1) - 0xDC00));
        ++i;
      } else {
        Put(u >= 0xD800 && u < 0xE000 ? kReplacement : u);
      }
    }
  }
  // Code page 1252, the device's own.
  void PutLatin(const BYTE* p, size_t bytes) {
    for (size_t i = 0; i < bytes && !ended; ++i)
      Put(p[i] >= 0x80 && p[i] < 0xA0 ? kWindows1252[p[i] - 0x80] : p[i]);
  }
  void PutUtf8(const BYTE* p, size_t bytes) {
    size_t i = 0;
    while (i < bytes && !ended) {
      BYTE b = p[i];
      int extra = b < 0x80             ? 0
                  : (b & 0xE0) == 0xC0 ? 1
                  : (b & 0xF0) == 0xE0 ? 2
                  : (b & 0xF8) == 0xF0 ? 3
                                       : -1;
      uint32_t cp = extra == 0 ? b : extra == 1 ? b & 0x1F : extra == 2 ? b & 0x0F : b & 0x07;
      bool valid = extra >= 0 && i + extra < bytes;
      for (int k = 1; valid && k <= extra; ++k) {
        valid = (p[i + k] & 0xC0) == 0x80;
        cp = cp << 6 | (p[i + k] & 0x3F);
      }
      constexpr uint32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
      if (valid && (cp < kSmallest[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)))
        valid = false;
      if (valid) {
        PutCodePoint(cp);
        i += extra + 1;
      } else {
        Put(kReplacement);
        ++i;
      }
    }
  }
  void WriteTo(WCHAR* field) {
    units[count] = 0;
    std::memcpy(field, units, (count + 1) * sizeof(WCHAR));
  }
};

// Decodes a text frame's content (encoding byte first) into the field; an
// encoding it does not know leaves the field as it was. True when it wrote.
bool DecodeText(const BYTE* content, size_t size, WCHAR* field) {
  if (size == 0) return false;
  FieldWriter w;
  const BYTE* text = content + 1;
  size_t bytes = size - 1;
  switch (content[0]) {
    case kLatin:
      w.PutLatin(text, bytes);
      break;
    case kUtf16WithMark:
      // A frame too short to hold its mark holds no text.
      if (bytes >= 2) w.PutUtf16(text + 2, (bytes - 2) / 2, text[0] == 0xFE);
      break;
    case kUtf16BigEndian:
      w.PutUtf16(text, bytes / 2, true);
      break;
    case kUtf8:
      w.PutUtf8(text, bytes);
      break;
    default:
      return false;
  }
  w.WriteTo(field);
  return true;
}

DWORD BigEndian(const BYTE* p, DWORD bytes) {
  DWORD v = 0;
  for (DWORD i = 0; i < bytes; ++i) v = v << 8 | p[i];
  return v;
}

// Seven bits a byte, most significant first, combined by OR as written.
DWORD Synchsafe(const BYTE* p) {
  return ((((DWORD{p[0]} * 128) | p[1]) * 128 | p[2]) * 128) | p[3];
}

// The piece of the tag around the frame being walked: one buffer, read
// again from the frame that needs bytes beyond it. A frame the player does
// not show (a picture) is skipped by its size, not read.
struct TagWindow {
  HANDLE file;
  uint64_t end;  // where the tag ends, or the file when it ends sooner
  uint64_t start = 0;
  DWORD filled = 0;
  BYTE bytes[kWindowBytes];

  // The bytes from `offset` on: at least `want` of them unless the tag ends
  // sooner or a read fails; how many there are in *have.
  const BYTE* At(uint64_t offset, DWORD want, DWORD* have) {
    uint64_t needed = std::min<uint64_t>(want, end - offset);
    if (offset < start || offset + needed > start + filled) {
      start = offset;
      filled = ReadFileAt(file, offset, bytes,
                          static_cast<DWORD>(std::min<uint64_t>(kWindowBytes, end - offset)));
    }
    *have = static_cast<DWORD>(start + filled - offset);
    return bytes + (offset - start);
  }
};

// Walks the frames of the tag into the fields; given[i] tells which fields a
// frame gave.
void WalkFrames(TagWindow* tag, BYTE major, WCHAR* const fields[3], bool given[3]) {
  const FrameLayout& f = major == 2 ? kVersion2 : kVersion3;
  uint64_t offset = kHeaderBytes;
  while (offset + f.headerBytes <= tag->end) {
    DWORD have = 0;
    const BYTE* frame = tag->At(offset, f.headerBytes, &have);
    if (have < f.headerBytes) break;
    // Version 4 stores frame sizes seven bits a byte, like the tag's own.
    DWORD size =
        major == 4 ? Synchsafe(frame + f.sizeOffset) : BigEndian(frame + f.sizeOffset, f.sizeBytes);
    if (size == 0) break;
    for (int i = 0; i < 3; ++i) {
      if (std::memcmp(frame, f.ids[i], f.idBytes) == 0) {
        frame = tag->At(offset, f.headerBytes + kMostTextBytes, &have);
        size_t content = have > f.headerBytes ? std::min<size_t>(size, have - f.headerBytes) : 0;
        given[i] |= DecodeText(frame + f.headerBytes, content, fields[i]);
        break;
      }
    }
    offset += f.headerBytes + uint64_t{size};
  }
}

// Fills the fields that no version 2 frame gave from the version 1 tag in
// the file's last 128 bytes, when one lies there after `from`. True when
// there is one.
bool ReadVersion1(HANDLE file, uint64_t from, uint64_t fileSize, WCHAR* const fields[3],
                  const bool given[3]) {
  BYTE tag[kVersion1Bytes];
  if (fileSize < from + kVersion1Bytes ||
      ReadFileAt(file, fileSize - kVersion1Bytes, tag, kVersion1Bytes) != kVersion1Bytes ||
      !std::equal(std::begin(kVersion1Magic), std::end(kVersion1Magic), tag))
    return false;
  for (int i = 0; i < 3; ++i) {
    const BYTE* text = tag + sizeof kVersion1Magic + i * kVersion1FieldBytes;
    // Fields are padded with zeros or spaces; an empty one gives nothing.
    size_t n = std::find(text, text + kVersion1FieldBytes, 0) - text;
    while (n > 0 && text[n - 1] == ' ') --n;
    if (given[i] || n == 0) continue;
    FieldWriter w;
    w.PutLatin(text, n);
    w.WriteTo(fields[i]);
  }
  return true;
}

}  // namespace

bool ReadFileHead(FileBuffer* buffer, const WCHAR* path) {
  uint64_t size = 0;
  HANDLE file = OpenFileForReading(path, &size);
  if (file == INVALID_HANDLE_VALUE) return false;
  if (buffer->length != 0 && buffer->length <= size) size = buffer->length;
  BYTE* data = size == 0 || size > DWORD{0xFFFFFFFF} ? nullptr : new (std::nothrow) BYTE[size];
  bool read = data && ReadFileAt(file, 0, data, static_cast<DWORD>(size)) == size;
  CloseHandle(file);
  if (!read) {
    delete[] data;
    return false;
  }
  buffer->data = buffer->cursor = data;
  buffer->length = static_cast<DWORD>(size);
  return true;
}

bool FreeFileBuffer(FileBuffer* buffer) {
  if (!buffer->data) return false;
  delete[] buffer->data;
  buffer->data = buffer->cursor = nullptr;
  return true;
}

bool ReadTrackTags(const WCHAR* path, TrackTags* tags) {
  WCHAR* const fields[3] = {tags->title, tags->artist, tags->album};
  for (WCHAR* field : fields) StringCchCopyW(field, kTextChars, kUnknown);
  FileBuffer head{nullptr, nullptr, kHeaderBytes};
  if (!ReadFileHead(&head, path)) return false;
  // A file shorter than the header carries no tag.
  bool tagged =
      head.length >= kHeaderBytes && std::equal(std::begin(kMagic), std::end(kMagic), head.data);
  BYTE major = tagged ? head.data[3] : 0;
  uint64_t tagEnd = tagged ? Synchsafe(head.data + 6) + uint64_t{kHeaderBytes} : 0;
  FreeFileBuffer(&head);
  bool walked = tagged && major >= 2;

  uint64_t fileSize = 0;
  HANDLE file = OpenFileForReading(path, &fileSize);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool given[3] = {};
  if (walked) {
    // Never more than the file holds, whatever the header claims.
    TagWindow tag{file, std::min(tagEnd, fileSize), 0, 0, {}};
    WalkFrames(&tag, major, fields, given);
  }
  bool version1 = ReadVersion1(file, walked ? tagEnd : 0, fileSize, fields, given);
  CloseHandle(file);
  return walked || version1;
}
