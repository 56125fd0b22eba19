// Reading and writing the registry-export text of the settings file.
#include "platform/reg_text.h"

#include <charconv>
#include <cstdio>

#include "platform/internal.h"
#include "platform/registry.h"
#include "platform/strings.h"

namespace plat::reg {
namespace {

constexpr std::string_view kSignature = "Windows Registry Editor Version 5.00";
constexpr size_t kHexLineWidth = 76;  // regedit wraps long hex data near 80 columns
constexpr const char* kBlanks = " \t\r\n";
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16Mark = "\xFF\xFE";  // UTF-16LE, as regedit exports

bool EqualNoCase(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() && StrCmpNIW(a.data(), b.data(), static_cast<int>(a.size())) == 0;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    char c = s[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    if (c != prefix[i]) return false;
  }
  return true;
}

// 1..maxDigits hex digits, the whole of s.
bool ParseHexNumber(std::string_view s, size_t maxDigits, DWORD* out) {
  const char* end = s.data() + s.size();
  auto [stop, error] = std::from_chars(s.data(), end, *out, 16);
  return !s.empty() && s.size() <= maxDigits && error == std::errc{} && stop == end;
}

// Text of the file as UTF-16, refusing bytes that are not UTF-8 (the line is
// then damaged rather than silently changed).
bool DecodeText(std::string_view s, std::u16string* out) {
  *out = FromUtf8(s);
  return ToUtf8(*out) == s;
}

// A quoted name or string at s[*pos] with \\ and \" escapes; *pos ends past
// the closing quote.
bool ParseQuoted(std::string_view s, size_t* pos, std::u16string* out) {
  if (*pos >= s.size() || s[*pos] != '"') return false;
  std::string raw;
  for (size_t i = *pos + 1; i < s.size(); ++i) {
    char c = s[i];
    if (c == '"') {
      *pos = i + 1;
      return DecodeText(raw, out);
    }
    if (c == '\\') {
      if (++i >= s.size() || (s[i] != '\\' && s[i] != '"')) return false;
      c = s[i];
    }
    raw.push_back(c);
  }
  return false;
}

bool ParseHexBytes(std::string_view s, std::vector<BYTE>* out) {
  out->clear();
  s = Trim(s);
  while (!s.empty()) {
    size_t comma = s.find(',');
    std::string_view item = Trim(s.substr(0, comma));
    DWORD v;
    if (!ParseHexNumber(item, 2, &v)) return false;
    out->push_back(static_cast<BYTE>(v));
    if (comma == std::string_view::npos) break;
    s = Trim(s.substr(comma + 1));  // a trailing comma is tolerated
  }
  return true;
}

// The name and the '=' of an entry; *pos ends at the data.
bool ParseEntryName(std::string_view s, size_t* pos, std::u16string* name) {
  *pos = 0;
  if (!s.empty() && s[0] == '@') {
    name->clear();
    *pos = 1;
  } else if (!ParseQuoted(s, pos, name) || name->empty() || !IsWritableName(*name)) {
    return false;
  }
  while (*pos < s.size() && (s[*pos] == ' ' || s[*pos] == '\t')) ++*pos;
  if (*pos >= s.size() || s[*pos] != '=') return false;
  ++*pos;
  while (*pos < s.size() && (s[*pos] == ' ' || s[*pos] == '\t')) ++*pos;
  return true;
}

bool ParseEntry(std::string_view s, Value* value) {
  size_t pos;
  if (!ParseEntryName(s, &pos, &value->name)) return false;
  std::string_view data = s.substr(pos);
  value->data.clear();
  if (!data.empty() && data[0] == '"') {
    std::u16string text;
    size_t end = 0;
    if (!ParseQuoted(data, &end, &text) || end != data.size()) return false;
    text.push_back(0);
    value->type = REG_SZ;
    for (char16_t c : text) {
      value->data.push_back(static_cast<BYTE>(c));
      value->data.push_back(static_cast<BYTE>(c >> 8));
    }
    return true;
  }
  if (StartsWithNoCase(data, "dword:")) {
    DWORD v;
    if (!ParseHexNumber(data.substr(6), 8, &v)) return false;
    value->type = REG_DWORD;
    value->data = {static_cast<BYTE>(v), static_cast<BYTE>(v >> 8), static_cast<BYTE>(v >> 16),
                   static_cast<BYTE>(v >> 24)};
    return true;
  }
  if (StartsWithNoCase(data, "hex:")) {
    value->type = REG_BINARY;
    return ParseHexBytes(data.substr(4), &value->data);
  }
  if (StartsWithNoCase(data, "hex(")) {
    size_t close = data.find("):");
    if (close == std::string_view::npos) return false;
    return ParseHexNumber(data.substr(4, close - 4), 8, &value->type) &&
           ParseHexBytes(data.substr(close + 2), &value->data);
  }
  return false;
}

// The data as the string it reads back as exactly: well-formed UTF-16 with
// one terminating zero at the end and nothing that would break the line.
bool PlainString(const Value& v, std::u16string* text) {
  size_t n = v.data.size();
  if (v.type != REG_SZ || n < 2 || n % 2 != 0 || v.data[n - 2] || v.data[n - 1]) return false;
  text->clear();
  for (size_t i = 0; i + 2 < n; i += 2) text->push_back(char16_t(v.data[i] | (v.data[i + 1] << 8)));
  return IsWritableName(*text);
}

std::string Quote(std::u16string_view text) {
  std::string out = "\"";
  for (char c : ToUtf8(text)) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  out.push_back('"');
  return out;
}

std::string FormatEntry(const Value& v) {
  std::string out = v.name.empty() ? "@=" : Quote(v.name) + "=";
  char buf[16];
  if (v.type == REG_DWORD && v.data.size() == 4) {
    DWORD d = v.data[0] | (v.data[1] << 8) | (v.data[2] << 16) | (DWORD{v.data[3]} << 24);
    std::snprintf(buf, sizeof buf, "dword:%08x", d);
    return out + buf;
  }
  if (std::u16string text; PlainString(v, &text)) return out + Quote(text);
  if (v.type == REG_BINARY) {
    out += "hex:";
  } else {
    std::snprintf(buf, sizeof buf, "hex(%x):", v.type);
    out += buf;
  }
  size_t lineStart = 0;
  for (size_t i = 0; i < v.data.size(); ++i) {
    std::snprintf(buf, sizeof buf, "%02x", v.data[i]);
    out += buf;
    if (i + 1 == v.data.size()) break;
    out.push_back(',');
    if (out.size() - lineStart >= kHexLineWidth) {
      out += "\\\n  ";
      lineStart = out.size() - 2;
    }
  }
  return out;
}

// Whether an entry line continues on the next one (long hex data).
bool ContinuesHex(std::string_view line) {
  size_t pos;
  std::u16string name;
  return !line.empty() && line.back() == '\\' && ParseEntryName(line, &pos, &name) &&
         StartsWithNoCase(line.substr(pos), "hex");
}

bool IsUnder(std::u16string_view path, std::u16string_view key) {
  return EqualNoCase(path, key) || (path.size() > key.size() && path[key.size()] == u'\\' &&
                                    EqualNoCase(path.substr(0, key.size()), key));
}

// The file's text as UTF-8 with LF line ends; the document notes what the
// file used, so that it is written back the same way.
std::string NormalizedText(std::string_view bytes, Document* doc) {
  std::string text;
  if (bytes.starts_with(kUtf16Mark)) {
    doc->utf16 = true;
    bytes.remove_prefix(kUtf16Mark.size());
    std::u16string units(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < units.size(); ++i)
      units[i] = char16_t(BYTE(bytes[2 * i]) | (BYTE(bytes[2 * i + 1]) << 8));
    text = ToUtf8(units);
  } else {
    if (bytes.starts_with(kUtf8Mark)) bytes.remove_prefix(kUtf8Mark.size());
    text = bytes;
  }
  size_t firstEnd = text.find('\n');
  doc->crlf = firstEnd != std::string::npos && firstEnd > 0 && text[firstEnd - 1] == '\r';
  if (!doc->crlf) return text;
  std::string lf;
  lf.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i)
    if (text[i] != '\r' || i + 1 == text.size() || text[i + 1] != '\n') lf += text[i];
  return lf;
}

// The next physical line of text at *pos, which moves past its end.
std::string_view NextLine(std::string_view text, size_t* pos) {
  size_t nl = text.find('\n', *pos);
  if (nl == std::string_view::npos) nl = text.size();
  std::string_view line = text.substr(*pos, nl - *pos);
  *pos = nl + 1;
  return line;
}

std::string_view LastPhysicalLine(std::string_view text) {
  size_t nl = text.rfind('\n');
  return nl == std::string_view::npos ? text : text.substr(nl + 1);
}

// Whether a line of the Other kind may take the next Other line into itself.
// A damaged section header ends a section, so it starts a run of its own
// (what follows it belongs to no key and may join it).
bool CanJoin(const Line& line, std::string_view next) {
  return line.kind == Line::Other &&
         (!Trim(next).starts_with('[') || Trim(line.text).starts_with('['));
}

// A run of Other lines that ends in blank lines becomes two: the blank tail
// after index i, so that an entry can go between them.
void SplitBlankTail(Document& doc, size_t i) {
  std::string& text = doc.lines[i].text;
  size_t lastMark = text.find_last_not_of(kBlanks);
  size_t end = lastMark == std::string::npos ? std::string::npos : text.find('\n', lastMark);
  if (end == std::string::npos) return;
  Line tail;
  tail.text = text.substr(end + 1);
  text.resize(end);
  doc.lines.insert(doc.lines.begin() + static_cast<std::ptrdiff_t>(i + 1), std::move(tail));
}

bool IsBlank(std::string_view text) {
  return text.find_first_not_of(kBlanks) == std::string_view::npos;
}

}  // namespace

bool IsWritableName(std::u16string_view name) {
  for (size_t i = 0; i < name.size(); ++i) {
    char16_t c = name[i];
    if (c < 0x20) return false;
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 >= name.size() || name[i + 1] < 0xDC00 || name[i + 1] > 0xDFFF) return false;
      ++i;
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      return false;
    }
  }
  return true;
}

Document ParseDocument(std::string_view bytes) {
  Document doc;
  std::string normalized = NormalizedText(bytes, &doc);
  std::string_view text = normalized;
  size_t pos = 0;
  std::u16string section;  // empty before the first section
  while (pos < text.size()) {
    size_t start = pos;
    std::string_view physical = NextLine(text, &pos);
    std::string_view t = Trim(physical);
    if (doc.lines.empty()) doc.hasSignature = t == kSignature;
    Line line;
    line.text = physical;
    if (t.starts_with('[')) {
      // Entries under a damaged header, or under "[-key]" (a deletion on
      // import), belong to no key.
      std::u16string key;
      section.clear();
      if (t.size() > 2 && t.back() == ']' && t[1] != '-' &&
          DecodeText(t.substr(1, t.size() - 2), &key) && IsWritableName(key)) {
        line.kind = Line::Key;
        line.key = section = key;
      }
    } else if (!section.empty() && (t.starts_with('"') || t.starts_with('@'))) {
      std::string logical(t);
      size_t last = pos;
      while (ContinuesHex(logical) && last < text.size()) {
        logical.pop_back();
        logical += Trim(NextLine(text, &last));
      }
      if (ParseEntry(logical, &line.value)) {
        line.kind = Line::Entry;
        line.key = section;
        line.text = text.substr(start, last - 1 - start);
        pos = last;
      }
      // A damaged entry is this one line only, so it cannot swallow the
      // entries that follow it.
    }
    if (line.kind == Line::Other && !doc.lines.empty() && CanJoin(doc.lines.back(), physical)) {
      (doc.lines.back().text += '\n') += physical;
    } else {
      doc.lines.push_back(std::move(line));
    }
  }
  return doc;
}

std::string SerializeDocument(const Document& doc) {
  std::string out;
  if (!doc.hasSignature) (out += kSignature) += "\n\n";
  for (const Line& line : doc.lines) (out += line.text) += '\n';
  if (doc.crlf) {
    std::string withCr;
    withCr.reserve(out.size() + out.size() / 8);
    for (char c : out) {
      if (c == '\n') withCr += '\r';
      withCr += c;
    }
    out = std::move(withCr);
  }
  if (!doc.utf16) return out;
  std::string encoded(kUtf16Mark);
  for (char16_t c : FromUtf8(out)) encoded += {char(c), char(c >> 8)};
  return encoded;
}

bool HasKey(const Document& doc, std::u16string_view key) {
  for (const Line& line : doc.lines)
    if (line.kind == Line::Key && IsUnder(line.key, key)) return true;
  return false;
}

void AddKey(Document& doc, std::u16string_view key) {
  if (!doc.lines.empty() && !Trim(LastPhysicalLine(doc.lines.back().text)).empty())
    doc.lines.push_back(Line{});
  Line header;
  header.kind = Line::Key;
  header.key = key;
  header.text = "[" + ToUtf8(key) + "]";
  doc.lines.push_back(std::move(header));
  doc.lines.push_back(Line{});  // sections end with a blank line, as regedit writes them
}

const Value* FindValue(const Document& doc, std::u16string_view key, std::u16string_view name) {
  for (size_t i = doc.lines.size(); i-- > 0;) {
    const Line& line = doc.lines[i];
    if (line.kind == Line::Entry && EqualNoCase(line.key, key) &&
        EqualNoCase(line.value.name, name))
      return &line.value;
  }
  return nullptr;
}

void SetValue(Document& doc, std::u16string_view key, const Value& value) {
  Line entry;
  entry.kind = Line::Entry;
  entry.key = key;
  entry.value = value;
  entry.text = FormatEntry(value);
  for (size_t i = doc.lines.size(); i-- > 0;) {
    Line& line = doc.lines[i];
    if (line.kind == Line::Entry && EqualNoCase(line.key, key) &&
        EqualNoCase(line.value.name, value.name)) {
      entry.value.name = line.value.name;  // keep the spelling the file had
      entry.text = FormatEntry(entry.value);
      line = std::move(entry);
      return;
    }
  }
  size_t header = doc.lines.size();
  for (size_t i = doc.lines.size(); i-- > 0;) {
    if (doc.lines[i].kind == Line::Key && EqualNoCase(doc.lines[i].key, key)) {
      header = i;
      break;
    }
  }
  if (header == doc.lines.size()) {
    AddKey(doc, key);
    header = doc.lines.size() - 2;
  }
  // After the section's last non-blank line, before the blank that ends it.
  size_t at = header + 1;
  for (size_t i = header + 1; i < doc.lines.size() && !Trim(doc.lines[i].text).starts_with('[');
       ++i)
    if (!IsBlank(doc.lines[i].text)) at = i + 1;
  if (doc.lines[at - 1].kind == Line::Other) SplitBlankTail(doc, at - 1);
  doc.lines.insert(doc.lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(entry));
}

}  // namespace plat::reg
