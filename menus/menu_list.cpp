// MenuList: its creation, how a text becomes a row, and the refill protocol.
#include "menus/menu_list.h"

#include <algorithm>

#include "app/app_state.h"
#include "platform/gdi.h"
#include "platform/strings.h"
#include "platform/text.h"
#include "platform/window.h"

namespace {

constexpr WCHAR kListBoxClass[] = u"LISTBOX";
// Child, visible, no integral height, tab stops, sorted, notify; no border
// and no scroll bar of its own (the ScrollBar pane stands beside it).
constexpr DWORD kMenuListStyle =
    WS_CHILD | WS_VISIBLE | LBS_NOINTEGRALHEIGHT | LBS_USETABSTOPS | LBS_SORT | LBS_NOTIFY;
static_assert(kMenuListStyle == 0x50000183);
constexpr int kMenuListLeft = 40;
constexpr int kMenuListTop = 28;
constexpr int kMenuListWidth = 151;
constexpr int kMenuListHeight = 108;
constexpr int kRowHeight = 18;  // six rows show at a time
constexpr int kTabStop = 71;

// The room an Arrow row keeps right of its text is measured on two spaces
// and the arrow, a little wider than the tab and arrow it then gets.
constexpr WCHAR kArrowReserve[] = u"  >";
constexpr int kMaxRowChars = kTextChars - 1;

bool IsHighSurrogate(WCHAR c) {
  return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(WCHAR c) {
  return c >= 0xDC00 && c <= 0xDFFF;
}

int32_t TextWidth(const WCHAR* text) {
  SIZE size{};
  if (!GetTextExtentExPointW(app.measureDC, text, lstrlenW(text), 0, nullptr, nullptr, &size)) {
    return 0;
  }
  return size.cx;
}

// How many characters of the text fit the limit (none for a negative one),
// and its whole width. A text's width is the sum of its characters'
// advances, so this one measure finds what removing a character at a time
// and measuring again would. False when the text cannot be measured.
bool Measure(const WCHAR* text, int length, int32_t limit, int* fit, int32_t* width) {
  SIZE size{};
  if (!GetTextExtentExPointW(app.measureDC, text, length, std::max(limit, 0), fit, nullptr,
                             &size)) {
    return false;
  }
  if (limit < 0) *fit = 0;
  *width = size.cx;
  return true;
}

// Keeps at most the first keep characters, a surrogate pair whole, and
// appends "...".
void CutAndMark(WCHAR* text, int keep) {
  if (keep > 0 && IsLowSurrogate(text[keep]) && IsHighSurrogate(text[keep - 1])) --keep;
  text[keep] = 0;
  StringCchCatW(text, kTextChars, kEllipsis);
}

}  // namespace

void CreateMenuList(HWND mainWindow) {
  HWND list = CreateWindowExW(0, kListBoxClass, nullptr, kMenuListStyle, kMenuListLeft,
                              kMenuListTop, kMenuListWidth, kMenuListHeight, mainWindow,
                              reinterpret_cast<void*>(static_cast<intptr_t>(kMenuListId)),
                              app.instance, nullptr);
  SendMessageW(list, WM_SETFONT, reinterpret_cast<WPARAM>(app.largeFont), 0);
  SendMessageW(list, LB_SETITEMHEIGHT, 0, kRowHeight);
  int tabStops[] = {kTabStop};
  SendMessageW(list, LB_SETTABSTOPS, 1, reinterpret_cast<LPARAM>(tabStops));
  SendMessageW(list, LB_SETCURSEL, 0, 0);
}

int32_t AddMenuRow(HWND list, const WCHAR* text, RowKind kind, bool sorted) {
  // A missing list would answer 0, which reads as a row added at the top.
  if (!IsWindow(list)) return static_cast<int32_t>(LB_ERR);
  RECT client{};
  GetClientRect(list, &client);
  int32_t available = client.right - client.left;
  if (kind == RowKind::Arrow) available -= TextWidth(kArrowReserve);

  WCHAR row[kTextChars];
  StringCchCopyW(row, kTextChars, text ? text : u"");
  int length = lstrlenW(row);
  if (length == kMaxRowChars && IsHighSurrogate(row[length - 1])) row[length - 1] = 0;
  EllipsizeToWidth(row, available);
  if (kind == RowKind::Arrow) {
    // Almost 255 narrow characters may fit the width and still leave no
    // room for the suffix, which folder rows are recognised by.
    int rowLength = lstrlenW(row);
    if (rowLength > kMaxRowChars - kArrowSuffixChars) {
      int fit = rowLength;  // unmeasured, only the length counts
      int32_t width = 0;
      Measure(row, rowLength, available - TextWidth(kEllipsis), &fit, &width);
      CutAndMark(row, std::min(fit, kMaxRowChars - kArrowSuffixChars - kEllipsisChars));
    }
    StringCchCatW(row, kTextChars, kArrowSuffix);
  }

  LPARAM rowText = reinterpret_cast<LPARAM>(row);
  LRESULT index = sorted ? SendMessageW(list, LB_ADDSTRING, 0, rowText)
                         : SendMessageW(list, LB_INSERTSTRING, static_cast<WPARAM>(-1), rowText);
  return static_cast<int32_t>(index);
}

void EllipsizeToWidth(WCHAR* text, int32_t maxWidth) {
  int fit = 0;
  int32_t width = 0;
  if (!Measure(text, lstrlenW(text), maxWidth - TextWidth(kEllipsis), &fit, &width) ||
      width <= maxWidth) {
    return;
  }
  CutAndMark(text, std::min(fit, kMaxRowChars - kEllipsisChars));
}

void KeepAfterLast(WCHAR* text, WCHAR separator) {
  int length = lstrlenW(text);
  int at = length - 1;
  while (at > 0 && text[at] != separator) --at;
  // at is the separator, or 0 when none was found after the first character,
  // which is never tested; an empty text leaves at = -1 and stays empty.
  int from = at + 1;
  for (int i = from; i <= length; ++i) text[i - from] = text[i];
}

void BeginRefill(HWND list) {
  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  SendMessageW(list, LB_RESETCONTENT, 0, 0);
}

void EndRefill(HWND list) {
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  // A null window would mean the whole main window here.
  if (list) InvalidateRect(list, nullptr, TRUE);
  if (HWND scrollBar = Pane(kScrollBarId)) {
    InvalidateRect(scrollBar, nullptr, TRUE);
  }
}
