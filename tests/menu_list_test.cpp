// MenuList and its list box in the player's font, under a window that records what it is told.
#include "menus/menu_list.h"
#include "display/skin.h"
#include "platform/gdi.h"
#include "platform/instance.h"
#include "platform/internal.h"
#include "platform/strings.h"
#include "platform/text.h"
#include "tests/headless.h"

namespace {

constexpr COLORREF kScreenColour = RGB(170, 190, 150);  // grey-green, like the LCD

struct Told {
  std::vector<std::pair<WPARAM, LPARAM>> commands;
  int listPaints = 0, scrollBarPaints = 0;  // a list paint asks for its colour once
} told;
HBRUSH listBrush = nullptr;

// The main window's and its scroll-bar pane's, the one child of this class.
LRESULT ToldProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_COMMAND) told.commands.emplace_back(wParam, lParam);
  told.scrollBarPaints += msg == WM_PAINT && GetParent(hwnd);
  if (msg != WM_CTLCOLORLISTBOX) return DefWindowProcW(hwnd, msg, wParam, lParam);
  ++told.listPaints;
  SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
  return reinterpret_cast<LRESULT>(listBrush);
}

class ListBox : public Headless {
 protected:
  void SetUp() override {
    Headless::SetUp();
    ResetAppState();
    app.measureDC = GetDC(nullptr);
    ASSERT_TRUE(CreateFonts());
    listBrush = CreateSolidBrush(kScreenColour);

    WNDCLASSW wc{};
    wc.lpfnWndProc = ToldProc;
    wc.lpszClassName = kMainWindowClass;
    ASSERT_NE(RegisterClassW(&wc), 0);
    app.mainWindow = CreateWindowExW(0, kMainWindowClass, kMainWindowTitle, WS_VISIBLE, 0, 0, 240,
                                     320, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(app.mainWindow, nullptr);
    CreateMenuList(app.mainWindow);
    list = GetDlgItem(app.mainWindow, kMenuListId);
    ASSERT_NE(list, nullptr);
    CreateWindowExW(0, kMainWindowClass, kMainWindowTitle, WS_CHILD | WS_VISIBLE | WS_BORDER, 191,
                    27, 9, 109, app.mainWindow, reinterpret_cast<void*>(intptr_t{kScrollBarId}),
                    nullptr, nullptr);
    PumpMessages();
    told = {};
  }

  void TearDown() override {
    ReleaseFonts();
    ReleaseDC(nullptr, app.measureDC);
    ResetAppState();
    Headless::TearDown();
  }

  LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return SendMessageW(list, message, wParam, lParam);
  }
  LRESULT SendText(UINT message, WPARAM wParam, const char16_t* text) {
    return Send(message, wParam, reinterpret_cast<LPARAM>(text));
  }
  void Append(std::initializer_list<const char16_t*> texts) {  // unfitted, in this order
    for (const char16_t* text : texts) SendText(LB_INSERTSTRING, static_cast<WPARAM>(-1), text);
  }
  void AppendTwenty() {  // "Row A" to "Row T"
    for (char16_t c = u'A'; c < u'A' + 20; ++c) Append({(u"Row " + std::u16string(1, c)).c_str()});
  }
  LRESULT Selected() { return Send(LB_GETCURSEL); }
  LRESULT Top() { return Send(LB_GETTOPINDEX); }

  int32_t Width(const std::u16string& text) {
    SIZE size{};
    GetTextExtentExPointW(app.measureDC, text.c_str(), static_cast<int>(text.size()), 0, nullptr,
                          nullptr, &size);
    return size.cx;
  }

  HWND list = nullptr;
};

constexpr int kListLeft = 40;
constexpr int kListTop = 28;
constexpr int kListWidth = 151;
constexpr int kRowHeight = 18;

// The pixels of a row, between two x positions of the list, within tolerance of a colour.
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
int LeftmostInk(int row, int fromX) {
  for (int x = fromX; x < kListWidth; ++x)
    if (PixelsNear(kScreenColour, row, 0, x, x + 1) < kRowHeight) return x;
  return -1;
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
  EXPECT_EQ(ListRows(list), expected);
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

TEST_F(ListBox, SelectingScrollsByTheSmallestChangeWithinTheRows) {
  AppendTwenty();
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

TEST_F(ListBox, ATapOnARowSelectsItAndTellsTheParent) {
  AppendTwenty();
  auto tap = [&](int shownRow) {
    told = {};
    InjectStylus(WM_LBUTTONDOWN, kListLeft + 10, kListTop + shownRow * kRowHeight + 5);
    InjectStylus(WM_LBUTTONUP, kListLeft + 10, kListTop + shownRow * kRowHeight + 5);
    PumpMessages();
  };
  Send(LB_SETTOPINDEX, 4);
  tap(2);
  EXPECT_EQ(Selected(), 6);
  const std::pair<WPARAM, LPARAM> changed(MAKEWPARAM(kMenuListId, LBN_SELCHANGE),
                                          reinterpret_cast<LPARAM>(list));
  EXPECT_EQ(told.commands, std::vector{changed});
  tap(2);
  EXPECT_EQ(told.commands.size(), 0u) << "no change, nothing told";
  Send(LB_RESETCONTENT);
  Append({u"One", u"Two"});
  tap(4);
  EXPECT_EQ(Selected(), -1) << "below the last row";
  EXPECT_EQ(told.commands.size(), 0u);
}

TEST_F(ListBox, KeysMoveTheSelectionByARowAScreenOrToAnEnd) {
  AppendTwenty();
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
    told = {};
    InjectKey(c.key);
    PumpMessages();
    EXPECT_EQ(Selected(), c.selected) << c.from << " key " << c.key;
    EXPECT_EQ(told.commands.size(), c.selected != c.from ? 1u : 0u) << "only a change is told";
    EXPECT_TRUE(Top() <= c.selected && c.selected < Top() + 6) << "the row is shown";
  }
}

TEST_F(ListBox, EachPaintFillsWithTheParentsBrushInvertsTheSelectedRowAndLinesUpTheArrows) {
  Append({u"Browse\t>", u"Settings", u"A\t>"});
  Send(LB_SETCURSEL, 1);
  PumpMessages();
  // Row 0 black on the brush (the parent's transparent mode); row 1 the inverse.
  EXPECT_GT(PixelsNear(RGB(0, 0, 0), 0, 40), 20);
  EXPECT_EQ(PixelsNear(kScreenColour, 0, 0, 80, 140), 60 * kRowHeight);
  EXPECT_EQ(PixelsNear(kScreenColour, 5), kListWidth * kRowHeight);
  EXPECT_EQ(PixelsNear(RGB(32, 32, 40), 1, 0, 80), (kListWidth - 80) * kRowHeight);
  EXPECT_GT(PixelsNear(kScreenColour, 1, 40, 0, 80), 20);
  // The arrows line up at the tab stop near the right edge, nothing between "A" and its arrow.
  EXPECT_GE(LeftmostInk(0, 100), 142);
  EXPECT_EQ(LeftmostInk(2, 20), LeftmostInk(0, 100));
}

// Cut in a buffer of kTextChars, whose end the cut must not pass.
std::u16string Ellipsized(const std::u16string& text, int32_t width) {
  WCHAR buffer[kTextChars + 4];
  std::fill(std::begin(buffer), std::end(buffer), u'#');
  StringCchCopyW(buffer, kTextChars, text.c_str());
  EllipsizeToWidth(buffer, width);
  EXPECT_EQ(std::u16string(buffer + kTextChars, 4), u"####");
  return buffer;
}

TEST_F(ListBox, SortedRowsIgnoreLetterCaseAndTheArrowTakesPart) {
  AddMenuRow(list, u"Blue d.mp3", RowKind::Plain, true);
  AddMenuRow(list, u"Blue", RowKind::Arrow, true);  // the tab sorts before the space
  EXPECT_EQ(AddMenuRow(list, u"apple.mp3", RowKind::Plain, true), 0);
  AddMenuRow(list, u"BLUE", RowKind::Plain, true);  // a prefix of "Blue\t>"
  EXPECT_EQ(ListRows(list),
            (std::vector<std::u16string>{u"apple.mp3", u"BLUE", u"Blue\t>", u"Blue d.mp3"}));
}

// The text gives way to the arrow: in pixels, else at 255 characters (a two-unit one whole).
TEST_F(ListBox, ARowTooWideOrTooLongIsCutAndAnArrowRowKeepsItsArrow) {
  const std::u16string name = u"The Quite Remarkably Long Name Of A Folder";
  AddMenuRow(list, name.c_str(), RowKind::Arrow, false);
  const std::u16string row = ListRow(list, 0);
  ASSERT_TRUE(row.ends_with(u"...\t>")) << plat::ToUtf8(row);
  const std::u16string kept = row.substr(0, row.size() - 5);
  const int32_t room = kListWidth - Width(u"  >");
  EXPECT_LE(Width(kept + u"..."), room);
  EXPECT_EQ(name.substr(0, kept.size()), kept);
  EXPECT_GT(Width(name.substr(0, kept.size() + 1) + u"..."), room);  // the longest that fits
  Append({std::u16string(300, u'x').c_str()});  // a plain row the list itself cuts
  EXPECT_EQ(ListRow(list, 1), std::u16string(255, u'x'));
  HWND wide = CreateWindowExW(0, u"LISTBOX", nullptr, WS_CHILD, 0, 0, 4000, 108, app.mainWindow,
                              nullptr, nullptr, nullptr);
  auto wideRow = [&](const std::u16string& text) {
    return ListRow(wide, AddMenuRow(wide, text.c_str(), RowKind::Arrow, false));
  };
  EXPECT_EQ(wideRow(std::u16string(300, u'i')), std::u16string(250, u'i') + u"...\t>");
  EXPECT_EQ(wideRow(std::u16string(249, u'i') + u"\U0001D11E\U0001D11E\U0001D11E"),
            std::u16string(249, u'i') + u"...\t>");
}

TEST_F(ListBox, AListRefilledUnderSuspendedDrawingRepaintsOnceWithItsScrollBar) {
  AddMenuRow(list, u"Old", RowKind::Plain, false);
  PumpMessages();
  told = {};
  BeginRefill(list);
  for (const char16_t* text : {u"Now Playing", u"Browse", u"Settings"}) {
    AddMenuRow(list, text, RowKind::Arrow, false);
    PumpMessages();
  }
  SendText(LB_SELECTSTRING, 0, u"Browse");
  InvalidateRect(list, nullptr, TRUE);  // a paint asked for meanwhile draws nothing
  PumpMessages();
  EXPECT_EQ(told.listPaints, 0);
  EndRefill(list);
  PumpMessages();
  EXPECT_EQ(told.listPaints, 1);
  EXPECT_EQ(told.scrollBarPaints, 1);
  EXPECT_EQ(Selected(), 1);
}

TEST_F(ListBox, ATextTooWideIsCutToTheDots) {
  const std::u16string text = u"Settings and more";
  int32_t width = Width(text);
  EXPECT_EQ(Ellipsized(text, width), text) << "exactly as wide: whole";
  std::u16string cut = Ellipsized(text, width - 1);
  EXPECT_TRUE(cut.ends_with(u"..."));
  EXPECT_LE(Width(cut), width - 1);
  EXPECT_EQ(Ellipsized(u"Anything", Width(u"...") - 1), u"...");
  EXPECT_EQ(Ellipsized(u"", 0), u"");
  // Without the wide last one there is room in pixels for "..." but not in the buffer.
  const std::u16string full = std::u16string(254, u'i') + u"W";
  ASSERT_GE(Width(u"W"), Width(u"...") + 1);
  EXPECT_EQ(Ellipsized(full, Width(full) - 1), std::u16string(252, u'i') + u"...");
}

}  // namespace
