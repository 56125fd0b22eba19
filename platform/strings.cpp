// Bounded UTF-16 string helpers.
#include "platform/strings.h"

#include <cstdarg>
#include <cstdio>

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

}  // namespace

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

int lstrcmpiW(const WCHAR* a, const WCHAR* b) {
  return StrCmpNIW(a, b, 0x7FFFFFFF);
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
