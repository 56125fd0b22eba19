#include "playback/tags.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <new>

#include "platform/files.h"
#include "platform/strings.h"
#include "playback/comment_tags.h"
#include "playback/tag_text.h"

namespace {

constexpr const WCHAR* kUnknown = u"Unknown";
constexpr DWORD kHeaderBytes = 10;
constexpr BYTE kMagic[] = {'I', 'D', '3'};
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
  uint64_t base = 0;  // where the tag starts in the file; offsets count from it

  // The bytes from `offset` on: at least `want` of them unless the tag ends
  // sooner or a read fails; how many there are in *have.
  const BYTE* At(uint64_t offset, DWORD want, DWORD* have) {
    uint64_t needed = std::min<uint64_t>(want, end - offset);
    if (offset < start || offset + needed > start + filled) {
      start = offset;
      filled = ReadFileAt(file, base + offset, bytes,
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

// An ID3 tag in a chunk of another format (a WAV file's "id3 "), from
// `start` to `end`: its frames give the fields they have.
bool WalkChunkTag(HANDLE file, uint64_t start, uint64_t end, WCHAR* const fields[3]) {
  BYTE header[kHeaderBytes];
  if (end < start + kHeaderBytes || ReadFileAt(file, start, header, kHeaderBytes) != kHeaderBytes ||
      !std::equal(std::begin(kMagic), std::end(kMagic), header) || header[3] < 2)
    return false;
  bool given[3] = {};
  TagWindow tag{
      file, std::min(Synchsafe(header + 6) + uint64_t{kHeaderBytes}, end - start), 0, 0, {}, start};
  WalkFrames(&tag, header[3], fields, given);
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
  FileBuffer head{nullptr, nullptr, std::max(kHeaderBytes, kCommentTagsHeadBytes)};
  if (!ReadFileHead(&head, path)) return false;
  const CommentTags comments = CommentTagsOf(head.data, head.length);
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
  if (comments != CommentTags::kNone) {
    uint64_t id3Start = 0, id3End = 0;
    bool read = ReadCommentTags(file, fileSize, comments, fields, &id3Start, &id3End);
    read |= id3Start && WalkChunkTag(file, id3Start, id3End, fields);
    CloseHandle(file);
    return read;
  }
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
