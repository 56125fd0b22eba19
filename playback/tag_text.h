// Text of tags as the fields of TrackTags hold it: at most 255 UTF-16 units,
// from the encodings that tags use. For the tag readers only.
#pragma once

#include <cstring>

#include "app/app_state.h"

constexpr int kFieldUnits = kTextChars - 1;
constexpr WCHAR kReplacement = 0xFFFD;

// The bytes of one UTF-8 sequence at p (of `left` bytes): how many, with its
// code point in *cp; 0 when none starts there.
inline int Utf8Sequence(const BYTE* p, size_t left, uint32_t* cp) {
  BYTE b = p[0];
  int extra = b < 0x80             ? 0
              : (b & 0xE0) == 0xC0 ? 1
              : (b & 0xF0) == 0xE0 ? 2
              : (b & 0xF8) == 0xF0 ? 3
                                   : -1;
  if (extra < 0 || static_cast<size_t>(extra) >= left) return 0;
  uint32_t v = extra == 0 ? b : extra == 1 ? b & 0x1F : extra == 2 ? b & 0x0F : b & 0x07;
  for (int k = 1; k <= extra; ++k) {
    if ((p[k] & 0xC0) != 0x80) return 0;
    v = v << 6 | (p[k] & 0x3F);
  }
  constexpr uint32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
  if (v < kSmallest[extra] || v > 0x10FFFF || (v >= 0xD800 && v < 0xE000)) return 0;
  *cp = v;
  return extra + 1;
}

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
  // UTF-8: each sequence that is not one shown as the replacement.
  void PutUtf8(const BYTE* p, size_t bytes) {
    for (size_t i = 0; i < bytes && !ended;) {
      uint32_t cp = 0;
      int n = Utf8Sequence(p + i, bytes - i, &cp);
      if (n) {
        PutCodePoint(cp);
        i += n;
      } else {
        Put(kReplacement);
        ++i;
      }
    }
  }
  // UTF-8 where the bytes are that, else code page 1252: tags that say
  // nothing of their encoding.
  void PutUtf8OrLatin(const BYTE* p, size_t bytes) {
    uint32_t cp;
    for (size_t i = 0; i < bytes;) {
      int n = Utf8Sequence(p + i, bytes - i, &cp);
      if (!n) return PutLatin(p, bytes);
      i += n;
    }
    PutUtf8(p, bytes);
  }
  void WriteTo(WCHAR* field) {
    units[count] = 0;
    std::memcpy(field, units, (count + 1) * sizeof(WCHAR));
  }
};
