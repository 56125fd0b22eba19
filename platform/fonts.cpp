// Font files and faces: a face is found by family name first among the files
// this process registered, then by fontconfig among the system's fonts;
// FreeType opens it at the size whose character cell is the requested height.
// Registered files are read with FreeType alone, because starting fontconfig
// costs more than the rest of the player's start together. Like all drawing,
// these run on the user-interface thread only.
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/font_data.h"
#include "platform/gdi.h"
#include "platform/test_hooks.h"
#include "platform/text.h"

#include FT_TRUETYPE_TABLES_H

namespace plat {
namespace {

constexpr int kDefaultCellHeight = 12;         // a record with height 0
constexpr int kContextDefaultCellHeight = 13;  // a context with no font selected
constexpr int kMaxCellHeight = 1024;           // keeps glyph bitmaps reasonable
constexpr const char* kDefaultFamily = "sans-serif";

struct RegisteredFace {
  std::string family;
  int index;
  bool bold;
  bool italic;
};

struct Registration {
  std::string path;  // real path as given
  std::vector<RegisteredFace> faces;
  int uses = 0;  // added this many times; removed when it drops to 0
};

struct TextState {
  std::shared_ptr<FtLibrary> library;
  bool fontconfigReady = false;
  std::vector<Registration> registrations;
  std::shared_ptr<FontData> defaultFont;
  int fallbackSearches = 0;  // fontconfig asked for a face that has a character
};

TextState& State() {
  static TextState state;
  return state;
}

std::shared_ptr<FtLibrary> Library() {
  TextState& s = State();
  if (!s.library) {
    auto lib = std::make_shared<FtLibrary>();
    if (FT_Init_FreeType(&lib->library) != 0) return nullptr;
    s.library = std::move(lib);
  }
  return s.library;
}

bool FontconfigReady() {
  TextState& s = State();
  if (!s.fontconfigReady) s.fontconfigReady = FcInit() == FcTrue;
  return s.fontconfigReady;
}

bool SameFamily(const std::string& a, const std::string& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

// The faces of a font file, read with FreeType; none when it is no font.
std::vector<RegisteredFace> ReadFaces(const std::string& path) {
  std::vector<RegisteredFace> faces;
  auto library = Library();
  if (!library) return faces;
  FT_Long count = 1;
  for (FT_Long i = 0; i < count; ++i) {
    FT_Face face = nullptr;
    if (FT_New_Face(library->library, path.c_str(), i, &face) != 0) break;
    count = face->num_faces;
    if (face->family_name) {
      faces.push_back({face->family_name, static_cast<int>(i),
                       (face->style_flags & FT_STYLE_FLAG_BOLD) != 0,
                       (face->style_flags & FT_STYLE_FLAG_ITALIC) != 0});
    }
    FT_Done_Face(face);
  }
  return faces;
}

// A face of the family among the registered files, the closest in style.
bool MatchRegistered(const std::string& family, bool bold, bool italic, std::string* file,
                     int* index, std::string* matchedFamily) {
  int best = -1;
  for (const Registration& r : State().registrations) {
    for (const RegisteredFace& f : r.faces) {
      if (!SameFamily(f.family, family)) continue;
      int score = (f.bold == bold) + (f.italic == italic);
      if (score <= best) continue;
      best = score;
      *file = r.path;
      *index = f.index;
      *matchedFamily = f.family;
    }
  }
  return best >= 0;
}

// Fontconfig's best match for the pattern in the weight and slant asked for;
// the pattern is used up. Null when nothing matches.
FcPattern* BestMatch(FcPattern* pattern, bool bold, bool italic) {
  FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  return match;
}

// The file and face index fontconfig picks for the family (its substitute
// when the family is missing), and the family it belongs to.
bool MatchFace(const std::string& family, bool bold, bool italic, std::string* file, int* index,
               std::string* matchedFamily) {
  if (MatchRegistered(family, bold, italic, file, index, matchedFamily)) return true;
  if (!FontconfigReady()) return false;
  FcPattern* pattern = FcPatternCreate();
  if (!pattern) return false;
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcPattern* match = BestMatch(pattern, bold, italic);
  if (!match) return false;
  FcChar8* path = nullptr;
  FcChar8* name = nullptr;
  bool found = FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch;
  if (found) {
    *file = reinterpret_cast<const char*>(path);
    *matchedFamily = family;
    if (FcPatternGetInteger(match, FC_INDEX, 0, index) != FcResultMatch) *index = 0;
    if (FcPatternGetString(match, FC_FAMILY, 0, &name) == FcResultMatch)
      *matchedFamily = reinterpret_cast<const char*>(name);
  }
  FcPatternDestroy(match);
  return found;
}

// Sizes the face so that its cell (Windows ascent plus descent, else the
// horizontal header's) is cellHeight pixels, or its em emHeight pixels.
void SetSize(FontData* font, int cellHeight, int emHeight) {
  FT_Face face = font->face;
  if (!FT_IS_SCALABLE(face)) {
    // A bitmap font: the strike nearest the wanted height.
    int want = cellHeight > 0 ? cellHeight : emHeight, best = 0;
    for (int i = 1; i < face->num_fixed_sizes; ++i) {
      if (std::abs(face->available_sizes[i].height - want) <
          std::abs(face->available_sizes[best].height - want))
        best = i;
    }
    if (face->num_fixed_sizes > 0) FT_Select_Size(face, best);
    font->em = face->size->metrics.y_ppem * 64;
    font->cellHeight = cellHeight > 0 ? cellHeight : want;
    font->ascent = static_cast<int>(face->size->metrics.ascender >> 6);
    font->averageWidth = static_cast<int>(face->size->metrics.max_advance >> 6);
    return;
  }
  double units = face->units_per_EM > 0 ? face->units_per_EM : 2048;
  double ascent = face->ascender, descent = -face->descender;
  auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  if (os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
    ascent = os2->usWinAscent;
    descent = os2->usWinDescent;
  }
  if (ascent + descent <= 0) ascent = units * 0.8, descent = units * 0.2;
  double cell = ascent + descent;
  double em = emHeight > 0 ? emHeight : cellHeight * units / cell;
  if (emHeight > 0) cellHeight = std::max(1, static_cast<int>(std::lround(em * cell / units)));
  font->em = static_cast<FT_F26Dot6>(std::lround(em * 64));
  FT_Set_Char_Size(face, 0, font->em, 72, 72);
  font->cellHeight = cellHeight;
  font->ascent = static_cast<int>(std::lround(cellHeight * ascent / cell));
  int average = 0;
  if (os2 && os2->version != 0xFFFF && os2->xAvgCharWidth > 0)
    average =
        static_cast<int>((FT_MulFix(os2->xAvgCharWidth, face->size->metrics.x_scale) + 32) >> 6);
  font->averageWidth = average > 0 ? average : font->Advance('x');
}

std::shared_ptr<FontData> OpenFont(const std::string& family, int height, bool bold, bool italic) {
  auto font = std::make_shared<FontData>();
  font->library = Library();
  std::string matched;
  auto open = [&](const std::string& name) {
    std::string file;
    int index = 0;
    if (!font->library || !MatchFace(name, bold, italic, &file, &index, &matched)) return false;
    if (FT_New_Face(font->library->library, file.c_str(), index, &font->face) == 0) return true;
    font->face = nullptr;
    matched.clear();
    return false;
  };
  // A file that changed since fontconfig read it may not open: take the default.
  if (!open(family) && family != kDefaultFamily) open(kDefaultFamily);
  // Without any face the font measures and draws nothing, but it exists.
  int cell = height > 0 ? std::min(height, kMaxCellHeight) : height == 0 ? kDefaultCellHeight : 0;
  int em = height < 0 ? static_cast<int>(std::min<int64_t>(-int64_t{height}, kMaxCellHeight)) : 0;
  font->family = FromUtf8(matched);
  font->bold = bold;
  font->italic = italic;
  if (font->face) {
    // A family without the asked-for style gets it drawn by FreeType.
    font->makeBold = bold && !(font->face->style_flags & FT_STYLE_FLAG_BOLD);
    font->makeItalic = italic && !(font->face->style_flags & FT_STYLE_FLAG_ITALIC);
    SetSize(font.get(), cell, em);
  } else {
    font->cellHeight = cell > 0 ? cell : em;
    font->ascent = font->cellHeight * 4 / 5;
  }
  font->averageWidth = std::max(1, font->averageWidth);
  return font;
}

}  // namespace

std::shared_ptr<FontData> OpenFallback(const FontData& font, char32_t ch) {
  ++State().fallbackSearches;
  if (!font.library || !FontconfigReady()) return nullptr;
  FcPattern* pattern = FcPatternCreate();
  FcCharSet* wanted = FcCharSetCreate();
  if (!pattern || !wanted || !FcCharSetAddChar(wanted, ch)) {
    if (pattern) FcPatternDestroy(pattern);
    if (wanted) FcCharSetDestroy(wanted);
    return nullptr;
  }
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(kDefaultFamily));
  FcPatternAddCharSet(pattern, FC_CHARSET, wanted);
  FcCharSetDestroy(wanted);
  // Outlines only: bitmap and colour (emoji) faces cannot take the font's size.
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcPatternAddBool(pattern, FC_COLOR, FcFalse);
  FcPattern* match = BestMatch(pattern, font.bold, font.italic);
  if (!match) return nullptr;
  // The best match need not have the character: then no font has it.
  FcCharSet* has = nullptr;
  FcChar8* file = nullptr;
  int index = 0;
  bool found = FcPatternGetCharSet(match, FC_CHARSET, 0, &has) == FcResultMatch &&
               FcCharSetHasChar(has, ch) &&
               FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch;
  std::string path = found ? reinterpret_cast<const char*>(file) : "";
  if (FcPatternGetInteger(match, FC_INDEX, 0, &index) != FcResultMatch) index = 0;
  FcPatternDestroy(match);
  if (!found) return nullptr;

  auto fallback = std::make_shared<FontData>();
  fallback->library = font.library;
  if (FT_New_Face(font.library->library, path.c_str(), index, &fallback->face) != 0) {
    fallback->face = nullptr;
    return nullptr;
  }
  if (!FT_IS_SCALABLE(fallback->face) || FT_Get_Char_Index(fallback->face, ch) == 0) return nullptr;
  FT_Set_Char_Size(fallback->face, 0, font.em, 72, 72);
  fallback->em = font.em;
  fallback->ownHints = true;
  fallback->cellHeight = font.cellHeight;
  fallback->ascent = font.ascent;
  fallback->averageWidth = font.averageWidth;
  fallback->makeBold = font.bold && !(fallback->face->style_flags & FT_STYLE_FLAG_BOLD);
  fallback->makeItalic = font.italic && !(fallback->face->style_flags & FT_STYLE_FLAG_ITALIC);
  return fallback;
}

std::shared_ptr<FontData> FontForDc(const Dc& dc) {
  if (auto font = FontOf(dc.font)) return font;
  TextState& s = State();
  if (!s.defaultFont)
    s.defaultFont = OpenFont(kDefaultFamily, kContextDefaultCellHeight, false, false);
  return s.defaultFont;
}

void ResetTextForTests() {
  TextState& s = State();
  s.defaultFont.reset();
  s.registrations.clear();
}

}  // namespace plat

int AddFontResourceW(const WCHAR* path) {
  if (!path || !*path) return 0;
  std::string real = plat::DevicePathToReal(plat::View(path));
  auto& regs = plat::State().registrations;
  for (auto& r : regs) {
    if (r.path == real) {
      ++r.uses;
      return static_cast<int>(r.faces.size());
    }
  }
  // Only a file is a font file, never a folder of them.
  std::error_code error;
  if (!std::filesystem::is_regular_file(real, error)) return 0;
  std::vector<plat::RegisteredFace> faces = plat::ReadFaces(real);
  if (faces.empty()) return 0;
  regs.push_back({real, faces, 1});
  return static_cast<int>(faces.size());
}

BOOL RemoveFontResourceW(const WCHAR* path) {
  if (!path) return FALSE;
  std::string real = plat::DevicePathToReal(plat::View(path));
  auto& regs = plat::State().registrations;
  auto found = std::find_if(regs.begin(), regs.end(),
                            [&](const plat::Registration& r) { return r.path == real; });
  if (found == regs.end()) return FALSE;
  if (--found->uses == 0) regs.erase(found);
  return TRUE;
}

HFONT CreateFontIndirectW(const LOGFONTW* lf) {
  if (!lf) return nullptr;
  std::u16string face;
  for (int i = 0; i < LF_FACESIZE && lf->lfFaceName[i]; ++i) face.push_back(lf->lfFaceName[i]);
  std::string family = face.empty() ? plat::kDefaultFamily : plat::ToUtf8(face);
  return plat::RegisterFont(
      plat::OpenFont(family, lf->lfHeight, lf->lfWeight >= 600, lf->lfItalic != 0));
}

int FontFallbackSearches() {
  return plat::State().fallbackSearches;
}

int GetTextFaceW(HDC hdc, int size, WCHAR* name) {
  plat::Dc* dc = plat::LookupDc(hdc);
  if (!dc) return 0;
  std::u16string family = plat::FontForDc(*dc)->family;
  if (!name) return static_cast<int>(family.size()) + 1;
  if (size <= 0) return 0;
  size_t n = std::min(family.size(), static_cast<size_t>(size - 1));
  std::copy_n(family.begin(), n, name);
  name[n] = 0;
  return static_cast<int>(n) + 1;
}
