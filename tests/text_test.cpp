// Fonts, text measures and drawn text on the headless screen, in the player's own font.
#include "platform/text.h"
#include "platform/gdi.h"
#include "platform/internal.h"
#include "tests/headless.h"

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kCellColour = RGB(105, 223, 227);

const std::u16string kTolo = plat::RealPathToDevice(VESK_BINARY_DIR "/Tolo.ttf");

HFONT MakeFont(const char16_t* face, LONG height) {
  LOGFONTW lf{};
  lf.lfHeight = height;
  for (int i = 0; face[i] && i < LF_FACESIZE - 1; ++i) lf.lfFaceName[i] = face[i];
  return CreateFontIndirectW(&lf);
}

// Pixels of the screen that are not the given colour, as a box (empty if none).
RECT BoxNotOf(COLORREF colour, RECT area = {0, 0, 240, 320}) {
  RECT box{0, 0, 0, 0};
  for (int y = area.top; y < area.bottom; ++y) {
    for (int x = area.left; x < area.right; ++x) {
      RECT px{x, y, x + 1, y + 1};
      if (ScreenPixel(x, y) != colour) UnionRect(&box, &box, &px);
    }
  }
  return box;
}

class Text : public Headless {
 protected:
  void SetUp() override {
    Headless::SetUp();
    ASSERT_EQ(AddFontResourceW(kTolo.c_str()), 1);
    dc = GetDC(nullptr);
    large = MakeFont(u"Tolo", 15);
    SelectObject(dc, large);
    Clear();
  }

  void Clear() {
    RECT all{0, 0, 240, 320};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  }
  std::u16string Face() {
    WCHAR name[LF_FACESIZE] = {};
    GetTextFaceW(dc, LF_FACESIZE, name);
    return name;
  }
  SIZE Extent(std::u16string_view text) {
    SIZE size{-1, -1};
    EXPECT_TRUE(GetTextExtentExPointW(dc, text.data(), static_cast<int>(text.size()), 0, nullptr,
                                      nullptr, &size));
    return size;
  }
  // Draws on the screen, or on a window through a context of its own.
  RECT DrawCell(const char16_t* text, RECT rc, UINT flags, int length = -1, HWND window = nullptr) {
    Clear();
    HDC target = window ? GetDC(window) : dc;
    SelectObject(target, large);
    SetBkColor(target, kCellColour);
    DrawTextW(target, text, length, &rc, flags);
    if (window) ReleaseDC(window, target);
    return BoxNotOf(kWhite);
  }

  HDC dc = nullptr;
  HFONT large = nullptr;
};

TEST_F(Text, AFileCountsItsAdditionsAndOnlyFontFilesAreAdded) {
  const std::u16string dir = plat::RealPathToDevice(VESK_BINARY_DIR);
  for (const std::u16string& notFont :
       {dir + u"\\no-such-font.ttf", dir, dir + u"\\CMakeCache.txt", std::u16string()})
    EXPECT_EQ(AddFontResourceW(notFont.c_str()), 0) << plat::ToUtf8(notFont);
  EXPECT_EQ(AddFontResourceW(nullptr), 0);
  EXPECT_FALSE(RemoveFontResourceW((dir + u"\\no-such-font.ttf").c_str()));

  EXPECT_EQ(AddFontResourceW(kTolo.c_str()), 1);  // twice now: two removals succeed
  for (int removal = 0; removal < 3; ++removal) {
    EXPECT_EQ(RemoveFontResourceW(kTolo.c_str()), removal < 2);
    SelectObject(dc, MakeFont(u"Tolo", 15));
    EXPECT_EQ(Face() == u"Tolo", removal == 0);
    EXPECT_EQ(Extent(u"Hello World").cy, 15) << "a substitute of the same cell";
  }
  SelectObject(dc, large);
  EXPECT_EQ(Face(), u"Tolo") << "a font made before the removal keeps its face";
  EXPECT_EQ(AddFontResourceW(kTolo.c_str()), 1) << "and can be added again";
}

TEST_F(Text, TheCellIsTheRequestedHeightAndWidthsAndFitsAddUpByCharacter) {
  for (auto [height, cell] : {std::pair{15, 15}, {12, 12}, {0, 12}, {-13, 15}}) {
    SelectObject(dc, MakeFont(u"Tolo", height));
    EXPECT_EQ(Extent(u"Hello World").cy, cell) << height << ": a negative height is the em";
  }
  SelectObject(dc, large);
  std::u16string text = u"AV Sigur R\u00f3s \u2013 Hopp\u00edpolla";  // no kerning of "AV"
  int sum = 0;
  for (char16_t c : text) sum += Extent(std::u16string(1, c)).cx;
  EXPECT_EQ(Extent(text).cx, sum);
  EXPECT_EQ(Extent(u"a\tb").cx, Extent(u"ab").cx) << "a tab has no width";

  // What fits is counted in whole characters: a pair of UTF-16 units is never split.
  const char16_t pairs[] = {u'a', 0xD83D, 0xDE00, u'b'};
  const int a = Extent(u"a").cx, pair = Extent(std::u16string_view(pairs, 3)).cx;
  for (auto [max, fits] : {std::pair{a, 1}, {a - 1, 0}, {pair - 1, 1}, {pair, 3}}) {
    int fit = -1;
    ASSERT_TRUE(GetTextExtentExPointW(dc, pairs, 4, max, &fit, nullptr, nullptr));
    EXPECT_EQ(fit, fits) << max;
  }
}

// Text redrawn in place (the play view's times) leaves no trace only if all ink is in the cell.
TEST_F(Text, TheOpaqueCellIsPlacedByTheFlagsAndHoldsAllTheInk) {
  const int menu = Extent(u"Menu").cx;
  const std::tuple<const char16_t*, UINT, RECT> cases[] = {
      {u"Menu", DT_LEFT | DT_TOP, {10, 20, 10 + menu, 35}},
      {u"Menu", DT_RIGHT | DT_BOTTOM, {200 - menu, 45, 200, 60}},
      {u"Menu", DT_CENTER | DT_VCENTER, {105 - menu / 2, 32, 105 - menu / 2 + menu, 47}},
      {u"\u6771\u4eac", 0, {10, 20, 10 + Extent(u"\u6771\u4eac").cx, 35}},
  };
  for (const auto& [text, flags, expected] : cases) {
    RECT cell = DrawCell(text, {10, 20, 200, 60}, flags);
    SCOPED_TRACE(plat::ToUtf8(text) + " flags " + std::to_string(flags));
    EXPECT_EQ(std::tie(cell.left, cell.top, cell.right, cell.bottom),
              std::tie(expected.left, expected.top, expected.right, expected.bottom));
  }
  EXPECT_EQ(DrawCell(u"abcdef", {0, 0, 200, 15}, 0, 3).right, Extent(u"abc").cx)
      << "a length shorter than the text";
  RECT box = DrawCell(u"A long title that does not fit", {20, 20, 60, 30}, DT_VCENTER);
  EXPECT_TRUE(box.left >= 20 && box.top >= 20 && box.right <= 60 && box.bottom <= 30)
      << "nothing outside the rectangle";
}

TEST_F(Text, NothingIsDrawnOutsideTheWindowOrOnItsChildren) {
  HWND main = PlainWindow();
  HWND pane = PlainWindow(main, {40, 50, 100, 70});
  PumpMessages();
  const char16_t* wide = u"Wider than the pane, wider still and wider";
  RECT all = DrawCell(wide, {-30, 0, 240, 20}, 0, -1, pane);
  EXPECT_TRUE(all.left == 40 && all.top >= 50 && all.right <= 100 && all.bottom <= 70)
      << "only on the pane";
  all = DrawCell(wide, {-30, 50, 240, 70}, 0, -1, main);
  RECT onPane = BoxNotOf(kWhite, {40, 50, 100, 70});
  EXPECT_TRUE(IsRectEmpty(&onPane)) << "the child's pixels belong to the child";
  EXPECT_FALSE(IsRectEmpty(&all));
}

TEST_F(Text, OddTextIsDrawnSafelyAndMarksTheScreenForPresenting) {
  RECT rc{0, 0, 240, 20};
  EXPECT_EQ(DrawTextW(dc, u"", -1, &rc, DT_CENTER), 15);
  RECT drawn = BoxNotOf(kWhite);
  EXPECT_TRUE(IsRectEmpty(&drawn)) << "an empty text fills no cell";
  const char16_t lone[] = {0xDFFF, u'x', 0xD800, 0}, cut[] = {u'a', 0xD83D, 0xDE00, 0};
  EXPECT_EQ(DrawTextW(dc, lone, -1, &rc, 0), 15);
  EXPECT_EQ(DrawTextW(dc, u"\U0001F3B5 \U0001F600 \u4E2D\u6587", -1, &rc, DT_CENTER), 15);
  EXPECT_EQ(DrawTextW(dc, std::u16string(255, u'W').c_str(), -1, &rc, DT_RIGHT), 15);
  EXPECT_EQ(DrawTextW(dc, cut, 2, &rc, 0), 15) << "a count that ends inside a pair";
  EXPECT_EQ(DrawTextW(dc, nullptr, -1, &rc, 0), 15);
  RECT huge{-2000000000, -2000000000, 2000000000, 2000000000};
  EXPECT_EQ(DrawTextW(dc, u"far", -1, &huge, DT_CENTER | DT_VCENTER), 15);
  EXPECT_EQ(DrawTextW(dc, u"x", -1, nullptr, 0), 0);
  EXPECT_EQ(DrawTextW(nullptr, u"x", -1, &rc, 0), 0);

  GdiFlush();
  int before = PresentCount();
  DrawTextW(dc, u"x", -1, &rc, 0);
  GdiFlush();
  EXPECT_EQ(PresentCount(), before + 1);
}

// U+0378 is unassigned: no face has it, so it is drawn as a box, as all Tolo lacked once was.
constexpr const char16_t* kBoxes = u"\u0378\u0378";

TEST_F(Text, TransparentTextOfEveryScriptIsInkOnlyInsideItsCellAndAsWideAsMeasured) {
  SetBkMode(dc, TRANSPARENT);
  auto draw = [&](const char16_t* text) {
    DrawCell(text, {0, 0, 200, 15}, 0);
    return ScreenPixels({0, 0, 60, 20});
  };
  const std::vector<COLORREF> boxes = draw(kBoxes);
  for (const char16_t* text : {u"\u6771\u4EAC", u"\u03A9\u044F"}) {
    SCOPED_TRACE(plat::ToUtf8(text));
    EXPECT_TRUE(draw(text) != boxes) << "boxes";
    RECT ink = BoxNotOf(kWhite);
    EXPECT_LE(ink.bottom, 15) << "the row's cell holds the glyphs";
    EXPECT_GE(ink.bottom - ink.top, 9) << "drawn at the font's size";
    int width = Extent(text).cx;
    EXPECT_LE(ink.right, width + 1);
    EXPECT_GE(ink.right, width - 3) << "the next character goes where the measure says";
  }
  draw(u"a b");
  const int a = Extent(u"a").cx, space = Extent(u" ").cx;
  RECT inSpace = BoxNotOf(kWhite, {a + 1, 0, a + space - 1, 15});
  EXPECT_TRUE(IsRectEmpty(&inSpace)) << "transparent: the space keeps the white that was there";
}

TEST_F(Text, OnlyCharactersTheFontLacksAreSearchedForEachOnce) {
  const int before = FontFallbackSearches();
  // Tolo has the first text, one face the second, none the boxes (and that is remembered).
  const char16_t* inTolo =
      u"Sigur R\u00F3s \u03A9\u03BC\u03AD\u03B3\u03B1 \u041C\u043E\u0441\u043A\u0432\u0430";
  for (auto [text, searches] :
       {std::pair{inTolo, 0}, {u"\u6771\u4EAC\u30BF\u30EF\u30FC", 1}, {kBoxes, 2}, {kBoxes, 2}}) {
    RECT rc{0, 0, 240, 15};
    DrawTextW(dc, text, -1, &rc, 0);
    EXPECT_EQ(FontFallbackSearches(), before + searches) << plat::ToUtf8(text);
  }
}

}  // namespace
