// A font as the text functions see it: one FreeType face at one size with
// its glyphs and advances cached. Shared by fonts.cpp, glyph_cache.cpp and
// text.cpp only.
#pragma once

#include <ft2build.h>
#include FT_FREETYPE_H

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/internal.h"

namespace plat {

// The FreeType library; every face keeps it alive, so fonts still held by the
// object table survive ResetTextForTests.
struct FtLibrary {
  FT_Library library = nullptr;
  FtLibrary() = default;
  FtLibrary(const FtLibrary&) = delete;
  FtLibrary& operator=(const FtLibrary&) = delete;
  ~FtLibrary();
};

// A rendered glyph: 8-bit coverage, its origin relative to the pen on the
// baseline (left, and top upwards), and its whole-pixel advance.
struct Glyph {
  int left = 0;
  int top = 0;
  int width = 0;
  int rows = 0;
  int advance = 0;
  std::vector<uint8_t> coverage;  // rows x width
};

// Stands for a lone surrogate: no code point, drawn as the font's .notdef.
constexpr char32_t kNoCharacter = 0xFFFFFFFF;

struct FontData {
  std::shared_ptr<FtLibrary> library;
  FT_Face face = nullptr;
  std::u16string family;    // the family actually used
  int cellHeight = 0;       // the line height in pixels
  int ascent = 0;           // from the cell's top to the baseline
  int averageWidth = 1;     // for tab stops
  bool bold = false;        // as asked for; fallback faces follow it
  bool italic = false;      // likewise
  bool makeBold = false;    // bold was asked for and the face is not
  bool makeItalic = false;  // likewise italic
  FT_F26Dot6 em = 0;        // the em in 26.6 pixels, which fallback faces share
  bool ownHints = false;    // a fallback face: hinted as the face says

  FontData() = default;
  FontData(const FontData&) = delete;
  FontData& operator=(const FontData&) = delete;
  ~FontData();

  // Whole-pixel advance of a character; a sum of these is a text's width.
  int Advance(char32_t ch) { return Lookup(ch).advance; }
  // The glyph that draws the character: this face's, a fallback face's when
  // only that has it, else this face's .notdef.
  const Glyph& GlyphOf(char32_t ch);

 private:
  struct CharInfo {
    uint32_t glyph = 0;
    int advance = -1;    // -1: not looked up yet
    uint8_t source = 0;  // 0: this face; n: fallbacks_[n - 1]
  };
  // Latin, Greek, Cyrillic, Hebrew and Arabic in a flat table, the rest in a map.
  static constexpr char32_t kFlatChars = 0x800;
  // Enough for the scripts of one library; each is a face kept open.
  static constexpr size_t kMaxFallbacks = 8;
  std::array<CharInfo, kFlatChars> flat_{};
  std::unordered_map<char32_t, CharInfo> others_;
  std::unordered_map<uint32_t, Glyph> glyphs_;
  std::vector<std::shared_ptr<FontData>> fallbacks_;

  // Inline: measuring a row looks up every character of it, most of them
  // already described.
  const CharInfo& Lookup(char32_t ch) {
    CharInfo* info = ch < kFlatChars ? &flat_[ch] : &others_[ch];
    if (info->advance < 0) Describe(ch, info);
    return *info;
  }
  void Describe(char32_t ch, CharInfo* info);
  void FindFallback(char32_t ch, CharInfo* info);
  FontData& Source(const CharInfo& info) {
    return info.source ? *fallbacks_[info.source - 1] : *this;
  }
  const Glyph& Render(uint32_t glyphIndex);
};

// A face that has the character, found by fontconfig among the system's
// fonts and set to the font's em, so that its glyphs sit on the font's
// baseline at the font's size; none when no scalable face has it.
std::shared_ptr<FontData> OpenFallback(const FontData& font, char32_t ch);

// The next character of UTF-16 text at text[*i], advancing *i past it; a
// surrogate pair is one character, a lone surrogate is kNoCharacter.
inline char32_t NextCharacter(const WCHAR* text, size_t length, size_t* i) {
  char32_t c = text[(*i)++];
  if (c < 0xD800 || c > 0xDFFF) return c;
  if (c <= 0xDBFF && *i < length && text[*i] >= 0xDC00 && text[*i] <= 0xDFFF)
    return 0x10000 + ((c - 0xD800) << 10) + (text[(*i)++] - 0xDC00);
  return kNoCharacter;
}

// The font for a context: the one selected, or the default font.
std::shared_ptr<FontData> FontForDc(const Dc& dc);

}  // namespace plat
