#include <vector>

#include "platform/gdi.h"
#include "platform/internal.h"
#include "tests/headless.h"

namespace {

class Drawing : public Headless {
 protected:
  void SetUp() override {
    Headless::SetUp();
    dc = GetDC(nullptr);
    black = CreateSolidBrush(RGB(0, 0, 0));
    RECT all{0, 0, 240, 320};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  }

  static std::string Row(int y, int from, int to) {
    std::string out;
    for (int x = from; x < to; ++x) out += ScreenPixel(x, y) == RGB(0, 0, 0) ? '#' : '.';
    return out;
  }

  HDC dc = nullptr;
  HBRUSH black = nullptr;
};

TEST_F(Drawing, APolylineLeavesItsLastPointButAClosedOneIsWhole) {
  POINT open[] = {{1, 1}, {5, 1}};
  Polyline(dc, open, 2);
  EXPECT_EQ(Row(1, 0, 7), ".####..");
  POINT box[] = {{10, 10}, {14, 10}, {14, 12}, {10, 12}, {10, 10}};
  Polyline(dc, box, 5);
  EXPECT_EQ(Row(10, 9, 16), ".#####.");
  EXPECT_EQ(Row(11, 9, 16), ".#...#.");
  EXPECT_EQ(Row(12, 9, 16), ".#####.");
}

// FillRect's edges are pinned by every painter's test; PatBlt's only here.
TEST_F(Drawing, APatternFillsUpToItsEdgesAndCopiesAreOverlapSafeBothWays) {
  SelectObject(dc, black);
  PatBlt(dc, 10, 10, 3, 1, PATCOPY);
  EXPECT_EQ(Row(10, 9, 14), ".###.");
  EXPECT_EQ(Row(11, 9, 14), ".....");
  for (int x = 0; x < 12; x += 2) PatBlt(dc, x, 0, 1, 1, PATCOPY);
  std::string before = Row(0, 0, 12);
  BitBlt(dc, 4, 0, 8, 1, dc, 0, 0, SRCCOPY);  // to the right
  EXPECT_EQ(Row(0, 4, 12), before.substr(0, 8));
  BitBlt(dc, 0, 0, 8, 1, dc, 4, 0, SRCCOPY);  // and back to the left
  EXPECT_EQ(Row(0, 0, 8), before.substr(0, 8));
}

TEST_F(Drawing, ObjectsInUseAndDeletedHandlesAreRefused) {
  HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
  HGDIOBJ old = SelectObject(dc, brush);
  EXPECT_FALSE(DeleteObject(brush)) << "still selected";
  SelectObject(dc, old);
  EXPECT_TRUE(DeleteObject(brush));
  EXPECT_FALSE(DeleteObject(brush));
  HBRUSH reused = CreateSolidBrush(RGB(4, 5, 6));
  EXPECT_NE(reused, brush) << "a reused slot gets a new handle";
  EXPECT_EQ(SelectObject(dc, brush), nullptr);
  EXPECT_EQ(FillRect(reinterpret_cast<HDC>(uintptr_t{12345}), nullptr, black), 0);
}

TEST_F(Drawing, DamagedBitmapsAreRefusedAtEveryLength) {
  // A valid 2 x 2 8-bit bitmap; palette entry 1 is blue; the bottom row (first) blue, black.
  std::vector<unsigned char> bmp = {
      'B', 'M', 70, 0, 0,   0, 0, 0, 0, 0, 62, 0, 0, 0,                    // file header
      40,  0,   0,  0, 2,   0, 0, 0, 2, 0, 0,  0, 1, 0, 8, 0, 0, 0, 0, 0,  // size, planes, bits
      0,   0,   0,  0, 0,   0, 0, 0, 0, 0, 0,  0, 2, 0, 0, 0, 0, 0, 0, 0,  // two colours
      0,   0,   0,  0, 255, 0, 0, 0, 1, 0, 0,  0, 0, 0, 0, 0};             // palette, rows
  plat::BitmapData out;
  ASSERT_TRUE(plat::DecodeBmp(bmp.data(), bmp.size(), &out));
  EXPECT_EQ(out.pixels[2], 0x0000FFu) << "rows are stored bottom-up";
  for (size_t n = 0; n < bmp.size(); ++n) EXPECT_FALSE(plat::DecodeBmp(bmp.data(), n, &out)) << n;
  bmp[48] = 1;  // a palette of 65538 colours, larger than the file
  EXPECT_FALSE(plat::DecodeBmp(bmp.data(), bmp.size(), &out));
  EXPECT_EQ(LoadBitmapW(nullptr, u"NO_SUCH_BITMAP"), nullptr);
}

}  // namespace
