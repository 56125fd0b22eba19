// Draws Vesk's artwork anew and writes it, with its resource list, into a folder,
// and the program icon for the desktop's icon theme into its icons/ folder:
//   make_artwork resources
// The skins are rendered anti-aliased (4 x 4 samples a pixel) and reduced to the
// palettes the program expects; the small status icons are drawn pixel by pixel.
// Pure white is the transparent colour of every bitmap, so skin art never uses it.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <zlib.h>

namespace {

struct Rgb {
  double r = 0, g = 0, b = 0;  // 0..255
};

Rgb Mix(Rgb a, Rgb b, double t) {
  t = std::clamp(t, 0.0, 1.0);
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Rgb Shade(Rgb c, double amount) {
  return {c.r + amount, c.g + amount, c.b + amount};
}

double Smooth(double edge0, double edge1, double x) {
  double t = std::clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
  return t * t * (3 - 2 * t);
}

struct Px {
  uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Px&) const = default;
  uint32_t Key() const { return uint32_t(r) << 16 | uint32_t(g) << 8 | b; }
};

constexpr Px kWhite{255, 255, 255};
constexpr Px kBlack{0, 0, 0};

Px ToPx(Rgb c) {
  auto channel = [](double v) { return uint8_t(std::lround(std::clamp(v, 0.0, 255.0))); };
  return {channel(c.r), channel(c.g), channel(c.b)};
}

Rgb ToRgb(Px p) {
  return {double(p.r), double(p.g), double(p.b)};
}

// A finished picture: true colour pixels (top row first) and, for the icon, coverage
// (0 transparent to 255 opaque; a pixel at least half covered counts as opaque).
struct Picture {
  int width = 0, height = 0;
  std::vector<Px> pixels;
  std::vector<uint8_t> alpha;
  Px& at(int x, int y) { return pixels[y * width + x]; }
  bool Opaque(size_t i) const { return alpha.empty() || alpha[i] >= 128; }
};

// A scene gives the colour at a point, or nothing where it is transparent.
using Scene = std::function<std::optional<Rgb>(double x, double y)>;

Picture Render(int width, int height, const Scene& scene) {
  constexpr int kSub = 4;
  Picture pic{width, height, std::vector<Px>(width * height), std::vector<uint8_t>(width * height)};
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      Rgb sum;
      int covered = 0;
      for (int j = 0; j < kSub; ++j) {
        for (int i = 0; i < kSub; ++i) {
          std::optional<Rgb> c = scene(x + (i + 0.5) / kSub, y + (j + 0.5) / kSub);
          if (!c) continue;
          sum = {sum.r + c->r, sum.g + c->g, sum.b + c->b};
          ++covered;
        }
      }
      if (covered == 0) continue;
      pic.at(x, y) = ToPx({sum.r / covered, sum.g / covered, sum.b / covered});
      pic.alpha[y * width + x] = uint8_t(std::lround(covered * 255.0 / (kSub * kSub)));
    }
  }
  return pic;
}

// Pixel art: '#' is ink, '+' is grey ink, anything else is paper.
Picture FromRows(const std::vector<std::string>& rows, Px ink, Px paper, Px grey = kBlack) {
  Picture pic{int(rows[0].size()), int(rows.size()), {}, {}};
  for (const std::string& row : rows)
    for (char c : row) pic.pixels.push_back(c == '#' ? ink : c == '+' ? grey : paper);
  return pic;
}

// ---- Palettes ---------------------------------------------------------------

struct Entry {
  Rgb colour;
  double count;
};

double Distance(Px a, Px b) {
  double dr = a.r - b.r, dg = a.g - b.g, db = a.b - b.b;
  return dr * dr * 0.3 + dg * dg * 0.59 + db * db * 0.11;
}

// Median cut over the picture's colours, keeping the reserved colours exact
// (the frame colour of the corners, the glyph colour) and a few rounds of
// k-means to settle the rest.
std::vector<Px> MakePalette(const Picture& pic, int size, const std::vector<Px>& reserved) {
  std::map<uint32_t, std::pair<Px, double>> counts;
  for (size_t i = 0; i < pic.pixels.size(); ++i) {
    Px p = pic.pixels[i];
    if (!pic.Opaque(i)) continue;
    if (std::find(reserved.begin(), reserved.end(), p) != reserved.end()) continue;
    auto& slot = counts[p.Key()];
    slot.first = p;
    slot.second += 1;
  }
  std::vector<Px> palette = reserved;
  const size_t free = size - reserved.size();
  if (counts.size() <= free) {
    for (auto& [key, value] : counts) palette.push_back(value.first);
    return palette;
  }
  std::vector<std::vector<Entry>> boxes(1);
  for (auto& [key, value] : counts) boxes[0].push_back({ToRgb(value.first), value.second});
  auto spread = [](const std::vector<Entry>& box, int* axis) {
    double best = -1;
    for (int a = 0; a < 3; ++a) {
      double lo = 1e9, hi = -1e9;
      for (const Entry& e : box) {
        double v = a == 0 ? e.colour.r : a == 1 ? e.colour.g : e.colour.b;
        lo = std::min(lo, v), hi = std::max(hi, v);
      }
      if (hi - lo > best) best = hi - lo, *axis = a;
    }
    return box.size() < 2 ? -1.0 : best;
  };
  while (boxes.size() < free) {
    int axis = 0, bestAxis = 0;
    double best = 0;
    size_t chosen = boxes.size();
    for (size_t i = 0; i < boxes.size(); ++i) {
      double s = spread(boxes[i], &axis);
      if (s > best) best = s, chosen = i, bestAxis = axis;
    }
    if (chosen == boxes.size()) break;
    std::vector<Entry>& box = boxes[chosen];
    std::sort(box.begin(), box.end(), [bestAxis](const Entry& a, const Entry& b) {
      auto v = [bestAxis](const Entry& e) {
        return bestAxis == 0 ? e.colour.r : bestAxis == 1 ? e.colour.g : e.colour.b;
      };
      return v(a) < v(b);
    });
    double total = 0, half = 0;
    for (const Entry& e : box) total += e.count;
    size_t cut = 1;
    for (; cut < box.size() - 1; ++cut) {
      half += box[cut - 1].count;
      if (half * 2 >= total) break;
    }
    boxes.emplace_back(box.begin() + cut, box.end());
    boxes[chosen].resize(cut);
  }
  std::vector<Rgb> centres;
  for (const auto& box : boxes) {
    Rgb sum;
    double n = 0;
    for (const Entry& e : box)
      sum = {sum.r + e.colour.r * e.count, sum.g + e.colour.g * e.count,
             sum.b + e.colour.b * e.count},
      n += e.count;
    centres.push_back({sum.r / n, sum.g / n, sum.b / n});
  }
  for (int round = 0; round < 4; ++round) {
    std::vector<Rgb> sums(centres.size());
    std::vector<double> n(centres.size());
    for (auto& [key, value] : counts) {
      size_t best = 0;
      for (size_t i = 1; i < centres.size(); ++i)
        if (Distance(value.first, ToPx(centres[i])) < Distance(value.first, ToPx(centres[best])))
          best = i;
      Rgb c = ToRgb(value.first);
      sums[best] = {sums[best].r + c.r * value.second, sums[best].g + c.g * value.second,
                    sums[best].b + c.b * value.second};
      n[best] += value.second;
    }
    for (size_t i = 0; i < centres.size(); ++i)
      if (n[i] > 0) centres[i] = {sums[i].r / n[i], sums[i].g / n[i], sums[i].b / n[i]};
  }
  for (const Rgb& c : centres) palette.push_back(ToPx(c));
  return palette;
}

uint8_t Nearest(const std::vector<Px>& palette, Px p) {
  size_t best = 0;
  for (size_t i = 1; i < palette.size(); ++i)
    if (Distance(p, palette[i]) < Distance(p, palette[best])) best = i;
  return uint8_t(best);
}

// ---- Files ------------------------------------------------------------------

struct Bytes : std::vector<uint8_t> {
  void u8(unsigned v) { push_back(uint8_t(v)); }
  void u16(unsigned v) { u8(v & 0xFF), u8(v >> 8); }
  void u32(uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); }
  void text(const char* s) {
    while (*s) u8(*s++);
  }
};

bool Save(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  if (!out) std::fprintf(stderr, "make_artwork: cannot write %s\n", path.c_str());
  return bool(out);
}

// The BITMAPINFOHEADER, palette and bottom-up rows; the icon's image doubles the
// height for its AND mask.
void PutDib(Bytes& out, const Picture& pic, int bits, std::vector<Px> palette, bool iconMask) {
  const int rowBytes = (pic.width * bits + 31) / 32 * 4;
  const int maskRowBytes = (pic.width + 31) / 32 * 4;
  const int imageBytes = rowBytes * pic.height + (iconMask ? maskRowBytes * pic.height : 0);
  if (bits <= 8) palette.resize(size_t(1) << bits, kBlack);
  out.u32(40);
  out.u32(pic.width);
  out.u32(pic.height * (iconMask ? 2 : 1));
  out.u16(1);
  out.u16(bits);
  out.u32(0);  // BI_RGB
  out.u32(imageBytes);
  out.u32(iconMask ? 0 : 2835);  // 72 dots per inch
  out.u32(iconMask ? 0 : 2835);
  out.u32(bits <= 8 ? uint32_t(palette.size()) : 0);
  out.u32(0);
  for (Px p : palette) out.u8(p.b), out.u8(p.g), out.u8(p.r), out.u8(0);
  for (int y = pic.height - 1; y >= 0; --y) {
    Bytes row;
    if (bits == 24) {
      for (int x = 0; x < pic.width; ++x) {
        Px p = pic.pixels[y * pic.width + x];
        row.u8(p.b), row.u8(p.g), row.u8(p.r);
      }
    } else {
      row.resize(rowBytes);
      for (int x = 0; x < pic.width; ++x) {
        bool shown = !iconMask || pic.Opaque(y * pic.width + x);
        unsigned index = shown ? Nearest(palette, pic.pixels[y * pic.width + x]) : 0;
        if (bits == 8) row[x] = uint8_t(index);
        if (bits == 4) row[x / 2] |= uint8_t(index << (x % 2 ? 0 : 4));
      }
    }
    row.resize(rowBytes);
    out.insert(out.end(), row.begin(), row.end());
  }
  if (!iconMask) return;
  for (int y = pic.height - 1; y >= 0; --y) {
    Bytes row;
    row.resize(maskRowBytes);
    for (int x = 0; x < pic.width; ++x)
      if (!pic.Opaque(y * pic.width + x)) row[x / 8] |= uint8_t(0x80 >> (x % 8));
    out.insert(out.end(), row.begin(), row.end());
  }
}

bool WriteBmp(const std::string& path, const Picture& pic, int bits,
              const std::vector<Px>& palette = {}) {
  Bytes dib;
  PutDib(dib, pic, bits, palette, false);
  const int paletteBytes = bits <= 8 ? (4 << bits) : 0;
  Bytes file;
  file.text("BM");
  file.u32(uint32_t(14 + dib.size()));
  file.u32(0);
  file.u32(14 + 40 + paletteBytes);
  file.insert(file.end(), dib.begin(), dib.end());
  return Save(path, file);
}

// A skin bitmap: white is transparent, so nothing of it may come out white.
bool WriteSkinBmp(const std::string& path, Picture pic, int bits, std::vector<Px> reserved) {
  for (Px& p : pic.pixels)
    if (p == kWhite) p = {254, 254, 254};
  if (bits == 24) return WriteBmp(path, pic, 24);
  return WriteBmp(path, pic, bits, MakePalette(pic, 1 << bits, reserved));
}

bool WriteIcon(const std::string& path, const std::vector<Picture>& images) {
  std::vector<Bytes> dibs;
  for (const Picture& pic : images) {
    // Index 0 is black: transparent pixels are black under a set mask bit.
    Bytes dib;
    PutDib(dib, pic, 4, MakePalette(pic, 16, {kBlack}), true);
    dibs.push_back(dib);
  }
  Bytes file;
  file.u16(0), file.u16(1), file.u16(uint16_t(images.size()));
  uint32_t offset = 6 + 16 * uint32_t(images.size());
  for (size_t i = 0; i < images.size(); ++i) {
    file.u8(images[i].width), file.u8(images[i].height), file.u8(16), file.u8(0);
    file.u16(1), file.u16(4), file.u32(uint32_t(dibs[i].size())), file.u32(offset);
    offset += uint32_t(dibs[i].size());
  }
  for (const Bytes& dib : dibs) file.insert(file.end(), dib.begin(), dib.end());
  return Save(path, file);
}

// ---- The skins ----------------------------------------------------------------

struct Skin {
  const char* suffix;  // of the file names
  Rgb frame;           // the main window's frame colour, around the round shapes
  Rgb top, bottom;     // the surface, lit from above
  Rgb discTop, discBottom;
  Rgb outline;
  Rgb shine;     // the glossy highlight
  double gloss;  // its strength
  double bevel;  // how strongly rims catch light and fall into shade
  Rgb glyph;
};

const Skin kClassic{"",
                    {247, 247, 247},
                    {232, 232, 235},
                    {190, 191, 196},
                    {242, 242, 244},
                    {214, 215, 219},
                    {138, 139, 145},
                    {253, 253, 253},
                    0.75,
                    14,
                    {0, 0, 0}};
const Skin kNight{"_night",     {22, 23, 29}, {64, 66, 75},  {30, 31, 37},
                  {54, 56, 64}, {28, 29, 35}, {92, 95, 106}, {128, 131, 144},
                  0.45,         12,           {232, 40, 36}};

// A glossy round surface of radius `radius` about (cx, cy), `top` to `bottom` the
// vertical extent of its gradient: the colour at a point inside it.
Rgb Surface(const Skin& s, Rgb top, Rgb bottom, double cx, double cy, double radius, double x,
            double y) {
  double dx = x - cx, dy = y - cy, r = std::hypot(dx, dy);
  Rgb c = Mix(top, bottom, (y - (cy - radius)) / (2 * radius));
  // The rim: light on the upper edge, shade on the lower one.
  double up = r > 0 ? -dy / r : 0;
  c = Shade(c, (1 - Smooth(0, radius * 0.22, radius - r)) * up * s.bevel);
  // The highlight: a soft ellipse over the upper half, fading downwards.
  double ex = dx / (radius * 0.78), ey = (y - (cy - radius * 0.48)) / (radius * 0.46);
  double inside = 1 - (ex * ex + ey * ey);
  double fade = 1 - Smooth(cy - radius, cy + radius * 0.1, y) * 0.8;
  return Mix(c, s.shine, s.gloss * Smooth(0, 0.35, inside) * fade);
}

Picture Wheel(const Skin& s) {
  // The disc sits a little up and left of the ring's centre, so that its outline
  // falls on whole pixels: columns and rows 39 to 40 and 79.
  constexpr double kCentre = 60, kOuter = 59.8, kLine = 1.1;
  constexpr double kDiscCentre = 59.6, kDisc = 20.4, kDiscLine = 1.0;
  return Render(120, 120, [&](double x, double y) -> std::optional<Rgb> {
    double r = std::hypot(x - kCentre, y - kCentre);
    if (r > kOuter) return s.frame;
    if (r > kOuter - kLine) return s.outline;
    double dx = x - kDiscCentre, dy = y - kDiscCentre, d = std::hypot(dx, dy);
    if (d > kDisc) {
      Rgb c = Surface(s, s.top, s.bottom, kCentre, kCentre, kOuter - kLine, x, y);
      // The ring slopes down into the disc: a soft shadow on the disc's upper side.
      double up = -dy / d;
      double groove = 1 - Smooth(0, 5, d - kDisc);
      return Shade(c, -groove * (0.6 + 0.4 * up) * s.bevel * 1.2);
    }
    if (d > kDisc - kDiscLine) return s.outline;
    return Surface(s, s.discTop, s.discBottom, kDiscCentre, kDiscCentre, kDisc - kDiscLine, x, y);
  });
}

// Glyph shapes in button coordinates (40 x 40, centre (20, 20)).
bool InRect(double x, double y, double l, double t, double r, double b) {
  return x >= l && x < r && y >= t && y < b;
}
// A triangle pointing left (tip < base) or right (tip > base), 10 pixels tall.
bool InTriangle(double x, double y, double tip, double base) {
  constexpr double kMid = 20, kHalf = 5.5;
  double along = (x - tip) / (base - tip);
  return along >= 0 && along <= 1 && std::abs(y - kMid) <= kHalf * along;
}

// The word MENU, 5 x 7 pixel letters with one pixel between them.
const std::vector<std::string> kMenuWord = {
    "#...#.####.#...#.#...#",  //
    "##.##.#....##..#.#...#",  //
    "#.#.#.#....##..#.#...#",  //
    "#.#.#.###..#.#.#.#...#",  //
    "#...#.#....#..##.#...#",  //
    "#...#.#....#..##.#...#",  //
    "#...#.####.#...#..###.",
};

using Glyph = std::function<bool(double x, double y)>;

const Glyph kBackGlyph = [](double x, double y) {
  return InRect(x, y, 11, 14.5, 13, 25.5) || InTriangle(x, y, 13, 21) || InTriangle(x, y, 21, 29);
};
const Glyph kForwardGlyph = [](double x, double y) {
  return InRect(x, y, 27, 14.5, 29, 25.5) || InTriangle(x, y, 27, 19) || InTriangle(x, y, 19, 11);
};
const Glyph kPlayPauseGlyph = [](double x, double y) {
  return InTriangle(x, y, 18.5, 10) || InRect(x, y, 21, 15, 24, 25) || InRect(x, y, 26, 15, 29, 25);
};
const Glyph kMenuGlyph = [](double x, double y) {
  int col = int(std::floor(x)) - 9, row = int(std::floor(y)) - 17;
  return row >= 0 && row < int(kMenuWord.size()) && col >= 0 && col < int(kMenuWord[0].size()) &&
         kMenuWord[row][col] == '#';
};

Picture Button(const Skin& s, const Glyph& glyph) {
  constexpr double kCentre = 20, kOuter = 19.8, kLine = 1.1;
  return Render(40, 40, [&](double x, double y) -> std::optional<Rgb> {
    double r = std::hypot(x - kCentre, y - kCentre);
    if (r > kOuter) return s.frame;
    if (r > kOuter - kLine) return s.outline;
    if (glyph(x, y)) return s.glyph;
    return Surface(s, s.top, s.bottom, kCentre, kCentre, kOuter - kLine, x, y);
  });
}

bool WriteSkin(const std::string& dir, const Skin& s) {
  std::vector<Px> keep = {ToPx(s.frame), ToPx(s.glyph), ToPx(s.outline)};
  std::string n = s.suffix;
  bool menuTrueColour = &s == &kClassic;
  return WriteSkinBmp(dir + "/rotary" + n + ".bmp", Wheel(s), 8, keep) &&
         WriteSkinBmp(dir + "/back" + n + ".bmp", Button(s, kBackGlyph), 8, keep) &&
         WriteSkinBmp(dir + "/menu" + n + ".bmp", Button(s, kMenuGlyph), menuTrueColour ? 24 : 8,
                      keep) &&
         WriteSkinBmp(dir + "/playpause" + n + ".bmp", Button(s, kPlayPauseGlyph), 8, keep) &&
         WriteSkinBmp(dir + "/forward" + n + ".bmp", Button(s, kForwardGlyph), 8, keep);
}

// A PNG of 8-bit RGBA rows, each behind filter byte 0, compressed by zlib.
bool WritePng(const std::string& path, const Picture& pic) {
  auto be32 = [](Bytes& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.u8((v >> shift) & 0xFF);
  };
  auto chunk = [&](Bytes& out, const char* type, const Bytes& data) {
    be32(out, uint32_t(data.size()));
    Bytes typed;
    typed.text(type);
    typed.insert(typed.end(), data.begin(), data.end());
    out.insert(out.end(), typed.begin(), typed.end());
    be32(out, uint32_t(crc32(0, typed.data(), uInt(typed.size()))));
  };
  Bytes raw;
  for (int y = 0; y < pic.height; ++y) {
    raw.u8(0);
    for (int x = 0; x < pic.width; ++x) {
      size_t i = size_t(y) * pic.width + x;
      Px p = pic.pixels[i];
      raw.u8(p.r), raw.u8(p.g), raw.u8(p.b), raw.u8(pic.alpha.empty() ? 255 : pic.alpha[i]);
    }
  }
  Bytes packed;
  uLongf packedSize = compressBound(uLong(raw.size()));
  packed.resize(packedSize);
  if (compress2(packed.data(), &packedSize, raw.data(), uLong(raw.size()), 9) != Z_OK) return false;
  packed.resize(packedSize);
  Bytes header;
  be32(header, pic.width), be32(header, pic.height);
  header.u8(8), header.u8(6), header.u8(0), header.u8(0), header.u8(0);  // RGBA, no interlace
  Bytes file;
  for (unsigned b : {0x89u, 0x50u, 0x4Eu, 0x47u, 0x0Du, 0x0Au, 0x1Au, 0x0Au})
    file.u8(b);  // the signature
  chunk(file, "IHDR", header);
  chunk(file, "IDAT", packed);
  chunk(file, "IEND", Bytes{});
  return Save(path, file);
}

// ---- The screen border and the status icons -------------------------------------

// Black outline with clipped corners, a grey line inside it and a pale green field.
Picture Border() {
  constexpr int kWidth = 168, kHeight = 136;
  Picture pic{kWidth, kHeight, std::vector<Px>(kWidth * kHeight, Px{192, 220, 192}), {}};
  const Px grey{134, 134, 134};
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      int fromEdge = std::min({x, y, kWidth - 1 - x, kHeight - 1 - y});
      if (fromEdge == 0) pic.at(x, y) = kBlack;
      if (fromEdge == 1) pic.at(x, y) = grey;
      bool edgeX = x == 0 || x == kWidth - 1, edgeY = y == 0 || y == kHeight - 1;
      bool nearX = x <= 1 || x >= kWidth - 2, nearY = y <= 1 || y >= kHeight - 2;
      if (edgeX && edgeY)
        pic.at(x, y) = kWhite;
      else if ((edgeX && nearY) || (edgeY && nearX))
        pic.at(x, y) = grey;
    }
  }
  return pic;
}

struct Icon {
  const char* file;
  int bits;
  std::vector<std::string> rows;
};

const std::vector<Icon> kIcons = {
    {"battery.bmp",
     8,
     {"###################.", "#.................#.", "#.................#.",
      "#.................##", "#.................##", "#.................##",
      "#.................##", "#.................#.", "#.................#.",
      "###################."}},
    {"play.bmp",
     8,
     {"..#......", "..##.....", "..###....", "..####...", "..#####..", "..####...", "..###....",
      "..##.....", "..#......"}},
    {"pause.bmp",
     8,
     {".........", "..##.##..", "..##.##..", "..##.##..", "..##.##..", "..##.##..", "..##.##..",
      "..##.##..", "........."}},
    {"shuffle.bmp",
     8,
     {".........#.", "####...####", "....#.#..#.", ".....#.....", "....#.#..#.", "####...####",
      ".........#."}},
    {"repeat_one.bmp",
     4,
     {".......#...", ".########..", "#...##.#..#", "#....#....#", "#..#.#....#", "..########.",
      "...#......."}},
    {"repeat_all.bmp",
     8,
     {".......#...", ".########..", "#......#..#", "#.........#", "#..#......#", "..########.",
      "...#......."}},
    {"volume_down.bmp",
     8,
     {".....#", "....##", "...###", "######", "######", "######", "######", "######", "...###",
      "....##", ".....#"}},
    {"volume_up.bmp",
     8,
     {"..........#..", ".....#.....#.", "....##..#...#", "...###...#..#", "######...#..#",
      "######...#..#", "######...#..#", "######...#..#", "######...#..#", "...###...#..#",
      "....##..#...#", ".....#.....#.", "..........#.."}},
};

// ---- The click and the program icon ---------------------------------------------

constexpr double kIconGrid = 32;
// The program icon in the desktop's icon theme (hicolor), one file a size.
constexpr int kThemeIconSizes[] = {16, 32, 48, 128, 256};

// 57 samples at 11025 per second: a sharp edge ringing down within five milliseconds.
bool WriteClick(const std::string& path) {
  constexpr int kSamples = 57, kRate = 11025;
  constexpr double kPi = 3.14159265358979323846;
  Bytes data;
  uint32_t noise = 0x2545F491;
  for (int n = 0; n < kSamples; ++n) {
    noise ^= noise << 13, noise ^= noise >> 17, noise ^= noise << 5;
    double hiss = (noise % 2001) / 1000.0 - 1;
    double ring = std::sin(2 * kPi * 2400.0 * n / kRate + 0.9);
    double v = 110 * std::exp(-n / 7.0) * (0.75 * ring + 0.25 * hiss);
    v *= 1 - Smooth(kSamples - 12, kSamples - 1, n);  // ends at rest
    data.u8(unsigned(std::lround(128 + std::clamp(v, -127.0, 127.0))));
  }
  if (data.size() % 2) data.u8(128);  // RIFF chunks are padded to even sizes
  Bytes file;
  file.text("RIFF");
  file.u32(uint32_t(4 + 8 + 16 + 8 + data.size()));
  file.text("WAVEfmt ");
  file.u32(16);
  file.u16(1), file.u16(1), file.u32(kRate), file.u32(kRate), file.u16(1), file.u16(8);
  file.text("data");
  file.u32(kSamples);
  file.insert(file.end(), data.begin(), data.end());
  return Save(path, file);
}

// A tiny player: a silver body, the screen above the wheel. Drawn on a grid of
// 32 units and rendered afresh at each size, so every size is sharp.
Picture PlayerIcon(int size) {
  auto roundRect = [](double x, double y, double l, double t, double r, double b, double c) {
    double dx = std::max({l + c - x, 0.0, x - (r - c)});
    double dy = std::max({t + c - y, 0.0, y - (b - c)});
    return x >= l && x <= r && y >= t && y <= b && dx * dx + dy * dy <= c * c;
  };
  const Rgb dark{58, 60, 68};
  const double unit = kIconGrid / size;
  return Render(size, size, [=](double px, double py) -> std::optional<Rgb> {
    double x = px * unit, y = py * unit;
    if (!roundRect(x, y, 5, 0.5, 27, 31.5, 4.5)) return std::nullopt;
    if (!roundRect(x, y, 6.5, 2, 25.5, 30, 3)) return dark;
    if (InRect(x, y, 8.5, 4, 23.5, 15.5)) {
      if (!InRect(x, y, 9.7, 5.2, 22.3, 14.3)) return dark;
      if (InRect(x, y, 11, 7, 21, 8.6) || InRect(x, y, 11, 10.4, 18, 12)) return Rgb{60, 72, 64};
      return Rgb{192, 222, 200};
    }
    double r = std::hypot(x - 16, y - 23);
    if (r < 2.6) return Rgb{236, 236, 240};
    if (r < 6.3) return Mix(Rgb{164, 166, 174}, Rgb{112, 114, 122}, (y - 16) / 14);
    if (r < 7.4) return dark;
    return Mix(Rgb{242, 242, 246}, Rgb{192, 194, 202}, y / kIconGrid);
  });
}

// At 16 pixels anti-aliasing only blurs, so the small image is drawn by hand.
Picture SmallPlayerIcon() {
  const std::vector<std::string> rows = {
      "....dddddddd....", "...dssssssssd...", "...dsddddddsd...", "...dsdggggdsd...",
      "...dsdggggdsd...", "...dsdggggdsd...", "...dsddddddsd...", "...dssssssssd...",
      "...dssWWWWssd...", "...dmWwwwwWmd...", "...dmWwccwWmd...", "...dmWwccwWmd...",
      "...dmWwwwwWmd...", "...dmmWWWWmmd...", "...dmmmmmmmmd...", "....dddddddd....",
  };
  const std::map<char, Px> colours = {{'d', {58, 60, 68}},    {'s', {238, 238, 242}},
                                      {'m', {206, 208, 214}}, {'g', {192, 222, 200}},
                                      {'w', {150, 152, 160}}, {'W', {104, 106, 114}},
                                      {'c', {238, 238, 242}}};
  Picture pic{16, 16, std::vector<Px>(256), std::vector<uint8_t>(256)};
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      auto found = colours.find(rows[y][x]);
      if (found == colours.end()) continue;
      pic.at(x, y) = found->second;
      pic.alpha[y * 16 + x] = 255;
    }
  }
  return pic;
}

// ---- The resource list --------------------------------------------------------

struct Listed {
  const char* name;
  const char* type;
  const char* file;
};

const Listed kResources[] = {
    {"IDB_ROTARY", "BITMAP", "rotary.bmp"},
    {"IDB_BACK", "BITMAP", "back.bmp"},
    {"IDB_MENU", "BITMAP", "menu.bmp"},
    {"IDB_PLAYPAUSE", "BITMAP", "playpause.bmp"},
    {"IDB_FORWARD", "BITMAP", "forward.bmp"},
    {"IDB_ROTARYNGT", "BITMAP", "rotary_night.bmp"},
    {"IDB_BACKNGT", "BITMAP", "back_night.bmp"},
    {"IDB_MENUNGT", "BITMAP", "menu_night.bmp"},
    {"IDB_PLAYPAUSENGT", "BITMAP", "playpause_night.bmp"},
    {"IDB_FORWARDNGT", "BITMAP", "forward_night.bmp"},
    {"IDB_BORDER", "BITMAP", "border.bmp"},
    {"IDB_BATTERY", "BITMAP", "battery.bmp"},
    {"IDB_PLAY", "BITMAP", "play.bmp"},
    {"IDB_PAUSE", "BITMAP", "pause.bmp"},
    {"IDB_SHUFFLE", "BITMAP", "shuffle.bmp"},
    {"IDB_RPTONE", "BITMAP", "repeat_one.bmp"},
    {"IDB_RPTALL", "BITMAP", "repeat_all.bmp"},
    {"IDB_VOLDOWN", "BITMAP", "volume_down.bmp"},
    {"IDB_VOLUP", "BITMAP", "volume_up.bmp"},
    {"CLICK", "WAVE", "click.wav"},
    {"101", "ICON", "vesk.ico"},
};

bool WriteList(const std::string& path) {
  Bytes text;
  text.text("# The program's resources: name, type, file (in this folder).\n");
  for (const Listed& r : kResources) {
    std::string line = std::string(r.name) + " " + r.type + " " + r.file + "\n";
    text.text(line.c_str());
  }
  return Save(path, text);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_artwork <resources folder>\n");
    return 2;
  }
  const std::string dir = argv[1];
  bool ok = WriteSkin(dir, kClassic) && WriteSkin(dir, kNight);
  ok = ok && WriteBmp(dir + "/border.bmp", Border(), 8,
                      {kBlack, kWhite, {134, 134, 134}, {192, 220, 192}});
  for (const Icon& icon : kIcons)
    ok = ok && WriteBmp(dir + "/" + icon.file, FromRows(icon.rows, kBlack, kWhite), icon.bits,
                        {kBlack, kWhite});
  ok = ok && WriteClick(dir + "/click.wav");
  ok = ok && WriteIcon(dir + "/vesk.ico", {PlayerIcon(32), SmallPlayerIcon()});
  std::filesystem::create_directories(dir + "/icons");
  for (int size : kThemeIconSizes)
    ok = ok && WritePng(dir + "/icons/vesk-" + std::to_string(size) + ".png",
                        size == 16 ? SmallPlayerIcon() : PlayerIcon(size));
  ok = ok && WriteList(dir + "/resources.list");
  return ok ? 0 : 1;
}
