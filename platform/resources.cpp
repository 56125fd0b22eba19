// The resources compiled into the program, and the decoding of their
// bitmap and icon formats. Every offset is checked: a damaged resource is
// refused, never read past its end.
#include <cstring>

#include "platform/internal.h"

namespace plat {
namespace {

uint32_t U16(const unsigned char* p) {
  return p[0] | (p[1] << 8);
}
uint32_t U32(const unsigned char* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t{p[3]} << 24);
}

// A device-independent bitmap: an info header, its palette and its rows.
// With a mask (icons) the height counts the colour rows and the mask rows.
bool DecodeDib(const unsigned char* data, size_t size, size_t bitsOffset, bool iconMask,
               BitmapData* out) {
  if (size < 40) return false;
  uint32_t headerSize = U32(data);
  int32_t width = static_cast<int32_t>(U32(data + 4));
  int32_t height = static_cast<int32_t>(U32(data + 8));
  uint32_t bits = U16(data + 14);
  uint32_t compression = U32(data + 16);
  uint32_t paletteSize = U32(data + 32);
  if (headerSize < 40 || headerSize > size || compression != 0 || width <= 0 || height == 0 ||
      width > 4096 || height > 8192 || height < -4096) {
    return false;
  }
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return false;
  bool topDown = height < 0;
  int rows = topDown ? -height : height;
  if (iconMask) rows /= 2;
  if (bits <= 8 && paletteSize == 0) paletteSize = 1u << bits;
  if (bits > 8) paletteSize = 0;
  size_t paletteOffset = headerSize;
  if (paletteSize > 256 || paletteOffset + size_t{paletteSize} * 4 > size) return false;
  if (bitsOffset == 0) bitsOffset = paletteOffset + size_t{paletteSize} * 4;
  size_t stride = ((size_t{static_cast<uint32_t>(width)} * bits + 31) / 32) * 4;
  size_t maskStride = ((size_t{static_cast<uint32_t>(width)} + 31) / 32) * 4;
  size_t needed = bitsOffset + stride * rows + (iconMask ? maskStride * rows : 0);
  if (needed > size) return false;

  out->width = width;
  out->height = rows;
  out->bitsPerPixel = static_cast<int>(bits);
  out->pixels.assign(static_cast<size_t>(width) * rows, 0);
  for (int r = 0; r < rows; ++r) {
    const unsigned char* row = data + bitsOffset + stride * (topDown ? r : rows - 1 - r);
    for (int x = 0; x < width; ++x) {
      uint32_t pixel;
      if (bits >= 24) {
        const unsigned char* p = row + x * (bits / 8);
        pixel = (uint32_t{p[2]} << 16) | (p[1] << 8) | p[0];
      } else {
        uint32_t index = (row[x * bits / 8] >> (8 - bits - (x * bits) % 8)) & ((1u << bits) - 1);
        if (index >= paletteSize) index = 0;
        const unsigned char* p = data + paletteOffset + index * 4;
        pixel = (uint32_t{p[2]} << 16) | (p[1] << 8) | p[0];
      }
      if (iconMask) {
        const unsigned char* mask =
            data + bitsOffset + stride * rows + maskStride * (topDown ? r : rows - 1 - r);
        bool clear = (mask[x / 8] >> (7 - x % 8)) & 1;
        pixel |= clear ? 0u : 0xFF000000u;
      }
      out->pixels[static_cast<size_t>(r) * width + x] = pixel;
    }
  }
  return true;
}

}  // namespace

const EmbeddedResource* FindEmbeddedResource(std::u16string_view name, const char* type) {
  std::string key = ToUtf8(name);
  for (size_t i = 0; i < kEmbeddedResourceCount; ++i) {
    const EmbeddedResource& r = kEmbeddedResources[i];
    if (key == r.name && std::strcmp(type, r.type) == 0) return &r;
  }
  return nullptr;
}

bool DecodeBmp(const unsigned char* data, size_t size, BitmapData* out) {
  if (!data || size < 14 + 40 || data[0] != 'B' || data[1] != 'M') return false;
  size_t bitsOffset = U32(data + 10);
  if (bitsOffset < 14 || bitsOffset >= size) return false;
  return DecodeDib(data + 14, size - 14, bitsOffset - 14, false, out);
}

bool DecodeIco(const unsigned char* data, size_t size, BitmapData* out) {
  if (!data || size < 6 || U16(data) != 0 || U16(data + 2) != 1) return false;
  uint32_t count = U16(data + 4);
  if (6 + size_t{count} * 16 > size) return false;
  int best = -1, bestWidth = 0;
  for (uint32_t i = 0; i < count; ++i) {
    int width = data[6 + i * 16] ? data[6 + i * 16] : 256;
    if (width > bestWidth) best = static_cast<int>(i), bestWidth = width;
  }
  if (best < 0) return false;
  const unsigned char* entry = data + 6 + best * 16;
  uint32_t length = U32(entry + 8), offset = U32(entry + 12);
  if (offset >= size || length > size - offset) return false;
  return DecodeDib(data + offset, length, 0, true, out);
}

}  // namespace plat
