// Glyphs and advances of a font, rendered once by FreeType and kept: the
// ellipsizing of list rows measures the same text many times over.
#include <algorithm>

#include "platform/font_data.h"

#include FT_SYNTHESIS_H

namespace plat {
namespace {

// FreeType's own hinter in its normal mode snaps stems to whole pixels in
// both directions, which keeps 12 to 15 pixel text crisp and its advances
// whole; the TrueType interpreter (v40) leaves horizontal stems blurred.
// The auto-hinter, though, smears the close horizontal strokes of small
// ideographs: fallback faces keep their own hinting.
constexpr FT_Int32 kLoadFlags = FT_LOAD_TARGET_NORMAL | FT_LOAD_FORCE_AUTOHINT;
constexpr FT_Int32 kFallbackLoadFlags = FT_LOAD_TARGET_NORMAL;
// Far more than the screen ever shows; a font that has seen more (a long
// session of many scripts) starts over rather than growing without bound.
constexpr size_t kMaxCachedGlyphs = 4096;

Glyph CopyBitmap(FT_GlyphSlot slot) {
  Glyph g;
  const FT_Bitmap& bm = slot->bitmap;
  g.left = slot->bitmap_left;
  g.top = slot->bitmap_top;
  g.width = static_cast<int>(bm.width);
  g.rows = static_cast<int>(bm.rows);
  g.coverage.assign(static_cast<size_t>(g.width) * g.rows, 0);
  for (int y = 0; y < g.rows; ++y) {
    const unsigned char* row = bm.buffer + static_cast<ptrdiff_t>(y) * bm.pitch;
    uint8_t* out = g.coverage.data() + static_cast<size_t>(y) * g.width;
    for (int x = 0; x < g.width; ++x) {
      switch (bm.pixel_mode) {
        case FT_PIXEL_MODE_GRAY:
          out[x] = static_cast<uint8_t>(
              bm.num_grays == 256 ? row[x] : row[x] * 255 / std::max(1, bm.num_grays - 1));
          break;
        case FT_PIXEL_MODE_MONO:
          out[x] = (row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
          break;
        case FT_PIXEL_MODE_BGRA:
          out[x] = row[x * 4 + 3];
          break;
        default:
          break;
      }
    }
  }
  return g;
}

// Control characters have no glyph in any font: not worth a search.
bool IsControl(char32_t ch) {
  return ch < 0x20 || (ch >= 0x7F && ch <= 0x9F);
}

}  // namespace

FtLibrary::~FtLibrary() {
  if (library) FT_Done_FreeType(library);
}

FontData::~FontData() {
  if (face) FT_Done_Face(face);
}

void FontData::Describe(char32_t ch, CharInfo* info) {
  info->glyph = ch == kNoCharacter ? 0 : FT_Get_Char_Index(face, ch);
  if (info->glyph == 0 && face && ch != kNoCharacter && !IsControl(ch)) FindFallback(ch, info);
  info->advance = Source(*info).Render(info->glyph).advance;
}

// The fallback faces already open are tried before fontconfig is asked, so
// that a title in one script costs one search, and text this face covers
// none at all.
void FontData::FindFallback(char32_t ch, CharInfo* info) {
  for (size_t i = 0; i < fallbacks_.size(); ++i) {
    if (uint32_t glyph = FT_Get_Char_Index(fallbacks_[i]->face, ch)) {
      info->glyph = glyph;
      info->source = static_cast<uint8_t>(i + 1);
      return;
    }
  }
  if (fallbacks_.size() >= kMaxFallbacks) return;
  if (std::shared_ptr<FontData> fallback = OpenFallback(*this, ch)) {
    info->glyph = FT_Get_Char_Index(fallback->face, ch);
    fallbacks_.push_back(std::move(fallback));
    info->source = static_cast<uint8_t>(fallbacks_.size());
  }
}

const Glyph& FontData::GlyphOf(char32_t ch) {
  const CharInfo& info = Lookup(ch);
  return Source(info).Render(info.glyph);
}

const Glyph& FontData::Render(uint32_t glyphIndex) {
  auto found = glyphs_.find(glyphIndex);
  if (found != glyphs_.end()) return found->second;
  if (glyphs_.size() >= kMaxCachedGlyphs) glyphs_.clear();
  Glyph g;
  bool loaded = FT_Load_Glyph(face, glyphIndex, ownHints ? kFallbackLoadFlags : kLoadFlags) == 0;
  if (loaded && face->glyph->format == FT_GLYPH_FORMAT_OUTLINE) {
    if (makeItalic) FT_GlyphSlot_Oblique(face->glyph);
    if (makeBold) FT_GlyphSlot_Embolden(face->glyph);
  }
  if (loaded && (face->glyph->format == FT_GLYPH_FORMAT_BITMAP ||
                 FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) == 0)) {
    g = CopyBitmap(face->glyph);
    g.advance = static_cast<int>((face->glyph->advance.x + 32) >> 6);
  } else if (glyphIndex != 0) {
    // A glyph FreeType cannot load (a damaged font) draws as .notdef.
    Glyph notdef = Render(0);
    return glyphs_.emplace(glyphIndex, std::move(notdef)).first->second;
  }
  g.advance = std::max(0, g.advance);
  return glyphs_.emplace(glyphIndex, std::move(g)).first->second;
}

}  // namespace plat
