#include "playback/tags.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "platform/files.h"
#include "platform/strings.h"

namespace {

constexpr const WCHAR* kUnknown = u"Unknown";
constexpr DWORD kHeaderBytes = 10;
constexpr BYTE kMagic[] = {'I', 'D', '3'};
constexpr int kFieldUnits = kTextChars - 1;
constexpr WCHAR kReplacement = 0xFFFD;

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
};

// Decodes a text frame's content (encoding byte first) into the field; an
// encoding it does not know leaves the field as it was.
void DecodeText(const BYTE* content, size_t size, WCHAR* field) {
  if (size == 0) return;
  FieldWriter w;
  const BYTE* text = content + 1;
  size_t bytes = size - 1;
  switch (content[0]) {
    case kLatin:
      for (size_t i = 0; i < bytes && !w.ended; ++i) {
        BYTE b = text[i];
        w.Put(b >= 0x80 && b < 0xA0 ? kWindows1252[b - 0x80] : b);
      }
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
      return;
  }
  w.units[w.count] = 0;
  std::memcpy(field, w.units, (w.count + 1) * sizeof(WCHAR));
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

// Walks the frames of a whole tag (header included) into the fields.
void WalkFrames(const BYTE* tag, DWORD length, BYTE major, TrackTags* tags) {
  const FrameLayout& f = major == 2 ? kVersion2 : kVersion3;
  WCHAR* fields[] = {tags->title, tags->artist, tags->album};
  uint64_t offset = kHeaderBytes;
  while (offset + f.headerBytes <= length) {
    const BYTE* frame = tag + offset;
    // Version 4 stores frame sizes seven bits a byte, like the tag's own.
    DWORD size =
        major == 4 ? Synchsafe(frame + f.sizeOffset) : BigEndian(frame + f.sizeOffset, f.sizeBytes);
    if (size == 0) break;
    size_t content = static_cast<size_t>(std::min<uint64_t>(size, length - offset - f.headerBytes));
    for (int i = 0; i < 3; ++i) {
      if (std::memcmp(frame, f.ids[i], f.idBytes) == 0) {
        DecodeText(frame + f.headerBytes, content, fields[i]);
        break;
      }
    }
    offset += f.headerBytes + uint64_t{size};
  }
}

}  // namespace

bool ReadFileHead(FileBuffer* buffer, const WCHAR* path) {
  std::vector<BYTE> bytes;
  if (!ReadFileStart(path, buffer->length, &bytes)) return false;
  BYTE* data = new (std::nothrow) BYTE[bytes.size()];
  if (!data) return false;
  std::copy(bytes.begin(), bytes.end(), data);
  buffer->data = buffer->cursor = data;
  buffer->length = static_cast<DWORD>(bytes.size());
  return true;
}

bool FreeFileBuffer(FileBuffer* buffer) {
  if (!buffer->data) return false;
  delete[] buffer->data;
  buffer->data = buffer->cursor = nullptr;
  return true;
}

bool ReadTrackTags(const WCHAR* path, TrackTags* tags) {
  for (WCHAR* field : {tags->title, tags->artist, tags->album})
    StringCchCopyW(field, kTextChars, kUnknown);
  FileBuffer head{nullptr, nullptr, kHeaderBytes};
  if (!ReadFileHead(&head, path)) return false;
  // A file shorter than the header carries no tag.
  bool tagged =
      head.length >= kHeaderBytes && std::equal(std::begin(kMagic), std::end(kMagic), head.data);
  BYTE major = tagged ? head.data[3] : 0;
  DWORD size = tagged ? Synchsafe(head.data + 6) : 0;
  FreeFileBuffer(&head);
  if (!tagged || major < 2) return false;
  FileBuffer tag{nullptr, nullptr, size + kHeaderBytes};
  if (!ReadFileHead(&tag, path)) return false;
  WalkFrames(tag.data, tag.length, major, tags);
  FreeFileBuffer(&tag);
  return true;
}
