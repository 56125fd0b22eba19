// The choice of display, and what tests and tools read of the screen.
#include "platform/test_hooks.h"

#include <cstdio>

#include "platform/internal.h"
#include "platform/window_table.h"

namespace plat {
namespace {

DisplayKind selected = DisplayKind::Window;
// Never destroyed at exit: when the display server has gone away, the exit
// that Xlib itself makes must not call into it again (that hangs the process).
DisplayBackend* backend = nullptr;

void DropBackend() {
  delete backend;
  backend = nullptr;
}

}  // namespace

DisplayBackend& Backend() {
  if (!backend) {
    backend =
        (selected == DisplayKind::Window ? MakeSdlBackend() : MakeHeadlessBackend()).release();
  }
  return *backend;
}

}  // namespace plat

using namespace plat;

bool SelectDisplay(DisplayKind kind) {
  if (!backend || kind != selected) {
    selected = kind;
    DropBackend();
  }
  return Backend().CanShowWindows();
}

int PresentCount() {
  return TheScreen().presents;
}

COLORREF ScreenPixel(int x, int y) {
  if (x < 0 || y < 0 || x >= kScreenWidth || y >= kScreenHeight) return 0xFFFFFFFF;
  return ToColor(TheScreen().pixels[y * kScreenWidth + x]);
}

bool SaveScreenBitmap(const char* path) {
  FILE* f = std::fopen(path, "wb");
  if (!f) return false;
  const int rowBytes = kScreenWidth * 3;  // a multiple of 4 already
  const uint32_t imageBytes = rowBytes * kScreenHeight;
  unsigned char header[54] = {'B', 'M'};
  auto put32 = [&](int at, uint32_t v) {
    for (int i = 0; i < 4; ++i) header[at + i] = static_cast<unsigned char>(v >> (8 * i));
  };
  put32(2, 54 + imageBytes);
  put32(10, 54);
  put32(14, 40);
  put32(18, kScreenWidth);
  put32(22, kScreenHeight);
  header[26] = 1;
  header[28] = 24;
  put32(34, imageBytes);
  bool ok = std::fwrite(header, 1, sizeof header, f) == sizeof header;
  unsigned char row[rowBytes];
  for (int y = kScreenHeight - 1; y >= 0 && ok; --y) {
    for (int x = 0; x < kScreenWidth; ++x) {
      uint32_t p = TheScreen().pixels[y * kScreenWidth + x];
      row[x * 3] = static_cast<unsigned char>(p);
      row[x * 3 + 1] = static_cast<unsigned char>(p >> 8);
      row[x * 3 + 2] = static_cast<unsigned char>(p >> 16);
    }
    ok = std::fwrite(row, 1, rowBytes, f) == static_cast<size_t>(rowBytes);
  }
  return std::fclose(f) == 0 && ok;
}

void ResetPlatformForTests() {
  ResetInstanceForTests();
  ResetWindowsForTests();
  ResetMessagesForTests();
  ResetGdiForTests();
  ResetTextForTests();
  DropBackend();
}
