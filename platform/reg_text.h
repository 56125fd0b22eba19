// The settings file's text in the registry-export form, kept line by line so
// that whatever the player does not understand (comments, other keys, damaged
// lines) is written back exactly as it was read. Shared by registry.cpp only.
// A run of such lines is kept as one, so that a file full of junk costs no
// more to hold and write than its bytes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/base.h"

namespace plat::reg {

struct Value {
  std::u16string name;  // empty: the key's default value ("@")
  DWORD type = 0;
  std::vector<BYTE> data;
};

struct Line {
  enum Kind { Other, Key, Entry };
  Kind kind = Other;
  std::string text;    // as in the file; several lines for a continued entry or a run of Others
  std::u16string key;  // Key and Entry: the full key path ("HKEY_CURRENT_USER\...")
  Value value;         // Entry
};

struct Document {
  std::vector<Line> lines;
  bool hasSignature = false;  // starts with the export signature
  bool utf16 = false;         // read as UTF-16LE with a byte-order mark, and written so
  bool crlf = false;          // lines end in CR LF, and are written so
};

// Never fails: what does not parse is kept as an Other line. The file may be
// UTF-8 (with or without a signature) or UTF-16LE with a byte-order mark.
Document ParseDocument(std::string_view text);
std::string SerializeDocument(const Document& doc);

// A key exists when a section names it or a key below it.
bool HasKey(const Document& doc, std::u16string_view key);
void AddKey(Document& doc, std::u16string_view key);
// The last entry of that name in the key's sections, as an import would leave it.
const Value* FindValue(const Document& doc, std::u16string_view key, std::u16string_view name);
// Replaces that entry in place, or adds one at the end of the key's last section.
void SetValue(Document& doc, std::u16string_view key, const Value& value);

// Whether a key path or value name can be written into the file and read back
// unchanged: no control character, no lone surrogate.
bool IsWritableName(std::u16string_view name);

}  // namespace plat::reg
