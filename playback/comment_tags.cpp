// Vorbis comments ("TITLE=...", UTF-8) in a FLAC metadata block or in the
// second packet of an Ogg stream, and the INFO list of a WAV file. Like the
// ID3 reader, it reads the few bytes it shows and passes over the rest (a
// picture) by its size.
#include "playback/comment_tags.h"

#include <algorithm>
#include <cstring>

#include "platform/files.h"
#include "playback/tag_text.h"

namespace {

constexpr DWORD kFlacBlockHeaderBytes = 4;
constexpr BYTE kFlacCommentBlock = 4;
constexpr BYTE kFlacLastBlock = 0x80;
constexpr DWORD kOggHeaderBytes = 27;  // before the page's segment table
constexpr DWORD kRiffHeaderBytes = 12;
constexpr DWORD kChunkHeaderBytes = 8;
// Walks end after this many metadata blocks, chunks or comments, or pages
// before the comments; a comment packet of more pieces than the reader
// holds (some 32 MB) ends where they end.
constexpr int kMostSteps = 10000;
constexpr int kMostPieces = 512;
constexpr DWORD kWindowBytes = 4096;
// More than a field can take (at most four bytes a unit), after its name.
constexpr DWORD kMostTextBytes = 4 * kTextChars;
constexpr DWORD kLongestNameBytes = 7;  // "ARTIST="
constexpr const char* kCommentNames[3] = {"TITLE=", "ARTIST=", "ALBUM="};
constexpr const char* kInfoIds[3] = {"INAM", "IART", "IPRD"};

bool Starts(const BYTE* bytes, DWORD have, const char* magic, size_t n) {
  return have >= n && std::memcmp(bytes, magic, n) == 0;
}

uint32_t LittleEndian32(const BYTE* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | uint32_t{p[3]} << 24;
}

// A stretch of the file.
struct Piece {
  uint64_t at;
  uint64_t bytes;
};

// The bytes of a comment block, which an Ogg stream cuts into pages, read in
// order through a window.
struct PieceReader {
  HANDLE file = nullptr;
  Piece pieces[kMostPieces];
  int count = 0;
  int piece = 0;      // the one being read
  uint64_t done = 0;  // of its bytes
  uint64_t windowAt = 0;
  DWORD windowFill = 0;
  BYTE window[kWindowBytes];

  void Add(uint64_t at, uint64_t bytes) {
    if (count > 0 && pieces[count - 1].at + pieces[count - 1].bytes == at) {
      pieces[count - 1].bytes += bytes;
    } else if (count < kMostPieces) {
      pieces[count++] = Piece{at, bytes};
    }
  }
  // Up to n bytes; fewer where the pieces end or a read fails.
  DWORD Read(BYTE* to, DWORD n) {
    DWORD got = 0;
    while (got < n && piece < count) {
      const uint64_t left = pieces[piece].bytes - done;
      const uint64_t at = pieces[piece].at + done;
      if (at < windowAt || at >= windowAt + windowFill) {
        windowAt = at;
        windowFill = ReadFileAt(file, at, window,
                                static_cast<DWORD>(std::min<uint64_t>(kWindowBytes, left)));
        if (windowFill == 0) break;
      }
      DWORD k = static_cast<DWORD>(std::min<uint64_t>({n - got, windowAt + windowFill - at, left}));
      std::memcpy(to + got, window + (at - windowAt), k);
      got += k;
      Skip(k);
    }
    return got;
  }
  void Skip(uint64_t n) {
    while (piece < count && n >= pieces[piece].bytes - done) {
      n -= pieces[piece].bytes - done;
      ++piece;
      done = 0;
    }
    if (piece < count) done += n;
  }
  bool Read32(uint32_t* v) {
    BYTE b[4];
    if (Read(b, sizeof b) != sizeof b) return false;
    *v = LittleEndian32(b);
    return true;
  }
};

bool SameNameIgnoringCase(const BYTE* text, const char* name, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    BYTE c = text[i] >= 'a' && text[i] <= 'z' ? text[i] - 32 : text[i];
    if (c != static_cast<BYTE>(name[i])) return false;
  }
  return true;
}

// A Vorbis comment block: the vendor's text, then "NAME=value" comments. The
// first TITLE, ARTIST and ALBUM give the fields.
void ReadComments(PieceReader* r, WCHAR* const fields[3]) {
  uint32_t vendor = 0, count = 0;
  if (!r->Read32(&vendor)) return;
  r->Skip(vendor);
  if (!r->Read32(&count)) return;
  bool given[3] = {};
  for (uint32_t i = 0; i < std::min<uint32_t>(count, kMostSteps); ++i) {
    uint32_t length = 0;
    if (!r->Read32(&length)) return;
    BYTE text[kLongestNameBytes + kMostTextBytes];
    DWORD got = r->Read(text, std::min<DWORD>(length, sizeof text));
    r->Skip(length - got);
    for (int f = 0; f < 3; ++f) {
      size_t n = std::strlen(kCommentNames[f]);
      if (given[f] || got < n || !SameNameIgnoringCase(text, kCommentNames[f], n)) continue;
      FieldWriter w;
      w.PutUtf8(text + n, got - n);
      w.WriteTo(fields[f]);
      given[f] = true;
    }
  }
}

// FLAC: metadata blocks after "fLaC", one of them the comments.
bool ReadFlacComments(HANDLE file, uint64_t fileSize, WCHAR* const fields[3]) {
  uint64_t at = 4;
  for (int block = 0; block < kMostSteps; ++block) {
    BYTE header[kFlacBlockHeaderBytes];
    if (ReadFileAt(file, at, header, sizeof header) != sizeof header) return false;
    const uint64_t bytes = header[1] << 16 | header[2] << 8 | header[3];
    at += sizeof header;
    if ((header[0] & ~kFlacLastBlock) == kFlacCommentBlock) {
      PieceReader r;
      r.file = file;
      r.Add(at, std::min(bytes, fileSize - std::min(at, fileSize)));
      ReadComments(&r, fields);
      return true;
    }
    if (header[0] & kFlacLastBlock) return false;
    at += bytes;
  }
  return false;
}

// Ogg: the comments are the second packet of the first stream, after the
// header that its first packet's codec gives them: Vorbis, Opus, or FLAC's
// metadata block.
bool ReadOggComments(HANDLE file, WCHAR* const fields[3]) {
  PieceReader r;
  r.file = file;
  BYTE codec[8] = {};
  uint32_t serial = 0;
  int packet = 0;
  uint64_t at = 0;
  for (int page = 0; page < kMostSteps && packet < 2; ++page) {
    BYTE header[kOggHeaderBytes + 255];
    DWORD got = ReadFileAt(file, at, header, sizeof header);
    if (got < kOggHeaderBytes || !Starts(header, got, "OggS", 4) ||
        got < kOggHeaderBytes + header[kOggHeaderBytes - 1])
      return false;
    const int segments = header[kOggHeaderBytes - 1];
    const uint32_t pageSerial = LittleEndian32(header + 14);
    at += kOggHeaderBytes + segments;
    if (page == 0) {
      serial = pageSerial;
      ReadFileAt(file, at, codec, sizeof codec);
    }
    for (int s = 0; s < segments; ++s) {
      const BYTE lacing = header[kOggHeaderBytes + s];
      if (pageSerial == serial && packet < 2) {
        if (packet == 1) r.Add(at, lacing);
        if (lacing < 255) ++packet;  // a packet ends with a segment shorter than 255 bytes
      }
      at += lacing;
    }
  }
  BYTE head[8] = {};
  if (packet < 2) return false;
  if (Starts(codec, sizeof codec, "\x01vorbis", 7)) {
    if (r.Read(head, 7) != 7 || !Starts(head, 7, "\x03vorbis", 7)) return false;
  } else if (Starts(codec, sizeof codec, "OpusHead", 8)) {
    if (r.Read(head, 8) != 8 || !Starts(head, 8, "OpusTags", 8)) return false;
  } else if (Starts(codec, sizeof codec,
                    "\x7F"
                    "FLAC",
                    5)) {
    if (r.Read(head, 4) != 4 || (head[0] & ~kFlacLastBlock) != kFlacCommentBlock) return false;
  } else {
    return false;
  }
  ReadComments(&r, fields);
  return true;
}

// A WAV file's LIST chunk of type INFO: INAM, IART and IPRD, in UTF-8 when
// they are that, else in code page 1252, as they say nothing of it.
void ReadInfoList(HANDLE file, uint64_t at, uint64_t end, WCHAR* const fields[3]) {
  for (int item = 0; item < kMostSteps && at + kChunkHeaderBytes <= end; ++item) {
    BYTE header[kChunkHeaderBytes];
    if (ReadFileAt(file, at, header, sizeof header) != sizeof header) return;
    const uint64_t bytes = LittleEndian32(header + 4);
    at += sizeof header;
    for (int f = 0; f < 3; ++f) {
      if (std::memcmp(header, kInfoIds[f], 4) != 0) continue;
      BYTE text[kMostTextBytes];
      DWORD got = ReadFileAt(
          file, at, text, static_cast<DWORD>(std::min<uint64_t>({bytes, sizeof text, end - at})));
      FieldWriter w;
      w.PutUtf8OrLatin(text, std::find(text, text + got, 0) - text);
      w.WriteTo(fields[f]);
    }
    at += bytes + (bytes & 1);  // chunks are padded to even sizes
  }
}

bool ReadWavTags(HANDLE file, uint64_t fileSize, WCHAR* const fields[3], uint64_t* id3Start,
                 uint64_t* id3End) {
  bool found = false;
  uint64_t at = kRiffHeaderBytes;
  for (int chunk = 0; chunk < kMostSteps && at + kChunkHeaderBytes <= fileSize; ++chunk) {
    BYTE header[kChunkHeaderBytes + 4];
    DWORD got = ReadFileAt(file, at, header, sizeof header);
    if (got < kChunkHeaderBytes) break;
    const uint64_t bytes = LittleEndian32(header + 4);
    const uint64_t end = std::min(at + kChunkHeaderBytes + bytes, fileSize);
    if (Starts(header, got, "LIST", 4) && Starts(header + 8, got - 8, "INFO", 4)) {
      ReadInfoList(file, at + sizeof header, end, fields);
      found = true;
    } else if (Starts(header, got, "id3 ", 4) || Starts(header, got, "ID3 ", 4)) {
      *id3Start = at + kChunkHeaderBytes;
      *id3End = end;
    }
    at += kChunkHeaderBytes + bytes + (bytes & 1);
  }
  return found;
}

}  // namespace

CommentTags CommentTagsOf(const BYTE* head, DWORD length) {
  if (Starts(head, length, "fLaC", 4)) return CommentTags::kFlac;
  if (Starts(head, length, "OggS", 4)) return CommentTags::kOgg;
  if (Starts(head, length, "RIFF", 4) && length >= 12 && Starts(head + 8, 4, "WAVE", 4))
    return CommentTags::kWav;
  return CommentTags::kNone;
}

bool ReadCommentTags(HANDLE file, uint64_t fileSize, CommentTags kind, WCHAR* const fields[3],
                     uint64_t* id3Start, uint64_t* id3End) {
  *id3Start = *id3End = 0;
  switch (kind) {
    case CommentTags::kFlac:
      return ReadFlacComments(file, fileSize, fields);
    case CommentTags::kOgg:
      return ReadOggComments(file, fields);
    case CommentTags::kWav:
      return ReadWavTags(file, fileSize, fields, id3Start, id3End);
    case CommentTags::kNone:
      break;
  }
  return false;
}
