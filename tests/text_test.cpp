#include <algorithm>
#include <string>
#include <vector>

#include "platform/gdi.h"
#include "platform/text.h"
#include "tests/headless.h"

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kCellColour = RGB(105, 223, 227);

// The program's font file, as the player names it: a backslash path.
std::u16string ToloPath() {
  std::u16string path;
  for (char c : std::string(VESK_BINARY_DIR) + "/Tolo.ttf") path += c == '/' ? u'\\' : char16_t(c);
  return path;
}

HFONT MakeFont(const char16_t* face, LONG height, LONG weight = FW_NORMAL) {
  LOGFONTW lf{};
  lf.lfHeight = height;
  lf.lfWeight = weight;
  lf.lfCharSet = DEFAULT_CHARSET;
  for (int i = 0; face[i] && i < LF_FACESIZE - 1; ++i) lf.lfFaceName[i] = face[i];
  return CreateFontIndirectW(&lf);
}

// Pixels of the screen that are not the given colour, as a box (empty if none).
RECT BoxNotOf(COLORREF colour, RECT area = {0, 0, 240, 320}) {
  RECT box{0, 0, 0, 0};
  for (int y = area.top; y < area.bottom; ++y) {
    for (int x = area.left; x < area.right; ++x) {
      if (ScreenPixel(x, y) == colour) continue;
      RECT px{x, y, x + 1, y + 1};
      UnionRect(&box, &box, &px);
    }
  }
  return box;
}

class Text : public Headless {
 protected:
  void SetUp() override {
    Headless::SetUp();
    ASSERT_EQ(AddFontResourceW(ToloPath().c_str()), 1);
    dc = GetDC(nullptr);
    large = MakeFont(u"Tolo", 15);
    small = MakeFont(u"Tolo", 12);
    SelectObject(dc, large);
    Clear();
  }
  void TearDown() override {
    ReleaseDC(nullptr, dc);
    RemoveFontResourceW(ToloPath().c_str());
    Headless::TearDown();
  }

  void Clear() {
    HBRUSH white = CreateSolidBrush(kWhite);
    RECT all{0, 0, 240, 320};
    FillRect(dc, &all, white);
    DeleteObject(white);
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
  // Draws with an opaque cell of kCellColour and returns the cell's box.
  RECT DrawCell(const char16_t* text, RECT rc, UINT flags) {
    SetBkColor(dc, kCellColour);
    DrawTextW(dc, text, -1, &rc, flags);
    return BoxNotOf(kWhite);
  }

  HDC dc = nullptr;
  HFONT large = nullptr, small = nullptr;
};

// ---- Finding faces -----------------------------------------------------------

using FontLookup = Text;

TEST_F(FontLookup, TheRegisteredFileIsFoundByItsFamilyAndForgottenAfterRemoval) {
  EXPECT_EQ(Face(), u"Tolo");
  ASSERT_TRUE(RemoveFontResourceW(ToloPath().c_str()));
  HFONT after = MakeFont(u"Tolo", 15);
  SelectObject(dc, after);
  EXPECT_NE(Face(), u"Tolo");
  EXPECT_GT(Extent(u"Menu").cx, 0) << "the substitute still measures";
  SelectObject(dc, large);
  EXPECT_EQ(Face(), u"Tolo") << "a font made before the removal keeps its face";
  EXPECT_GT(Extent(u"Menu").cx, 0);
  EXPECT_FALSE(RemoveFontResourceW(ToloPath().c_str())) << "already removed";
  EXPECT_EQ(AddFontResourceW(ToloPath().c_str()), 1) << "and can be added again";
}

TEST_F(FontLookup, AFileAddedTwiceStaysUntilRemovedTwice) {
  EXPECT_EQ(AddFontResourceW(ToloPath().c_str()), 1);
  EXPECT_TRUE(RemoveFontResourceW(ToloPath().c_str()));
  SelectObject(dc, MakeFont(u"Tolo", 15));
  EXPECT_EQ(Face(), u"Tolo");
  EXPECT_TRUE(RemoveFontResourceW(ToloPath().c_str()));
  SelectObject(dc, MakeFont(u"Tolo", 15));
  EXPECT_NE(Face(), u"Tolo");
}

TEST_F(FontLookup, AMissingFaceFallsBackToASubstituteOfTheSameCell) {
  SelectObject(dc, MakeFont(u"No Such Face Anywhere", 15));
  EXPECT_FALSE(Face().empty());
  EXPECT_NE(Face(), u"No Such Face Anywhere");
  SIZE size = Extent(u"Hello World");
  EXPECT_EQ(size.cy, 15);
  EXPECT_GT(size.cx, 30);
}

TEST_F(FontLookup, FilesThatAreNotFontsAddNothing) {
  std::u16string dir;
  for (char c : std::string(VESK_BINARY_DIR)) dir += c == '/' ? u'\\' : char16_t(c);
  EXPECT_EQ(AddFontResourceW((dir + u"\\no-such-font.ttf").c_str()), 0);
  EXPECT_EQ(AddFontResourceW(dir.c_str()), 0) << "a folder is not a font file";
  EXPECT_EQ(AddFontResourceW((dir + u"\\CMakeCache.txt").c_str()), 0);
  EXPECT_EQ(AddFontResourceW(u""), 0);
  EXPECT_EQ(AddFontResourceW(nullptr), 0);
  EXPECT_FALSE(RemoveFontResourceW((dir + u"\\no-such-font.ttf").c_str()));
  SelectObject(dc, MakeFont(u"Tolo", 15));
  EXPECT_EQ(Face(), u"Tolo") << "the failures left the registration alone";
}

TEST_F(FontLookup, AContextWithoutAFontUsesTheDefaultFont) {
  HDC fresh = GetDC(nullptr);
  SIZE size{};
  ASSERT_TRUE(GetTextExtentExPointW(fresh, u"abc", 3, 0, nullptr, nullptr, &size));
  EXPECT_EQ(size.cy, 13);
  EXPECT_GT(size.cx, 0);
  WCHAR name[LF_FACESIZE] = {};
  EXPECT_GT(GetTextFaceW(fresh, LF_FACESIZE, name), 1);
  ReleaseDC(nullptr, fresh);
}

// ---- Measuring -----------------------------------------------------------------

using TextMeasure = Text;

TEST_F(TextMeasure, TheCellIsTheRequestedHeightAndTheWidthIsPlausible) {
  SIZE size = Extent(u"Hello World");
  EXPECT_EQ(size.cy, 15);
  EXPECT_GT(size.cx, 40);
  EXPECT_LT(size.cx, 100);
  SelectObject(dc, small);
  EXPECT_EQ(Extent(u"Hello World").cy, 12);
  EXPECT_LT(Extent(u"Hello World").cx, size.cx);
  SelectObject(dc, MakeFont(u"Tolo", -13));
  EXPECT_GT(Extent(u"Hello World").cy, 13) << "a negative height is the em, smaller than the cell";
  SelectObject(dc, MakeFont(u"Tolo", 0));
  EXPECT_EQ(Extent(u"Hello World").cy, 12);
}

TEST_F(TextMeasure, WidthsAreSumsOfTheCharactersWidths) {
  EXPECT_EQ(Extent(u"ab").cx, Extent(u"a").cx + Extent(u"b").cx);
  EXPECT_EQ(Extent(u"AV").cx, Extent(u"A").cx + Extent(u"V").cx) << "no kerning";
  std::u16string text = u"Sigur R\u00f3s \u2013 Hopp\u00edpolla";
  int sum = 0;
  for (char16_t c : text) sum += Extent(std::u16string(1, c)).cx;
  EXPECT_EQ(Extent(text).cx, sum);
  EXPECT_EQ(Extent(u"").cx, 0);
  EXPECT_EQ(Extent(u"").cy, 15);
  EXPECT_EQ(Extent(u"a\tb").cx, Extent(u"ab").cx) << "a tab has no width";
}

TEST_F(TextMeasure, FitAndPartialExtentsFollowTheMaximum) {
  const char16_t* text = u"Playlists";
  int dx[9] = {};
  int fit = -1;
  SIZE size{};
  ASSERT_TRUE(GetTextExtentExPointW(dc, text, 9, 10000, &fit, dx, &size));
  EXPECT_EQ(fit, 9);
  EXPECT_EQ(dx[8], size.cx);
  for (int i = 1; i < 9; ++i) EXPECT_GT(dx[i], dx[i - 1]);
  ASSERT_TRUE(GetTextExtentExPointW(dc, text, 9, dx[3], &fit, nullptr, &size));
  EXPECT_EQ(fit, 4) << "exactly the extent of four characters fits";
  ASSERT_TRUE(GetTextExtentExPointW(dc, text, 9, dx[3] - 1, &fit, nullptr, &size));
  EXPECT_EQ(fit, 3);
  ASSERT_TRUE(GetTextExtentExPointW(dc, text, 9, 0, &fit, nullptr, &size));
  EXPECT_EQ(fit, 0);
}

TEST_F(TextMeasure, ASurrogatePairIsOneCharacterAndLoneHalvesAreSafe) {
  const char16_t pair[] = {u'a', 0xD83D, 0xDE00, u'b'};
  int dx[4] = {};
  int fit = -1;
  SIZE size{};
  ASSERT_TRUE(GetTextExtentExPointW(dc, pair, 4, 10000, &fit, dx, &size));
  EXPECT_EQ(dx[1], dx[2]) << "both halves end where the pair's glyph ends";
  EXPECT_GT(dx[1], dx[0]);
  ASSERT_TRUE(GetTextExtentExPointW(dc, pair, 4, dx[1] - 1, &fit, nullptr, &size));
  EXPECT_EQ(fit, 1) << "a pair is never split";
  const char16_t lone[] = {0xDC00, u'x', 0xD800};
  ASSERT_TRUE(GetTextExtentExPointW(dc, lone, 3, 0, nullptr, nullptr, &size));
  EXPECT_GT(size.cx, Extent(u"x").cx) << "lone halves measure as .notdef";
  ASSERT_TRUE(GetTextExtentExPointW(dc, pair, 2, 0, nullptr, nullptr, &size))
      << "a count that ends inside a pair";
}

// ---- Drawing -------------------------------------------------------------------

using TextDrawing = Text;

TEST_F(TextDrawing, TheOpaqueCellIsAlignedInTheRectangle) {
  int width = Extent(u"Menu").cx;
  RECT left = DrawCell(u"Menu", {10, 20, 200, 60}, DT_LEFT | DT_TOP);
  EXPECT_EQ(left.left, 10);
  EXPECT_EQ(left.top, 20);
  EXPECT_EQ(left.right, 10 + width);
  EXPECT_EQ(left.bottom, 35);
  Clear();
  RECT right = DrawCell(u"Menu", {10, 20, 200, 60}, DT_RIGHT | DT_BOTTOM);
  EXPECT_EQ(right.right, 200);
  EXPECT_EQ(right.bottom, 60);
  EXPECT_EQ(right.top, 45);
  Clear();
  RECT centre = DrawCell(u"Menu", {10, 20, 200, 60}, DT_CENTER | DT_VCENTER);
  EXPECT_LE(std::abs((centre.left + centre.right) - 210), 1);
  EXPECT_EQ(centre.top, 20 + (40 - 15) / 2);
}

// Text redrawn in place (the play view's times) leaves nothing of the old
// text behind only when no ink falls outside the opaque cell.
TEST_F(TextDrawing, OpaqueTextKeepsItsInkInsideTheCell) {
  for (std::u16string text : {u"0:04", u"-3:59", u"fj", u"Wy7", u"\u6771\u4eac"}) {
    Clear();
    RECT cell = DrawCell(text.c_str(), {10, 20, 200, 60}, DT_LEFT | DT_TOP);
    EXPECT_EQ(cell.left, 10) << text.size();
    EXPECT_EQ(cell.right, 10 + Extent(text).cx) << text.size();
  }
}

TEST_F(TextDrawing, CentredInkIsCentred) {
  SetBkMode(dc, TRANSPARENT);
  RECT rc{0, 0, 160, 20};
  DrawTextW(dc, u"HOME", -1, &rc, DT_CENTER | DT_VCENTER);
  RECT ink = BoxNotOf(kWhite);
  ASSERT_FALSE(IsRectEmpty(&ink));
  EXPECT_LE(std::abs(ink.left - (160 - ink.right)), 2);
  EXPECT_LE(std::abs(ink.top - (20 - ink.bottom)), 3);
}

TEST_F(TextDrawing, InkIsInTheTextColourAndStaysInsideTheCell) {
  SetTextColor(dc, RGB(200, 0, 0));
  RECT cell = DrawCell(u"Il", {0, 0, 100, 15}, 0);
  int reddest = 0;
  for (int y = 0; y < 15; ++y) {
    for (int x = 0; x < 100; ++x) {
      COLORREF c = ScreenPixel(x, y);
      if (GetGValue(c) < 40 && GetBValue(c) < 40) reddest = std::max<int>(reddest, GetRValue(c));
    }
  }
  EXPECT_GT(reddest, 180) << "the stems are (nearly) fully covered in the text colour";
  EXPECT_EQ(cell.top, 0);
  EXPECT_EQ(cell.bottom, 15);
}

TEST_F(TextDrawing, TransparentModeLeavesTheBackgroundAlone) {
  SetBkMode(dc, TRANSPARENT);
  RECT cell = DrawCell(u"a b", {0, 0, 100, 30}, 0);
  // The space between the letters keeps the white that was there.
  int aWidth = Extent(u"a").cx, spaceWidth = Extent(u" ").cx;
  for (int y = 0; y < 15; ++y)
    for (int x = aWidth + 1; x < aWidth + spaceWidth - 1; ++x) EXPECT_EQ(ScreenPixel(x, y), kWhite);
  EXPECT_LT(cell.bottom - cell.top, 15) << "only ink, no cell";
}

TEST_F(TextDrawing, NothingIsDrawnOutsideTheRectangleUnlessNoClip) {
  RECT rc{20, 20, 60, 30};
  RECT box = DrawCell(u"A long title that does not fit", rc, DT_VCENTER);
  EXPECT_GE(box.left, 20);
  EXPECT_GE(box.top, 20);
  EXPECT_LE(box.right, 60);
  EXPECT_LE(box.bottom, 30);
  Clear();
  box = DrawCell(u"A long title that does not fit", rc, DT_VCENTER | DT_NOCLIP);
  EXPECT_GT(box.right, 60);
  EXPECT_LT(box.top, 20);
}

TEST_F(TextDrawing, NothingIsDrawnOutsideTheWindowOrOnItsChildren) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.lpszClassName = u"TextTest";
  ASSERT_NE(RegisterClassW(&wc), 0);
  HWND main = CreateWindowExW(0, u"TextTest", u"", WS_VISIBLE, 0, 0, 240, 320, nullptr, nullptr,
                              nullptr, nullptr);
  HWND pane = CreateWindowExW(0, u"TextTest", u"", WS_CHILD | WS_VISIBLE, 40, 50, 60, 20, main,
                              nullptr, nullptr, nullptr);
  PumpMessages();
  Clear();
  HDC paneDc = GetDC(pane);
  SelectObject(paneDc, large);
  SetBkColor(paneDc, kCellColour);
  RECT wide{-30, -10, 200, 40};
  DrawTextW(paneDc, u"Wider than the pane, wider still", -1, &wide, DT_NOCLIP | DT_VCENTER);
  EXPECT_EQ(BoxNotOf(kWhite).left, 40);
  RECT box = BoxNotOf(kWhite);
  EXPECT_TRUE(box.left >= 40 && box.top >= 50 && box.right <= 100 && box.bottom <= 70);
  ReleaseDC(pane, paneDc);

  Clear();
  HDC mainDc = GetDC(main);
  SelectObject(mainDc, large);
  SetBkColor(mainDc, kCellColour);
  RECT across{0, 50, 240, 70};
  DrawTextW(mainDc, u"Across the child pane, from one side to the other", -1, &across, DT_CENTER);
  EXPECT_TRUE(IsRectEmpty(&(box = BoxNotOf(kWhite, {40, 50, 100, 70}))))
      << "the child's pixels belong to the child";
  EXPECT_FALSE(IsRectEmpty(&(box = BoxNotOf(kWhite, {0, 50, 40, 70}))));
  ReleaseDC(main, mainDc);
}

TEST_F(TextDrawing, TabsAdvanceOnlyWithExpandTabs) {
  RECT plain = DrawCell(u"a\tb", {0, 0, 200, 15}, 0);
  EXPECT_EQ(plain.right, Extent(u"ab").cx);
  Clear();
  RECT expanded = DrawCell(u"a\tb", {0, 0, 200, 15}, DT_EXPANDTABS);
  EXPECT_GT(expanded.right, plain.right + 20) << "to the first tab stop, eight average widths";
}

TEST_F(TextDrawing, ALengthShorterThanTheTextDrawsOnlyThatPart) {
  RECT rc{0, 0, 200, 15};
  DrawTextW(dc, u"abcdef", 3, &rc, 0);
  RECT part = BoxNotOf(kWhite);
  Clear();
  DrawTextW(dc, u"abc", -1, &rc, 0);
  RECT whole = BoxNotOf(kWhite);
  EXPECT_EQ(part.right, whole.right);
  EXPECT_EQ(part.left, whole.left);
}

TEST_F(TextDrawing, OddTextIsDrawnSafely) {
  RECT rc{0, 0, 240, 20};
  EXPECT_EQ(DrawTextW(dc, u"", -1, &rc, DT_CENTER), 15);
  EXPECT_TRUE(IsRectEmpty(&(rc = BoxNotOf(kWhite)))) << "an empty text fills no cell";
  rc = {0, 0, 240, 20};
  const char16_t lone[] = {0xDFFF, u'x', 0xD800, 0};
  EXPECT_EQ(DrawTextW(dc, lone, -1, &rc, 0), 15);
  EXPECT_EQ(DrawTextW(dc, u"\U0001F3B5 \U0001F600 \u4E2D\u6587", -1, &rc, DT_CENTER), 15);
  std::u16string longText(255, u'W');
  EXPECT_EQ(DrawTextW(dc, longText.c_str(), -1, &rc, DT_RIGHT), 15);
  EXPECT_EQ(DrawTextW(dc, longText.c_str(), 255, &rc, DT_CENTER | DT_NOCLIP), 15);
  const char16_t cut[] = {u'a', 0xD83D, 0xDE00, 0};
  EXPECT_EQ(DrawTextW(dc, cut, 2, &rc, 0), 15) << "a count that ends inside a pair";
  RECT huge{-2000000000, -2000000000, 2000000000, 2000000000};
  EXPECT_EQ(DrawTextW(dc, u"far", -1, &huge, DT_CENTER | DT_VCENTER), 15);
  EXPECT_EQ(DrawTextW(dc, nullptr, -1, &rc, 0), 15);
  EXPECT_EQ(DrawTextW(dc, u"x", -1, nullptr, 0), 0);
  EXPECT_EQ(DrawTextW(nullptr, u"x", -1, &rc, 0), 0);
}

// ---- Text in any script -------------------------------------------------------

using TextScripts = Text;

// Two characters no font has (U+0378 is unassigned): two boxes, as every
// character Tolo lacks was drawn before fallback faces.
constexpr const char16_t* kBoxes = u"\u0378\u0378";

TEST_F(TextScripts, EveryScriptIsDrawnNotBoxedInsideItsCellAndAsWideAsMeasured) {
  SetBkMode(dc, TRANSPARENT);
  auto draw = [&](const char16_t* text) {
    Clear();
    RECT rc{0, 0, 200, 15};
    DrawTextW(dc, text, -1, &rc, 0);
    std::vector<COLORREF> pixels;
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 60; ++x) pixels.push_back(ScreenPixel(x, y));
    return pixels;
  };
  const std::vector<COLORREF> boxes = draw(kBoxes);
  for (const char16_t* text : {u"\u6771\u4EAC", u"\u03A9\u044F"}) {
    SCOPED_TRACE(testing::PrintToString(std::u16string(text)));
    EXPECT_TRUE(draw(text) != boxes) << "boxes";
    RECT ink = BoxNotOf(kWhite);
    EXPECT_LE(ink.bottom, 15) << "the row's cell holds the glyphs";
    EXPECT_GE(ink.bottom - ink.top, 9) << "drawn at the font's size";
    int width = Extent(text).cx;
    EXPECT_LE(ink.right, width + 1);
    EXPECT_GE(ink.right, width - 3) << "the next character goes where the measure says";
  }
}

TEST_F(TextScripts, OnlyCharactersTheFontLacksAreSearchedForEachOnce) {
  int searches = FontFallbackSearches();
  RECT rc{0, 0, 240, 15};
  DrawTextW(dc,
            u"Sigur R\u00F3s \u03A9\u03BC\u03AD\u03B3\u03B1 \u041C\u043E\u0441\u043A\u0432\u0430",
            -1, &rc, 0);
  EXPECT_EQ(FontFallbackSearches(), searches) << "Tolo has them all: fontconfig is not started";
  DrawTextW(dc, u"\u6771\u4EAC\u30BF\u30EF\u30FC", -1, &rc, 0);
  EXPECT_EQ(FontFallbackSearches(), searches + 1) << "one face has them all";
  Extent(kBoxes);
  DrawTextW(dc, kBoxes, -1, &rc, 0);
  EXPECT_EQ(FontFallbackSearches(), searches + 2) << "no face has it, and that is kept";
}

TEST_F(TextDrawing, DrawingMarksTheScreenForPresenting) {
  GdiFlush();
  int before = PresentCount();
  RECT rc{0, 0, 100, 15};
  DrawTextW(dc, u"x", -1, &rc, 0);
  GdiFlush();
  EXPECT_EQ(PresentCount(), before + 1);
}

}  // namespace
