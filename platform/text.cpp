// Measuring and drawing one line of text. A text's width is the sum of its
// characters' whole-pixel advances (no kerning), so measuring a part of a
// text and measuring the whole always agree.
#include <algorithm>
#include <climits>
#include <vector>

#include "platform/font_data.h"
#include "platform/gdi.h"
#include "platform/strings.h"
#include "platform/text.h"

namespace plat {
namespace {

struct Placed {
  char32_t ch;
  int64_t x;  // pen position from the text's left edge
};

// Screen pixels as a half-open box; 64 bits so that any rectangle a caller
// passes can be offset and aligned without overflow before it is clipped.
struct Box {
  int64_t left, top, right, bottom;
  bool Empty() const { return right <= left || bottom <= top; }
  Box Intersect(const Box& o) const {
    return {std::max(left, o.left), std::max(top, o.top), std::min(right, o.right),
            std::min(bottom, o.bottom)};
  }
  void Include(const Box& o) {
    if (o.Empty()) return;
    if (Empty()) {
      *this = o;
      return;
    }
    left = std::min(left, o.left), top = std::min(top, o.top);
    right = std::max(right, o.right), bottom = std::max(bottom, o.bottom);
  }
};

Box ToBox(const RECT& r) {
  return {r.left, r.top, r.right, r.bottom};
}

int64_t FloorHalf(int64_t v) {
  return v >= 0 ? v / 2 : -((-v + 1) / 2);
}

// Lays the characters out from pen position 0; returns the width. A tab
// advances to the next tab stop when expanding, and is nothing otherwise.
int64_t Layout(FontData& font, const WCHAR* text, size_t length, bool expandTabs,
               std::vector<Placed>* placed) {
  int64_t tabStop = int64_t{8} * font.averageWidth;
  int64_t pen = 0;
  for (size_t i = 0; i < length;) {
    char32_t ch = NextCharacter(text, length, &i);
    if (ch == u'\t') {
      if (expandTabs) pen = (pen / tabStop + 1) * tabStop;
      continue;
    }
    placed->push_back({ch, pen});
    pen += font.Advance(ch);
  }
  return pen;
}

void FillBox(const Dc& dc, const Box& box, uint32_t color) {
  Screen& screen = TheScreen();
  for (int64_t y = box.top; y < box.bottom; ++y) {
    for (int64_t x = box.left; x < box.right; ++x) {
      int sx = static_cast<int>(x), sy = static_cast<int>(y);
      if (CanDraw(dc, sx, sy)) screen.pixels[sy * kScreenWidth + sx] = color;
    }
  }
}

// Draws the glyph with its pen at (penX, baseline); returns what it touched.
Box DrawGlyph(const Dc& dc, const Glyph& g, int64_t penX, int64_t baseline, const Box& clip,
              uint32_t color) {
  Box ink{penX + g.left, baseline - g.top, penX + g.left + g.width, baseline - g.top + g.rows};
  Box drawn = ink.Intersect(clip);
  if (drawn.Empty()) return {0, 0, 0, 0};
  for (int64_t y = drawn.top; y < drawn.bottom; ++y) {
    const uint8_t* row = g.coverage.data() + (y - ink.top) * g.width;
    for (int64_t x = drawn.left; x < drawn.right; ++x) {
      int coverage = row[x - ink.left];
      int sx = static_cast<int>(x), sy = static_cast<int>(y);
      if (coverage > 0 && CanDraw(dc, sx, sy)) BlendPixel(sx, sy, color, coverage);
    }
  }
  return drawn;
}

}  // namespace
}  // namespace plat

int DrawTextW(HDC hdc, const WCHAR* text, int length, RECT* rc, UINT flags) {
  plat::Dc* dc = plat::LookupDc(hdc);
  if (!dc || !rc) return 0;
  std::shared_ptr<plat::FontData> font = plat::FontForDc(*dc);
  size_t count = !text ? 0 : length < 0 ? lstrlenW(text) : static_cast<size_t>(length);
  std::vector<plat::Placed> placed;
  placed.reserve(count);
  int64_t width = plat::Layout(*font, text, count, (flags & DT_EXPANDTABS) != 0, &placed);
  int64_t height = font->cellHeight;

  // The cell's place in the rectangle, in the context's coordinates.
  int64_t x = rc->left, y = rc->top;
  if (flags & DT_CENTER)
    x = plat::FloorHalf(int64_t{rc->left} + rc->right - width);
  else if (flags & DT_RIGHT)
    x = rc->right - width;
  if (flags & DT_VCENTER)
    y = rc->top + plat::FloorHalf(int64_t{rc->bottom} - rc->top - height);
  else if (flags & DT_BOTTOM)
    y = rc->bottom - height;
  x += dc->origin.x;
  y += dc->origin.y;

  plat::Box clip = plat::ToBox(dc->clip);
  if (!(flags & DT_NOCLIP)) {
    plat::Box rect = plat::ToBox(*rc);
    clip = clip.Intersect({rect.left + dc->origin.x, rect.top + dc->origin.y,
                           rect.right + dc->origin.x, rect.bottom + dc->origin.y});
  }
  if (clip.Empty()) return static_cast<int>(height);

  plat::Box touched{0, 0, 0, 0};
  if (dc->bkMode != TRANSPARENT) {
    // Ink stays inside the opaque cell: an anti-aliased edge past the last
    // advance would outlive the next, narrower text drawn over it.
    clip = plat::Box{x, y, x + width, y + height}.Intersect(clip);
    if (clip.Empty()) return static_cast<int>(height);
    plat::FillBox(*dc, clip, plat::ToPixel(dc->bkColor));
    touched = clip;
  }
  uint32_t color = plat::ToPixel(dc->textColor);
  int64_t baseline = y + font->ascent;
  for (const plat::Placed& p : placed) {
    // The rest lies right of the clip (a cell's height covers any overhang).
    if (x + p.x - height >= clip.right) break;
    touched.Include(plat::DrawGlyph(*dc, font->GlyphOf(p.ch), x + p.x, baseline, clip, color));
  }
  if (!touched.Empty()) {
    plat::MarkDirty(RECT{static_cast<LONG>(touched.left), static_cast<LONG>(touched.top),
                         static_cast<LONG>(touched.right), static_cast<LONG>(touched.bottom)});
  }
  return static_cast<int>(height);
}

BOOL GetTextExtentExPointW(HDC hdc, const WCHAR* text, int length, int maxExtent, int* fit, int* dx,
                           SIZE* size) {
  plat::Dc* dc = plat::LookupDc(hdc);
  if (!dc || length < 0 || (!text && length > 0)) return FALSE;
  std::shared_ptr<plat::FontData> font = plat::FontForDc(*dc);
  size_t count = static_cast<size_t>(length);
  int64_t pen = 0;
  int fitted = 0;
  bool fits = true;
  for (size_t i = 0; i < count;) {
    size_t start = i;
    char32_t ch = plat::NextCharacter(text, count, &i);
    // A tab has no width, as DrawTextW draws it without DT_EXPANDTABS.
    if (ch != u'\t') pen += font->Advance(ch);
    int end = static_cast<int>(std::min<int64_t>(pen, INT_MAX));
    // Both halves of a surrogate pair end where the pair's glyph ends.
    if (dx) std::fill(dx + start, dx + i, end);
    // A negative maximum means no limit.
    if (fits && (maxExtent < 0 || pen <= maxExtent))
      fitted = static_cast<int>(i);
    else
      fits = false;
  }
  if (fit) *fit = fitted;
  if (size) {
    size->cx = static_cast<LONG>(std::min<int64_t>(pen, INT_MAX));
    size->cy = font->cellHeight;
  }
  return TRUE;
}
