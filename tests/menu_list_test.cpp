// How texts become MenuList rows, measured in the player's real font.
#include <string>

#include "platform/internal.h"
#include "tests/menu_list_fixture.h"

namespace {

using menu_list_fixture::events;

using MenuRows = MenuListFixture;
using Ellipsis = MenuListFixture;

std::u16string Ellipsized(std::u16string text, int32_t width) {
  WCHAR buffer[kTextChars];
  StringCchCopyW(buffer, kTextChars, text.c_str());
  EllipsizeToWidth(buffer, width);
  return buffer;
}

TEST_F(MenuRows, SortedRowsIgnoreLetterCaseAndTheArrowTakesPart) {
  AddMenuRow(list, u"Blue d.mp3", RowKind::Plain, true);
  AddMenuRow(list, u"Blue", RowKind::Arrow, true);  // the tab sorts before the space
  EXPECT_EQ(AddMenuRow(list, u"apple.mp3", RowKind::Plain, true), 0);
  AddMenuRow(list, u"BLUE", RowKind::Plain, true);  // a prefix of "Blue\t>"
  EXPECT_EQ(Rows(),
            (std::vector<std::u16string>{u"apple.mp3", u"BLUE", u"Blue\t>", u"Blue d.mp3"}));
}

TEST_F(MenuRows, AnArrowRowTooWideIsCutLeavingRoomForTheArrow) {
  const std::u16string name = u"The Quite Remarkably Long Name Of A Folder";
  AddMenuRow(list, name.c_str(), RowKind::Arrow, false);
  std::u16string row = RowText(0);
  ASSERT_TRUE(row.ends_with(u"...\t>")) << std::string(row.begin(), row.end());
  std::u16string shown = row.substr(0, row.size() - 2);
  std::u16string kept = shown.substr(0, shown.size() - 3);
  int32_t room = 151 - Width(u"  >");  // the list's width
  EXPECT_LE(Width(shown), room);
  EXPECT_EQ(name.substr(0, kept.size()), kept);
  EXPECT_GT(Width(name.substr(0, kept.size() + 1) + u"..."), room);  // the longest that fits
}

// The arrow still fits in a row of 255 characters: the text gives way,
// marked as cut, a character of two UTF-16 units going whole.
TEST_F(MenuRows, AnArrowRowOfMoreThan255CharactersIsCutToKeepItsArrow) {
  // A list wide enough for every character, so that only the length cuts.
  HWND wide = CreateWindowExW(0, u"LISTBOX", nullptr, WS_CHILD, 0, 0, 4000, 108, app.mainWindow,
                              nullptr, nullptr, nullptr);
  auto row = [&](const std::u16string& text) {
    WCHAR shown[kTextChars];
    int index = AddMenuRow(wide, text.c_str(), RowKind::Arrow, false);
    SendMessageW(wide, LB_GETTEXT, index, reinterpret_cast<LPARAM>(shown));
    return std::u16string(shown);
  };
  EXPECT_EQ(row(std::u16string(300, u'i')), std::u16string(250, u'i') + u"...\t>");
  EXPECT_EQ(row(std::u16string(249, u'i') + u"\U0001D11E\U0001D11E\U0001D11E"),
            std::u16string(249, u'i') + u"...\t>");
}

TEST_F(MenuRows, AListRefilledUnderSuspendedDrawingRepaintsOnceWithItsScrollBar) {
  AddMenuRow(list, u"Old", RowKind::Plain, false);
  PumpMessages();
  events.clear();
  BeginRefill(list);
  EXPECT_EQ(Send(LB_GETCOUNT), 0);
  for (const char16_t* text : {u"Now Playing", u"Browse", u"Settings"}) {
    AddMenuRow(list, text, RowKind::Arrow, false);
    PumpMessages();
  }
  SendText(LB_SELECTSTRING, 0, u"Browse");
  InvalidateRect(list, nullptr, TRUE);  // a paint asked for meanwhile draws nothing
  PumpMessages();
  EXPECT_EQ(Count(WM_CTLCOLORLISTBOX), 0);
  EndRefill(list);
  PumpMessages();
  EXPECT_EQ(Count(WM_CTLCOLORLISTBOX), 1);
  EXPECT_EQ(Count(WM_PAINT, scrollBar), 1);
  EXPECT_EQ(Selected(), 1);
}

TEST_F(Ellipsis, ATextTooWideIsCutToTheDots) {
  const std::u16string text = u"Settings and more";
  int32_t width = Width(text);
  EXPECT_EQ(Ellipsized(text, width), text) << "exactly as wide: whole";
  std::u16string cut = Ellipsized(text, width - 1);
  EXPECT_TRUE(cut.ends_with(u"..."));
  EXPECT_LE(Width(cut), width - 1);
  EXPECT_EQ(Ellipsized(u"Anything", Width(u"...") - 1), u"...");
  EXPECT_EQ(Ellipsized(u"", 0), u"");
}

TEST_F(Ellipsis, AFullBufferCutByOneCharacterStillEndsInTheDots) {
  // 254 narrow characters and one wide one, just too wide: taking the wide
  // one off leaves room in pixels for "..." but not in the 256 buffer.
  std::u16string text = std::u16string(254, u'i') + u"W";
  ASSERT_GE(Width(u"W"), Width(u"...") + 1);
  WCHAR buffer[kTextChars + 4];
  std::fill(std::begin(buffer), std::end(buffer), u'#');
  StringCchCopyW(buffer, kTextChars, text.c_str());
  EllipsizeToWidth(buffer, Width(text) - 1);
  std::u16string cut = buffer;
  EXPECT_LE(cut.size(), 255u);
  EXPECT_TRUE(cut.ends_with(u"i..."));
  EXPECT_EQ(std::u16string(buffer + kTextChars, 4), u"####");
}

}  // namespace
