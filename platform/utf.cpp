// Conversions between file-system bytes, UTF-8 and the player's UTF-16.
#include <string>

#include "platform/internal.h"

namespace plat {
namespace {

constexpr char16_t kEscapeBase = 0xDC00;  // U+DC80..U+DCFF hold undecodable bytes
// Characters of a Linux name that mean something else in a device path (a
// separator, wildcards) stand in as private-use characters, so that a real
// name is never a path or a pattern.
struct StandIn {
  char byte;
  char16_t unit;
};
constexpr StandIn kStandIns[] = {{'\\', 0xF05C}, {'*', 0xF02A}, {'?', 0xF03F}};

char32_t StandInFor(char32_t c) {
  for (const StandIn& s : kStandIns)
    if (c == static_cast<char32_t>(s.byte)) return s.unit;
  return c;
}

char32_t StoodInFor(char32_t c) {
  for (const StandIn& s : kStandIns)
    if (c == s.unit) return static_cast<char32_t>(s.byte);
  return c;
}

// Decodes one UTF-8 sequence at s[i]; returns its length, or 0 if it is not
// well-formed (overlong forms, surrogates and values past U+10FFFF included).
size_t DecodeUtf8(std::string_view s, size_t i, char32_t* out) {
  auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char b0 = byte(i);
  if (b0 < 0x80) {
    *out = b0;
    return 1;
  }
  size_t len;
  char32_t cp;
  char32_t min;
  if ((b0 & 0xE0) == 0xC0) {
    len = 2, cp = b0 & 0x1F, min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    len = 3, cp = b0 & 0x0F, min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    len = 4, cp = b0 & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (i + len > s.size()) return 0;
  for (size_t k = 1; k < len; ++k) {
    unsigned char b = byte(i + k);
    if ((b & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  *out = cp;
  return len;
}

void AppendUtf16(std::u16string& out, char32_t cp) {
  if (cp >= 0x10000) {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  } else {
    out.push_back(static_cast<char16_t>(cp));
  }
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// Walks UTF-16 code points; a lone surrogate comes back as itself.
template <typename Fn>
void ForEachCodePoint(std::u16string_view s, Fn fn) {
  for (size_t i = 0; i < s.size(); ++i) {
    char32_t c = s[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
        s[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    }
    fn(c);
  }
}

}  // namespace

size_t NameFromBytes(std::string_view bytes, char16_t* out) {
  size_t n = 0;
  for (size_t i = 0; i < bytes.size();) {
    auto b = static_cast<unsigned char>(bytes[i]);
    if (b < 0x80 && b != '\\' && b != '*' && b != '?') {  // most names are mostly ASCII
      out[n++] = b;
      ++i;
      continue;
    }
    char32_t cp;
    size_t len = DecodeUtf8(bytes, i, &cp);
    if (len == 0) {
      out[n++] = static_cast<char16_t>(kEscapeBase + b);
      ++i;
      continue;
    }
    cp = StandInFor(cp);
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out[n++] = static_cast<char16_t>(0xD800 + (cp >> 10));
      out[n++] = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out[n++] = static_cast<char16_t>(cp);
    }
    i += len;
  }
  return n;
}

std::u16string NameFromBytes(std::string_view bytes) {
  std::u16string out(bytes.size(), u'\0');  // never more characters than bytes
  out.resize(NameFromBytes(bytes, out.data()));
  return out;
}

std::string NameToBytes(std::u16string_view name) {
  std::string out;
  out.reserve(name.size());
  ForEachCodePoint(name, [&](char32_t c) {
    if (c >= 0xDC80 && c <= 0xDCFF) {
      out.push_back(static_cast<char>(c - kEscapeBase));
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      AppendUtf8(out, 0xFFFD);  // a lone surrogate no name can hold
    } else {
      AppendUtf8(out, StoodInFor(c));
    }
  });
  return out;
}

std::string ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  ForEachCodePoint(text, [&](char32_t c) {
    AppendUtf8(out, (c >= 0xD800 && c <= 0xDFFF) ? char32_t{0xFFFD} : c);
  });
  return out;
}

std::u16string FromUtf8(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    char32_t cp;
    size_t len = DecodeUtf8(text, i, &cp);
    AppendUtf16(out, len ? cp : char32_t{0xFFFD});
    i += len ? len : 1;
  }
  return out;
}

std::u16string_view View(const WCHAR* text) {
  return text ? std::u16string_view(text) : std::u16string_view();
}

std::string DevicePathToReal(std::u16string_view path) {
  std::string out;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(u'\\', start);
    if (end == std::u16string_view::npos) end = path.size();
    if (start > 0) out.push_back('/');
    out += NameToBytes(path.substr(start, end - start));
    start = end + 1;
  }
  return out;
}

std::u16string RealPathToDevice(std::string_view path) {
  std::u16string out;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    if (start > 0) out.push_back(u'\\');
    out += NameFromBytes(path.substr(start, end - start));
    start = end + 1;
  }
  return out;
}

}  // namespace plat
