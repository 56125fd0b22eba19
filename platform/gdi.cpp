// Device contexts, drawing objects and the drawing operations on the
// framebuffer. User-interface thread only.
#include "platform/gdi.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/internal.h"
#include "platform/test_hooks.h"

namespace plat {
namespace {

enum class Kind { Free, Brush, Pen, Font, Bitmap };

struct Object {
  Kind kind = Kind::Free;
  uint16_t generation = 0;
  bool stock = false;
  bool nullBrush = false;
  COLORREF color = 0;
  std::shared_ptr<FontData> font;
  std::shared_ptr<BitmapData> bitmap;
};

struct DcSlot {
  bool used = false;
  uint16_t generation = 0;
  Dc dc;
};

Screen screen;
std::vector<Object> objects;
std::vector<DcSlot> dcs;
HGDIOBJ stockObjects[8];
HGDIOBJ stockFont;

// Handles carry a generation so that a deleted object's handle stays invalid
// after its slot is reused.
template <typename T>
T* Lookup(std::vector<T>& table, const void* handle, auto isUsed) {
  uintptr_t value = reinterpret_cast<uintptr_t>(handle);
  size_t index = (value & 0xFFFF);
  if (value >> 32 || index == 0 || index > table.size()) return nullptr;
  T& entry = table[index - 1];
  if (!isUsed(entry) || entry.generation != ((value >> 16) & 0xFFFF)) return nullptr;
  return &entry;
}

void* MakeHandle(size_t index, uint16_t generation) {
  return reinterpret_cast<void*>((uintptr_t{generation} << 16) | (index + 1));
}

Object* FindObject(HGDIOBJ handle) {
  return Lookup(objects, handle, [](const Object& o) { return o.kind != Kind::Free; });
}

HGDIOBJ AddObject(Object object) {
  size_t i = 0;
  while (i < objects.size() && objects[i].kind != Kind::Free) ++i;
  if (i == objects.size()) {
    if (objects.size() >= 0xFFFF) return nullptr;
    objects.emplace_back();
  }
  object.generation = static_cast<uint16_t>(objects[i].generation + 1);
  objects[i] = std::move(object);
  return MakeHandle(i, objects[i].generation);
}

void EnsureStockObjects() {
  if (stockFont) return;
  auto stock = [](Kind kind, COLORREF color, bool nullBrush) {
    Object o;
    o.kind = kind;
    o.color = color;
    o.stock = true;
    o.nullBrush = nullBrush;
    return AddObject(o);
  };
  stockObjects[WHITE_BRUSH] = stock(Kind::Brush, RGB(255, 255, 255), false);
  stockObjects[BLACK_BRUSH] = stock(Kind::Brush, RGB(0, 0, 0), false);
  stockObjects[NULL_BRUSH] = stock(Kind::Brush, 0, true);
  stockObjects[BLACK_PEN] = stock(Kind::Pen, RGB(0, 0, 0), false);
  stockFont = stock(Kind::Font, 0, false);  // its null face means the default font
}

// Screen pixels of a rectangle given in the context's coordinates, clipped.
RECT ToScreen(const Dc& dc, const RECT& rc) {
  RECT out = rc;
  OffsetRect(&out, dc.origin.x, dc.origin.y);
  IntersectRect(&out, &out, &dc.clip);
  return out;
}

void FillScreenRect(const Dc& dc, const RECT& rc, COLORREF color) {
  RECT area = ToScreen(dc, rc);
  uint32_t pixel = ToPixel(color);
  for (int y = area.top; y < area.bottom; ++y) {
    for (int x = area.left; x < area.right; ++x) {
      if (CanDraw(dc, x, y)) screen.pixels[y * kScreenWidth + x] = pixel;
    }
  }
  MarkDirty(area);
}

void PlotBlack(const Dc& dc, int x, int y) {
  int sx = x + dc.origin.x, sy = y + dc.origin.y;
  if (!CanDraw(dc, sx, sy)) return;
  screen.pixels[sy * kScreenWidth + sx] = 0;
  MarkDirty(RECT{sx, sy, sx + 1, sy + 1});
}

// A line from a to b without its last point (Bresenham).
void LineWithoutEnd(const Dc& dc, POINT a, POINT b) {
  int dx = std::abs(b.x - a.x), dy = -std::abs(b.y - a.y);
  int sx = a.x < b.x ? 1 : -1, sy = a.y < b.y ? 1 : -1;
  int err = dx + dy;
  int x = a.x, y = a.y;
  while (x != b.x || y != b.y) {
    PlotBlack(dc, x, y);
    int e2 = 2 * err;
    if (e2 >= dy) err += dy, x += sx;
    if (e2 <= dx) err += dx, y += sy;
  }
}

HGDIOBJ AddBitmap(std::shared_ptr<BitmapData> bitmap) {
  Object o;
  o.kind = Kind::Bitmap;
  o.bitmap = std::move(bitmap);
  return AddObject(std::move(o));
}

// Resource names may be numbers, which the resource list spells in digits.
std::u16string ResourceKey(const WCHAR* name) {
  if (IS_INTRESOURCE(name)) return FromUtf8(std::to_string(reinterpret_cast<uintptr_t>(name)));
  return std::u16string(View(name));
}

}  // namespace

Screen& TheScreen() {
  return screen;
}

void MarkDirty(const RECT& rc) {
  RECT whole{0, 0, kScreenWidth, kScreenHeight}, part;
  if (IntersectRect(&part, &rc, &whole)) UnionRect(&screen.dirty, &screen.dirty, &part);
}

void PresentIfDirty() {
  if (IsRectEmpty(&screen.dirty)) return;
  Backend().Present(screen.pixels, screen.dirty);
  screen.dirty = RECT{};
  ++screen.presents;
}

void BlendPixel(int sx, int sy, uint32_t color, int coverage) {
  uint32_t& p = screen.pixels[sy * kScreenWidth + sx];
  if (coverage >= 255) {
    p = color;
    return;
  }
  auto mix = [&](int shift) {
    uint32_t a = (p >> shift) & 0xFF, b = (color >> shift) & 0xFF;
    return ((a * (255 - coverage) + b * coverage + 127) / 255) << shift;
  };
  p = mix(16) | mix(8) | mix(0);
}

Dc* LookupDc(HDC hdc) {
  DcSlot* slot = Lookup(dcs, hdc, [](const DcSlot& s) { return s.used; });
  return slot ? &slot->dc : nullptr;
}

HDC CreateWindowDc(HWND hwnd, const RECT* extraClip) {
  EnsureStockObjects();
  Dc dc;
  dc.brush = stockObjects[WHITE_BRUSH];
  dc.font = stockFont;
  if (hwnd) {
    dc.hwnd = hwnd;
    dc.ownerSlot = WindowSlot(hwnd);
    if (!dc.ownerSlot) return nullptr;
    RECT client;
    bool shown = ClientRectOnScreen(hwnd, &client);
    dc.origin = POINT{client.left, client.top};
    dc.clip = shown ? client : RECT{};
  } else {
    dc.clip = RECT{0, 0, kScreenWidth, kScreenHeight};
  }
  if (extraClip) IntersectRect(&dc.clip, &dc.clip, extraClip);
  size_t i = 0;
  while (i < dcs.size() && dcs[i].used) ++i;
  if (i == dcs.size()) {
    if (dcs.size() >= 0xFFFF) return nullptr;
    dcs.emplace_back();
  }
  dcs[i].used = true;
  dcs[i].generation = static_cast<uint16_t>(dcs[i].generation + 1);
  dcs[i].dc = dc;
  return static_cast<HDC>(MakeHandle(i, dcs[i].generation));
}

std::shared_ptr<FontData> FontOf(HGDIOBJ font) {
  Object* o = FindObject(font);
  return (o && o->kind == Kind::Font) ? o->font : nullptr;
}

HFONT RegisterFont(std::shared_ptr<FontData> font) {
  Object o;
  o.kind = Kind::Font;
  o.font = std::move(font);
  return static_cast<HFONT>(AddObject(std::move(o)));
}

const BitmapData* BitmapOf(HGDIOBJ bitmap) {
  Object* o = FindObject(bitmap);
  return (o && o->kind == Kind::Bitmap) ? o->bitmap.get() : nullptr;
}

bool BrushColor(HGDIOBJ brush, COLORREF* color) {
  Object* o = FindObject(brush);
  if (!o || o->kind != Kind::Brush || o->nullBrush) return false;
  *color = o->color;
  return true;
}

void ResetGdiForTests() {
  objects.clear();
  dcs.clear();
  stockFont = nullptr;
  std::memset(screen.pixels, 0, sizeof screen.pixels);
  screen.dirty = RECT{};
  screen.presents = 0;
}

}  // namespace plat

using namespace plat;

HDC GetDC(HWND hwnd) {
  return CreateWindowDc(hwnd, nullptr);
}

int ReleaseDC(HWND, HDC hdc) {
  DcSlot* slot = Lookup(dcs, hdc, [](const DcSlot& s) { return s.used; });
  if (!slot) return 0;
  slot->used = false;
  return 1;
}

int GetDeviceCaps(HDC, int index) {
  if (index == HORZRES) return kScreenWidth;
  if (index == VERTRES) return kScreenHeight;
  return 0;
}

HBRUSH CreateSolidBrush(COLORREF color) {
  Object o;
  o.kind = Kind::Brush;
  o.color = color & 0x00FFFFFF;
  return static_cast<HBRUSH>(AddObject(o));
}

HGDIOBJ GetStockObject(int object) {
  EnsureStockObjects();
  return (object >= 0 && object < 8) ? stockObjects[object] : nullptr;
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object) {
  Dc* dc = LookupDc(hdc);
  Object* o = FindObject(object);
  if (!dc || !o) return nullptr;
  HGDIOBJ old = nullptr;
  switch (o->kind) {
    case Kind::Brush:
      old = dc->brush, dc->brush = object;
      break;
    case Kind::Font:
      old = dc->font, dc->font = object;
      break;
    case Kind::Pen:
      old = stockObjects[BLACK_PEN];  // every line is drawn with the black pen
      break;
    default:
      return nullptr;  // bitmaps are drawn with TransparentImage, not selected
  }
  return old;
}

BOOL DeleteObject(HGDIOBJ object) {
  Object* o = FindObject(object);
  if (!o || o->stock) return FALSE;
  for (const DcSlot& slot : dcs) {
    if (slot.used && (slot.dc.brush == object || slot.dc.font == object)) return FALSE;
  }
  uint16_t generation = o->generation;
  *o = Object{};
  o->generation = generation;
  return TRUE;
}

int GetObjectW(HGDIOBJ object, int size, void* out) {
  const BitmapData* bm = BitmapOf(object);
  if (!bm || !out || size < static_cast<int>(sizeof(BITMAP))) return 0;
  BITMAP info{};
  info.bmWidth = bm->width;
  info.bmHeight = bm->height;
  info.bmWidthBytes = bm->width * 4;
  info.bmPlanes = 1;
  info.bmBitsPixel = static_cast<WORD>(bm->bitsPerPixel);
  std::memcpy(out, &info, sizeof info);
  return sizeof info;
}

COLORREF SetBkColor(HDC hdc, COLORREF color) {
  Dc* dc = LookupDc(hdc);
  if (!dc) return CLR_INVALID;
  COLORREF old = dc->bkColor;
  dc->bkColor = color & 0x00FFFFFF;
  return old;
}

COLORREF SetTextColor(HDC hdc, COLORREF color) {
  Dc* dc = LookupDc(hdc);
  if (!dc) return CLR_INVALID;
  COLORREF old = dc->textColor;
  dc->textColor = color & 0x00FFFFFF;
  return old;
}

int SetBkMode(HDC hdc, int mode) {
  Dc* dc = LookupDc(hdc);
  if (!dc || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
  int old = dc->bkMode;
  dc->bkMode = mode;
  return old;
}

COLORREF GetPixel(HDC hdc, int x, int y) {
  Dc* dc = LookupDc(hdc);
  if (!dc) return CLR_INVALID;
  int sx = x + dc->origin.x, sy = y + dc->origin.y;
  if (!CanDraw(*dc, sx, sy)) return CLR_INVALID;
  return ToColor(screen.pixels[sy * kScreenWidth + sx]);
}

int FillRect(HDC hdc, const RECT* rc, HBRUSH brush) {
  Dc* dc = LookupDc(hdc);
  COLORREF color;
  if (!dc || !rc) return 0;
  if (BrushColor(brush, &color)) FillScreenRect(*dc, *rc, color);
  return 1;
}

BOOL PatBlt(HDC hdc, int x, int y, int width, int height, DWORD rop) {
  Dc* dc = LookupDc(hdc);
  if (!dc || rop != PATCOPY) return FALSE;
  COLORREF color;
  if (BrushColor(dc->brush, &color)) {
    // Negative sizes extend to the left or upwards, as on the device.
    RECT rc{std::min(x, x + width), std::min(y, y + height), std::max(x, x + width),
            std::max(y, y + height)};
    FillScreenRect(*dc, rc, color);
  }
  return TRUE;
}

BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop) {
  Dc* to = LookupDc(dst);
  Dc* from = LookupDc(src);
  if (!to || !from || rop != SRCCOPY || width <= 0 || height <= 0) return FALSE;
  // Read everything first, so that source and destination may overlap.
  std::vector<uint32_t> block(static_cast<size_t>(width) * height);
  std::vector<bool> have(block.size());
  for (int j = 0; j < height; ++j) {
    for (int i = 0; i < width; ++i) {
      int sx = srcX + i + from->origin.x, sy = srcY + j + from->origin.y;
      if (sx < 0 || sy < 0 || sx >= kScreenWidth || sy >= kScreenHeight) continue;
      block[j * width + i] = screen.pixels[sy * kScreenWidth + sx];
      have[j * width + i] = true;
    }
  }
  for (int j = 0; j < height; ++j) {
    for (int i = 0; i < width; ++i) {
      int sx = x + i + to->origin.x, sy = y + j + to->origin.y;
      if (have[j * width + i] && CanDraw(*to, sx, sy)) {
        screen.pixels[sy * kScreenWidth + sx] = block[j * width + i];
      }
    }
  }
  MarkDirty(ToScreen(*to, RECT{x, y, x + width, y + height}));
  return TRUE;
}

BOOL Polyline(HDC hdc, const POINT* points, int count) {
  Dc* dc = LookupDc(hdc);
  if (!dc || !points || count < 2) return FALSE;
  for (int i = 0; i + 1 < count; ++i) LineWithoutEnd(*dc, points[i], points[i + 1]);
  return TRUE;
}

BOOL TransparentImage(HDC dst, int x, int y, int width, int height, HANDLE src, int srcX, int srcY,
                      int srcWidth, int srcHeight, COLORREF transparent) {
  Dc* dc = LookupDc(dst);
  const BitmapData* bm = BitmapOf(src);
  Dc* from = LookupDc(static_cast<HDC>(src));
  if (!dc || (!bm && !from) || width <= 0 || height <= 0 || srcWidth <= 0 || srcHeight <= 0) {
    return FALSE;
  }
  uint32_t key = ToPixel(transparent);
  for (int j = 0; j < height; ++j) {
    int sy = srcY + j * srcHeight / height;
    for (int i = 0; i < width; ++i) {
      int sx = srcX + i * srcWidth / width;
      uint32_t pixel;
      if (bm) {
        if (sx < 0 || sy < 0 || sx >= bm->width || sy >= bm->height) continue;
        pixel = bm->pixels[sy * bm->width + sx] & 0x00FFFFFF;
      } else {
        int qx = sx + from->origin.x, qy = sy + from->origin.y;
        if (qx < 0 || qy < 0 || qx >= kScreenWidth || qy >= kScreenHeight) continue;
        pixel = screen.pixels[qy * kScreenWidth + qx];
      }
      int dx = x + i + dc->origin.x, dy = y + j + dc->origin.y;
      if (pixel != key && CanDraw(*dc, dx, dy)) screen.pixels[dy * kScreenWidth + dx] = pixel;
    }
  }
  MarkDirty(ToScreen(*dc, RECT{x, y, x + width, y + height}));
  return TRUE;
}

HBITMAP LoadBitmapW(HINSTANCE, const WCHAR* name) {
  const EmbeddedResource* res = FindEmbeddedResource(ResourceKey(name), "BITMAP");
  auto bitmap = std::make_shared<BitmapData>();
  if (!res || !DecodeBmp(res->data, res->size, bitmap.get())) return nullptr;
  return static_cast<HBITMAP>(AddBitmap(std::move(bitmap)));
}

HICON LoadIconW(HINSTANCE, const WCHAR* name) {
  const EmbeddedResource* res = FindEmbeddedResource(ResourceKey(name), "ICON");
  auto bitmap = std::make_shared<BitmapData>();
  if (!res || !DecodeIco(res->data, res->size, bitmap.get())) return nullptr;
  return reinterpret_cast<HICON>(AddBitmap(std::move(bitmap)));
}

BOOL GdiFlush() {
  PresentIfDirty();
  return TRUE;
}
