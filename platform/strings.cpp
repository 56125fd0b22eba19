// Bounded UTF-16 string helpers.
#include "platform/strings.h"

#include <cstdarg>
#include <cstdio>
#include <utility>

#include "platform/internal.h"

namespace {

// Simple case folding to lower case for the scripts file names commonly use:
// ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic.
char16_t FoldCase(char16_t c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') ? static_cast<char16_t>(c + 32) : c;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<char16_t>(c + 32);
  if (c >= 0x100 && c <= 0x17F) {
    // Pairs alternate upper, lower; the run 0x139..0x148 and 0x179..0x17E start odd.
    bool oddStart = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
    if (oddStart) return (c & 1) ? static_cast<char16_t>(c + 1) : c;
    return (c & 1) ? c : static_cast<char16_t>(c + 1);
  }
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return static_cast<char16_t>(c + 32);
  if (c >= 0x410 && c <= 0x42F) return static_cast<char16_t>(c + 32);
  if (c >= 0x400 && c <= 0x40F) return static_cast<char16_t>(c + 80);
  return c;
}

// The sort order's first level: symbols and punctuation, then digits, then
// letters, each letter weighed as its base letter without case or accent.
constexpr uint32_t kSymbol = 1u << 24;
constexpr uint32_t kDigit = 2u << 24;
constexpr uint32_t kLetter = 3u << 24;

// The base letters of U+00C0..U+024F and U+1E00..U+1EFF, from their
// decompositions: a small letter; '-' a symbol; '.' a letter of its own;
// a capital stands for two letters (A "ae", I "ij", O "oe", S "ss", T "th").
constexpr char kLatinBases[] =
    "aaaaaaAceeeeiiiidnooooo-ouuuuyTS"
    "aaaaaaAceeeeiiiidnooooo-ouuuuyTy"
    "aaaaaaccccccccddddeeeeeeeeeegggg"
    "gggghhhhiiiiiiiiiiIIjjkkklllllll"
    "lllnnnnnnnnnooooooOOrrrrrrssssss"
    "ssttttttuuuuuuuuuuuuwwyyyzzzzzzs"
    "................................"
    "oo.............uu..............."
    "....dddlllnnnaaiioouuuuuuuuuu.aa"
    "aa....ggkkoooo..jdddgg..nnaa...."
    "aaaaeeeeiiiioooorrrruuuusstt..hh"
    "......aaeeooooooooyy............"
    "................";
constexpr char kLatinAdditionalBases[] =
    "aabbbbbbccddddddddddeeeeeeeeeeff"
    "gghhhhhhhhhhiiiikkkkkkllllllllmm"
    "mmmmnnnnnnnnoooooooopppprrrrrrrr"
    "ssssssssssttttttttuuuuuuuuuuvvvv"
    "wwwwwwwwwwxxxxyyzzzzzzhtwyaS...."
    "aaaaaaaaaaaaaaaaaaaaaaaaeeeeeeee"
    "eeeeeeeeiiiioooooooooooooooooooo"
    "oooouuuuuuuuuuuuuuyyyyyyyy......";
static_assert(sizeof kLatinBases == 0x250 - 0xC0 + 1);
static_assert(sizeof kLatinAdditionalBases == 0x100 + 1);

// Greek letters with tonos or dialytika, and the Cyrillic letters read as a
// marked base letter, after simple case folding, with their base letters.
constexpr char16_t kMarkedLetters[][2] = {
    {u'Ά', u'α'}, {u'Έ', u'ε'}, {u'Ή', u'η'}, {u'Ί', u'ι'}, {u'Ό', u'ο'}, {u'Ύ', u'υ'},
    {u'Ώ', u'ω'}, {u'ΐ', u'ι'}, {u'ά', u'α'}, {u'έ', u'ε'}, {u'ή', u'η'}, {u'ί', u'ι'},
    {u'ΰ', u'υ'}, {u'ς', u'σ'}, {u'ϊ', u'ι'}, {u'ϋ', u'υ'}, {u'ό', u'ο'}, {u'ύ', u'υ'},
    {u'ώ', u'ω'}, {u'ѐ', u'е'}, {u'ё', u'е'}, {u'ѓ', u'г'}, {u'ї', u'і'}, {u'ќ', u'к'},
    {u'ѝ', u'и'}, {u'ў', u'у'}};

char16_t BaseLetter(char16_t c) {
  c = FoldCase(c);
  if (c < u'Ά' || c > u'ў') return c;
  for (const auto& [marked, base] : kMarkedLetters) {
    if (c == marked) return base;
  }
  return c;
}

uint32_t Primary(char16_t c, uint32_t* second) {
  if (c < 0x80) {
    if (c >= '0' && c <= '9') return kDigit | c;
    char16_t lower = c | 0x20;
    return lower >= 'a' && lower <= 'z' ? kLetter | lower : kSymbol | c;
  }
  char base = '.';
  if (c >= 0xC0 && c < 0x250) {
    base = kLatinBases[c - 0xC0];
  } else if (c >= 0x1E00 && c < 0x1F00) {
    base = kLatinAdditionalBases[c - 0x1E00];
  } else if (c < 0xC0 || (c >= 0x2000 && c < 0x2C00) || (c >= 0x3000 && c < 0x3040)) {
    return kSymbol | c;  // Latin-1 signs, general punctuation and symbols, CJK punctuation
  }
  if (base >= 'a') return kLetter | static_cast<uint32_t>(base);
  if (base == '-') return kSymbol | c;
  if (base == '.') return kLetter | BaseLetter(c);
  static constexpr struct {
    char mark;
    char first, second;
  } kExpansions[] = {
      {'A', 'a', 'e'}, {'I', 'i', 'j'}, {'O', 'o', 'e'}, {'S', 's', 's'}, {'T', 't', 'h'}};
  for (const auto& e : kExpansions) {
    if (e.mark != base) continue;
    *second = kLetter | static_cast<uint32_t>(e.second);
    return kLetter | static_cast<uint32_t>(e.first);
  }
  return kLetter | c;
}

// Walks a text's first-level weights; a character worth two letters gives both.
struct Weights {
  const WCHAR* at;
  uint32_t pending = 0;
  uint32_t Next() {
    if (pending) return std::exchange(pending, 0);
    if (!*at) return 0;
    return Primary(*at++, &pending);
  }
};

}  // namespace

namespace plat {

bool SameBaseLetter(char16_t a, char16_t b) {
  uint32_t ignored = 0;
  return Primary(a, &ignored) == Primary(b, &ignored);
}

}  // namespace plat

int lstrlenW(const WCHAR* text) {
  if (!text) return 0;
  int n = 0;
  while (text[n]) ++n;
  return n;
}

bool StringCchCopyNW(WCHAR* dst, size_t size, const WCHAR* src, size_t count) {
  if (!dst || size == 0) return false;
  size_t i = 0;
  while (src && i < count && src[i] && i + 1 < size) {
    dst[i] = src[i];
    ++i;
  }
  dst[i] = 0;
  return !src || i == count || !src[i];
}

bool StringCchCopyW(WCHAR* dst, size_t size, const WCHAR* src) {
  return StringCchCopyNW(dst, size, src, static_cast<size_t>(-1));
}

bool StringCchCatW(WCHAR* dst, size_t size, const WCHAR* src) {
  if (!dst || size == 0) return false;
  size_t len = 0;
  while (len < size && dst[len]) ++len;
  if (len == size) {  // not terminated: terminate, nothing fits
    dst[size - 1] = 0;
    return false;
  }
  return StringCchCopyW(dst + len, size - len, src);
}

int lstrcmpW(const WCHAR* a, const WCHAR* b) {
  a = a ? a : u"";
  b = b ? b : u"";
  while (*a && *a == *b) ++a, ++b;
  return static_cast<int>(*a) - static_cast<int>(*b);
}

int StrCmpNIW(const WCHAR* a, const WCHAR* b, int count) {
  a = a ? a : u"";
  b = b ? b : u"";
  for (int i = 0; i < count; ++i) {
    char16_t ca = FoldCase(a[i]), cb = FoldCase(b[i]);
    if (ca != cb) return static_cast<int>(ca) - static_cast<int>(cb);
    if (!ca) return 0;
  }
  return 0;
}

// Base letters first, so that accented letters sort beside theirs and case
// does not count; then the accents, letter by letter; the same in any locale.
int lstrcmpiW(const WCHAR* a, const WCHAR* b) {
  a = a ? a : u"";
  b = b ? b : u"";
  // The same characters weigh the same: step over them without weighing.
  size_t same = 0;
  while (a[same] && a[same] == b[same]) ++same;
  Weights x{a + same}, y{b + same};
  for (;;) {
    uint32_t wx = x.Next(), wy = y.Next();
    if (wx != wy) return wx < wy ? -1 : 1;
    if (!wx) break;
  }
  return StrCmpNIW(a + same, b + same, 0x7FFFFFFF);
}

bool StringCchPrintfW(WCHAR* dst, size_t size, const WCHAR* format, ...) {
  if (!dst || size == 0) return false;
  va_list args;
  va_start(args, format);
  size_t n = 0;
  bool fits = true;
  auto put = [&](char16_t c) {
    if (n + 1 < size) {
      dst[n++] = c;
    } else {
      fits = false;
    }
  };
  for (const WCHAR* p = format; p && *p; ++p) {
    if (*p != u'%') {
      put(*p);
      continue;
    }
    ++p;
    bool zeroPad = false;
    int width = 0;
    if (*p == u'0') zeroPad = true, ++p;
    while (*p >= u'0' && *p <= u'9') width = width * 10 + (*p++ - u'0');
    char digits[24];
    switch (*p) {
      case u'd':
      case u'u': {
        int len = (*p == u'd') ? snprintf(digits, sizeof digits, "%d", va_arg(args, int))
                               : snprintf(digits, sizeof digits, "%u", va_arg(args, unsigned));
        for (int i = len; i < width; ++i) put(zeroPad ? u'0' : u' ');
        for (int i = 0; i < len; ++i) put(static_cast<char16_t>(digits[i]));
        break;
      }
      case u's':
        for (const WCHAR* s = va_arg(args, const WCHAR*); s && *s; ++s) put(*s);
        break;
      case u'%':
        put(u'%');
        break;
      case 0:
        --p;  // a lone '%' at the end
        break;
      default:
        put(u'%');
        put(*p);
    }
  }
  va_end(args);
  dst[n] = 0;
  return fits;
}
