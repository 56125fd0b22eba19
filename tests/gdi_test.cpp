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
    white = CreateSolidBrush(RGB(255, 255, 255));
    RECT all{0, 0, 240, 320};
    FillRect(dc, &all, white);
  }
  void TearDown() override {
    ReleaseDC(nullptr, dc);
    Headless::TearDown();
  }

  // The row of pixels as '#' for black and '.' for anything else.
  static std::string Row(int y, int from, int to) {
    std::string out;
    for (int x = from; x < to; ++x) out += ScreenPixel(x, y) == RGB(0, 0, 0) ? '#' : '.';
    return out;
  }

  HDC dc = nullptr;
  HBRUSH black = nullptr, white = nullptr;
};

// FillRect's edges are pinned by every painter's test; PatBlt's only here.
TEST_F(Drawing, APatternFillsUpToItsRightAndBottomEdges) {
  SelectObject(dc, black);
  PatBlt(dc, 10, 10, 3, 1, PATCOPY);
  EXPECT_EQ(Row(10, 9, 14), ".###.");
  EXPECT_EQ(Row(11, 9, 14), ".....");
}

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

TEST_F(Drawing, CopiesWithinOneContextAreOverlapSafeBothWays) {
  for (int x = 0; x < 12; x += 2) {
    RECT rc{x, 0, x + 1, 1};
    FillRect(dc, &rc, black);
  }
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
  DeleteObject(reused);
}

TEST_F(Drawing, DamagedBitmapsAreRefusedAtEveryLength) {
  // A valid 2 x 2 8-bit bitmap with a two-colour palette.
  std::vector<unsigned char> bmp(14 + 40 + 8 + 8, 0);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bmp[at + i] = static_cast<unsigned char>(v >> (8 * i));
  };
  bmp[0] = 'B', bmp[1] = 'M';
  put32(2, bmp.size());
  put32(10, 14 + 40 + 8);
  put32(14, 40);
  put32(18, 2);
  put32(22, 2);
  bmp[26] = 1, bmp[28] = 8;
  put32(46, 2);
  bmp[54 + 4 + 0] = 255;  // palette entry 1 is blue
  bmp[62] = 1;            // bottom row: blue, black
  plat::BitmapData out;
  ASSERT_TRUE(plat::DecodeBmp(bmp.data(), bmp.size(), &out));
  EXPECT_EQ(out.pixels[2], 0x0000FFu) << "rows are stored bottom-up";
  for (size_t n = 0; n < bmp.size(); ++n) {
    EXPECT_FALSE(plat::DecodeBmp(bmp.data(), n, &out)) << n;
  }
  put32(46, 100000);  // a palette larger than the file
  EXPECT_FALSE(plat::DecodeBmp(bmp.data(), bmp.size(), &out));
  EXPECT_EQ(LoadBitmapW(nullptr, u"NO_SUCH_BITMAP"), nullptr);
}

}  // namespace
