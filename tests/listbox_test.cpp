// The platform's list box, driven through its messages as MenuList is.
#include <algorithm>
#include <cstdlib>
#include <string>

#include "platform/internal.h"
#include "platform/test_hooks.h"
#include "tests/menu_list_fixture.h"

namespace {

using menu_list_fixture::events;
using menu_list_fixture::kScreenColour;

constexpr int kListLeft = 40;
constexpr int kListTop = 28;
constexpr int kListWidth = 151;
constexpr int kRowHeight = 18;
constexpr COLORREF kHighlight = RGB(32, 32, 40);

using ListBox = MenuListFixture;

// Counts the pixels of a row, between two x positions of the list, within
// tolerance of a colour in every channel.
int PixelsNear(COLORREF c, int row, int tolerance = 0, int fromX = 0, int toX = kListWidth) {
  int n = 0;
  for (int y = kListTop + row * kRowHeight; y < kListTop + (row + 1) * kRowHeight; ++y) {
    for (int x = kListLeft + fromX; x < kListLeft + toX; ++x) {
      COLORREF p = ScreenPixel(x, y);
      n += std::abs(GetRValue(p) - GetRValue(c)) <= tolerance &&
           std::abs(GetGValue(p) - GetGValue(c)) <= tolerance &&
           std::abs(GetBValue(p) - GetBValue(c)) <= tolerance;
    }
  }
  return n;
}
// The leftmost column of the row, from x on, that is not all background.
int LeftmostInk(int row, int fromX) {
  for (int x = fromX; x < kListWidth; ++x) {
    if (PixelsNear(kScreenColour, row, 0, x, x + 1) < kRowHeight) return x;
  }
  return -1;
}

TEST_F(ListBox, ARowKeepsAtMost255CharactersAndAWholeDataWord) {
  std::u16string longText(300, u'x');
  Append({longText.c_str()});
  EXPECT_EQ(RowText(0), longText.substr(0, 255));
  Send(LB_SETITEMDATA, 0, 0xFFFF0001u);
  EXPECT_EQ(static_cast<DWORD>(Send(LB_GETITEMDATA, 0)), 0xFFFF0001u);
  EXPECT_EQ(Send(LB_GETITEMDATA, 1), LB_ERR);
}

TEST_F(ListBox, SortedRowsStandInOrderWhateverOrderTheyCameIn) {
  auto number = [](int n) { return plat::FromUtf8(std::to_string(1000 + n).substr(1)); };
  for (int k = 0; k < 300; ++k) SendText(LB_ADDSTRING, 0, number(k * 7 % 300).c_str());
  Send(LB_DELETESTRING, 150);
  Send(LB_DELETESTRING, 0);
  SendText(LB_ADDSTRING, 0, u"000");
  EXPECT_EQ(SendText(LB_ADDSTRING, 0, u"150"), 150);
  std::vector<std::u16string> expected;
  for (int n = 0; n < 300; ++n) expected.push_back(number(n));
  EXPECT_EQ(Rows(), expected);
}

TEST_F(ListBox, SelectStringFromRowZeroTriesRowZeroLast) {
  Append({u"Browse\t>", u"Shuffle", u"bright", u"Back"});
  EXPECT_EQ(SendText(LB_SELECTSTRING, 0, u"B"), 2);    // "bright", not "Browse" at the start
  EXPECT_EQ(SendText(LB_SELECTSTRING, 0, u"BRO"), 0);  // reached by wrapping round
  EXPECT_EQ(SendText(LB_SELECTSTRING, static_cast<WPARAM>(-1), u"b"), 0);
  EXPECT_EQ(SendText(LB_SELECTSTRING, 2, u"b"), 3);
  EXPECT_EQ(SendText(LB_SELECTSTRING, 0, u"Browsers"), LB_ERR);  // longer than the row
  EXPECT_EQ(Selected(), 3);  // a failed search leaves the selection
}

class ListBoxOfTwenty : public MenuListFixture {
 protected:
  void SetUp() override {
    MenuListFixture::SetUp();
    for (char16_t c = u'A'; c < u'A' + 20; ++c) Append({(u"Row " + std::u16string(1, c)).c_str()});
  }
};

TEST_F(ListBoxOfTwenty, SelectingScrollsByTheSmallestChangeWithinTheRows) {
  const struct {
    UINT message;
    int index, top;
  } cases[] = {
      {LB_SETCURSEL, 8, 3},  // row 8 is the sixth visible row
      {LB_SETCURSEL, 5, 3},     {LB_SETCURSEL, 1, 1},
      {LB_SETCURSEL, 20, 1},     // no such row: nothing changes
      {LB_SETTOPINDEX, 18, 14},  // the last page is full
      {LB_DELETESTRING, 0, 13},  // and stays full
  };
  for (const auto& c : cases) {
    Send(c.message, c.index);
    EXPECT_EQ(Top(), c.top) << c.message << " " << c.index;
  }
  Send(LB_RESETCONTENT);
  EXPECT_EQ(Top(), 0);
}

TEST_F(ListBoxOfTwenty, ATapOnARowSelectsItAndTellsTheParent) {
  auto tap = [&](int shownRow) {
    events.clear();
    InjectStylus(WM_LBUTTONDOWN, kListLeft + 10, kListTop + shownRow * kRowHeight + 5);
    InjectStylus(WM_LBUTTONUP, kListLeft + 10, kListTop + shownRow * kRowHeight + 5);
    PumpMessages();
  };
  Send(LB_SETTOPINDEX, 4);
  tap(2);
  EXPECT_EQ(Selected(), 6);
  ASSERT_EQ(Count(WM_COMMAND), 1);
  auto told = std::find_if(events.begin(), events.end(),
                           [](const auto& e) { return e.message == WM_COMMAND; });
  EXPECT_EQ(told->wParam, MAKEWPARAM(kMenuListId, LBN_SELCHANGE));
  EXPECT_EQ(told->lParam, reinterpret_cast<LPARAM>(list));
  tap(2);
  EXPECT_EQ(Count(WM_COMMAND), 0) << "no change, nothing told";
  Send(LB_RESETCONTENT);
  Append({u"One", u"Two"});
  tap(4);
  EXPECT_EQ(Selected(), -1) << "below the last row";
  EXPECT_EQ(Count(WM_COMMAND), 0);
}

TEST_F(ListBoxOfTwenty, KeysMoveTheSelectionByARowAScreenOrToAnEnd) {
  const struct {
    int from;
    UINT key;
    int selected;
  } cases[] = {
      {18, VK_DOWN, 19}, {19, VK_DOWN, 19}, {14, VK_UP, 13},   {0, VK_UP, 0},
      {0, VK_NEXT, 6},   {17, VK_NEXT, 19}, {10, VK_PRIOR, 4}, {3, VK_PRIOR, 0},
      {7, VK_HOME, 0},   {7, VK_END, 19},   {19, VK_END, 19},
  };
  SetFocus(list);
  for (const auto& c : cases) {
    Send(LB_SETCURSEL, c.from);
    events.clear();
    InjectKey(c.key);
    PumpMessages();
    EXPECT_EQ(Selected(), c.selected) << c.from << " key " << c.key;
    EXPECT_EQ(Count(WM_COMMAND), c.selected != c.from) << "only a change is told";
    EXPECT_LE(Top(), c.selected) << "the row is shown";
    EXPECT_GT(Top() + 6, c.selected);
  }
  InjectKey(VK_SELECT);  // no use to the list: it reaches the parent
  PumpMessages();
  ASSERT_EQ(Count(WM_KEYDOWN, app.mainWindow), 1);
}

TEST_F(ListBox, EachPaintFillsWithTheParentsBrushAndInvertsTheSelectedRow) {
  Append({u"Music", u"Settings"});
  Send(LB_SETCURSEL, 1);
  PumpMessages();
  // Row 0: black text, on the brush thanks to the parent's transparent mode.
  EXPECT_GT(PixelsNear(RGB(0, 0, 0), 0, 40), 20);
  EXPECT_EQ(PixelsNear(kScreenColour, 0, 0, 80), (kListWidth - 80) * kRowHeight);
  EXPECT_EQ(PixelsNear(kScreenColour, 5), kListWidth * kRowHeight);
  // Row 1: the highlight behind text in the list's background colour.
  EXPECT_EQ(PixelsNear(kHighlight, 1, 0, 80), (kListWidth - 80) * kRowHeight);
  EXPECT_GT(PixelsNear(kScreenColour, 1, 40, 0, 80), 20);
}

TEST_F(ListBox, ArrowsLineUpAtTheTabStopNearTheRightEdge) {
  Append({u"Browse\t>", u"Now Playing\t>", u"A\t>"});
  PumpMessages();
  for (int row = 0; row < 3; ++row) {
    EXPECT_GE(LeftmostInk(row, 100), 142) << row;
    EXPECT_EQ(LeftmostInk(row, 100), LeftmostInk(0, 100)) << row;
  }
  EXPECT_EQ(LeftmostInk(2, 20), LeftmostInk(2, 100));  // nothing between "A" and its arrow
}

}  // namespace
