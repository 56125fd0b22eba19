// Drawing a list box: the background in the brush its parent gives for each
// paint, the visible rows in the list's font, the selected row inverted as on
// a pocket player's LCD. An empty list shows its window text, if it has one,
// in words across its width: why it holds nothing.
#include <algorithm>

#include "platform/gdi.h"
#include "platform/listbox.h"
#include "platform/text.h"
#include "platform/window_table.h"

namespace plat {
namespace {

// The device measured tab stops in dialog units of its system font, two
// pixels across: one stop of 71 puts the arrows of menu rows at x = 142.
constexpr int kPixelsPerTabUnit = 2;
constexpr int kDefaultTabUnits = 32;
// Near-black on the grey-green screen; the selected row's text takes the
// list's background colour.
constexpr COLORREF kHighlight = RGB(32, 32, 40);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr UINT kRowFormat = DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX;

// The first tab stop right of x, in pixels. One stop repeats at its own
// spacing; past the last of several, stops repeat at the default spacing.
int NextTabStop(const ListBox& lb, bool useStops, int x) {
  int spacing = kDefaultTabUnits * kPixelsPerTabUnit;
  if (useStops && lb.tabStops.size() > 1) {
    for (int stop : lb.tabStops) {
      if (stop * kPixelsPerTabUnit > x) return stop * kPixelsPerTabUnit;
    }
  } else if (useStops && lb.tabStops.size() == 1) {
    spacing = std::max(1, lb.tabStops[0] * kPixelsPerTabUnit);
  }
  return (x / spacing + 1) * spacing;
}

// One row's text from x = 0, each tab moving the rest to the next stop.
void DrawRowText(HDC hdc, const ListBox& lb, bool useStops, std::u16string_view text,
                 const RECT& row) {
  int x = 0;
  size_t start = 0;
  for (;;) {
    size_t end = std::min(text.find(u'\t', start), text.size());
    int length = static_cast<int>(end - start);
    if (length > 0 && x < row.right) {
      RECT rc{x, row.top, row.right, row.bottom};
      DrawTextW(hdc, text.data() + start, length, &rc, kRowFormat);
      SIZE size{};
      GetTextExtentExPointW(hdc, text.data() + start, length, -1, nullptr, nullptr, &size);
      x += size.cx;
    }
    if (end == text.size()) return;
    x = NextTabStop(lb, useStops, x);
    start = end + 1;
  }
}

// Where the line that starts the text ends: after the last space or slash
// that leaves it no wider than the list, else after as much as fits, at
// least one character. *next is where the following line starts.
size_t LineEnd(HDC hdc, std::u16string_view text, int width, size_t* next) {
  int fit = 0;
  GetTextExtentExPointW(hdc, text.data(), static_cast<int>(text.size()), width, &fit, nullptr,
                        nullptr);
  size_t fits = static_cast<size_t>(fit);
  if (fits >= text.size()) return *next = text.size();
  size_t space = text.substr(0, fits + 1).rfind(u' ');
  size_t slash = fits > 0 ? text.substr(0, fits).rfind(u'/') : std::u16string_view::npos;
  if (space != std::u16string_view::npos && space > 0 &&
      (slash == std::u16string_view::npos || space > slash)) {
    *next = space + 1;
    return space;
  }
  if (slash != std::u16string_view::npos) return *next = slash + 1;
  size_t one = text.size() > 1 && text[0] >= 0xD800 && text[0] <= 0xDBFF ? 2 : 1;
  return *next = std::max(fits, one);
}

void DrawEmptyText(HWND hwnd, HDC hdc, const ListBox& lb, std::u16string_view text) {
  constexpr int kMargin = 4;
  RECT client;
  GetClientRect(hwnd, &client);
  HGDIOBJ oldFont = lb.font ? SelectObject(hdc, lb.font) : nullptr;
  SIZE cell{};
  GetTextExtentExPointW(hdc, u"X", 1, -1, nullptr, nullptr, &cell);
  std::vector<std::u16string_view> lines;
  while (!text.empty()) {
    size_t next;
    lines.push_back(text.substr(0, LineEnd(hdc, text, client.right - 2 * kMargin, &next)));
    text.remove_prefix(next);
  }
  int top = std::max(0, (client.bottom - static_cast<int>(lines.size()) * cell.cy) / 2);
  for (std::u16string_view line : lines) {
    RECT rc{kMargin, top, client.right - kMargin, top + cell.cy};
    DrawTextW(hdc, line.data(), static_cast<int>(line.size()), &rc,
              DT_CENTER | DT_SINGLELINE | DT_NOPREFIX);
    top += cell.cy;
  }
  if (oldFont) SelectObject(hdc, oldFont);
}

void DrawRows(HWND hwnd, HDC hdc, const ListBox& lb, COLORREF background) {
  RECT client;
  GetClientRect(hwnd, &client);
  const Window* w = Find(hwnd);
  bool useStops = w && (w->style & LBS_USETABSTOPS);
  HGDIOBJ oldFont = lb.font ? SelectObject(hdc, lb.font) : nullptr;
  int count = static_cast<int>(lb.rows.size());
  for (int i = lb.top; i < count; ++i) {
    RECT row{0, (i - lb.top) * lb.itemHeight, client.right, (i - lb.top + 1) * lb.itemHeight};
    if (row.top >= client.bottom) break;
    ListBox::RowText buffer;
    std::u16string_view text(lb.TextAt(i, buffer), lb.LengthAt(i));
    if (i != lb.selected) {
      DrawRowText(hdc, lb, useStops, text, row);
      continue;
    }
    HBRUSH highlight = CreateSolidBrush(kHighlight);
    FillRect(hdc, &row, highlight);
    DeleteObject(highlight);
    COLORREF oldText = SetTextColor(hdc, background);
    COLORREF oldBack = SetBkColor(hdc, kHighlight);
    DrawRowText(hdc, lb, useStops, text, row);
    SetTextColor(hdc, oldText);
    SetBkColor(hdc, oldBack);
  }
  if (oldFont) SelectObject(hdc, oldFont);
}

}  // namespace

void PaintListBox(HWND hwnd) {
  PAINTSTRUCT ps;
  HDC hdc = BeginPaint(hwnd, &ps);
  const ListBox* lb = FindListBox(hwnd);
  if (hdc && lb && lb->redraw) {
    // Asked at every paint: the parent sets the text state on the context.
    HWND parent = GetParent(hwnd);
    auto brush = reinterpret_cast<HBRUSH>(parent ? SendMessageW(parent, WM_CTLCOLORLISTBOX,
                                                                reinterpret_cast<WPARAM>(hdc),
                                                                reinterpret_cast<LPARAM>(hwnd))
                                                 : 0);
    if (!brush) brush = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    COLORREF background;
    if (!BrushColor(brush, &background)) background = kWhite;
    lb = FindListBox(hwnd);  // the parent may have done anything meanwhile
    if (lb) {
      RECT client;
      GetClientRect(hwnd, &client);
      FillRect(hdc, &client, brush);
      const Window* w = Find(hwnd);
      if (lb->rows.size() == 0 && w && !w->text.empty()) {
        DrawEmptyText(hwnd, hdc, *lb, w->text);
      } else {
        DrawRows(hwnd, hdc, *lb, background);
      }
    }
  }
  EndPaint(hwnd, &ps);
}

}  // namespace plat
