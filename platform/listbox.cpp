// The built-in "LISTBOX" class: a single-selection list of text rows, each
// with a pointer-sized item data word. The rows are small records kept in a
// gap buffer, their texts packed elsewhere, so a sorted insertion into a long
// folder listing moves a few 16-byte records.
#include "platform/listbox.h"

#include <algorithm>
#include <new>
#include <unordered_map>

#include "platform/strings.h"
#include "platform/window_table.h"

namespace plat {
namespace {

constexpr size_t kMaxRowChars = 255;  // the callers' buffers hold 256 with the terminator
constexpr int kMaxItemHeight = 255;
constexpr WPARAM kMaxTabStops = 64;

// Every list box of the process, dropped on WM_DESTROY. A list is created
// afresh on WM_CREATE, since a reset platform hands out old handles again.
std::unordered_map<HWND, ListBox> lists;

ListBox& StateOf(HWND hwnd) {
  return lists[hwnd];
}

int Count(const ListBox& lb) {
  return static_cast<int>(lb.rows.size());
}

bool HasStyle(HWND hwnd, DWORD style) {
  const Window* w = Find(hwnd);
  return w && (w->style & style) == style;
}

int VisibleRows(HWND hwnd, const ListBox& lb) {
  RECT rc;
  GetClientRect(hwnd, &rc);
  return std::max(1, static_cast<int>(rc.bottom - rc.top) / lb.itemHeight);
}

void Repaint(HWND hwnd, const ListBox& lb) {
  if (lb.redraw) InvalidateRect(hwnd, nullptr, TRUE);
}

// Keeps the top index within 0..count - visible rows; true when it moved.
bool ClampTop(HWND hwnd, ListBox& lb) {
  int top = std::clamp(lb.top, 0, std::max(0, Count(lb) - VisibleRows(hwnd, lb)));
  if (top == lb.top) return false;
  lb.top = top;
  return true;
}

// The smallest change of the top index that shows the row whole.
bool ScrollIntoView(HWND hwnd, ListBox& lb, int index) {
  int old = lb.top;
  int visible = VisibleRows(hwnd, lb);
  if (index < lb.top) lb.top = index;
  if (index >= lb.top + visible) lb.top = index - visible + 1;
  ClampTop(hwnd, lb);
  return lb.top != old;
}

void InvalidateRow(HWND hwnd, const ListBox& lb, int index) {
  if (index < 0) return;
  RECT client;
  GetClientRect(hwnd, &client);
  RECT row{0, (index - lb.top) * lb.itemHeight, client.right, (index - lb.top + 1) * lb.itemHeight};
  InvalidateRect(hwnd, &row, TRUE);
}

// Selects the row (-1: none) and shows it; true when the selection changed.
// The changed rows are drawn at once, as the highlight must follow the
// wheel without waiting for the message loop.
bool Select(HWND hwnd, ListBox& lb, int index) {
  int old = lb.selected;
  bool changed = index != old;
  lb.selected = index;
  bool scrolled = index >= 0 && ScrollIntoView(hwnd, lb, index);
  if (!lb.redraw || !(changed || scrolled)) return changed;
  if (scrolled) {
    Repaint(hwnd, lb);
  } else {
    InvalidateRow(hwnd, lb, old);
    InvalidateRow(hwnd, lb, index);
  }
  UpdateWindow(hwnd);
  return changed;
}

// Tells the parent of a change the user made. Sent last by every caller: the
// parent may change or destroy the list in answer.
void Notify(HWND hwnd, WORD code) {
  const Window* w = Find(hwnd);
  if (!w || !(w->style & LBS_NOTIFY) || !w->parent) return;
  SendMessageW(w->parent, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(w->id), code),
               reinterpret_cast<LPARAM>(hwnd));
}

bool Before(const WCHAR* text, const ListBox& lb, size_t index) {
  ListBox::RowText row;
  return lstrcmpiW(text, lb.TextAt(static_cast<int>(index), row)) < 0;
}

// Where a text goes in the sorted order: after every row that compares
// equal. The rows of a refill mostly come in order, so the place of the last
// insertion is tried first.
int SortedPosition(const ListBox& lb, const WCHAR* text) {
  size_t count = lb.rows.size();
  size_t at = lb.rows.gap();
  if ((at == 0 || !Before(text, lb, at - 1)) && (at == count || Before(text, lb, at))) {
    return static_cast<int>(at);
  }
  size_t low = 0, high = count;
  while (low < high) {
    size_t middle = low + (high - low) / 2;
    if (Before(text, lb, middle)) {
      high = middle;
    } else {
      low = middle + 1;
    }
  }
  return static_cast<int>(low);
}

// A copy of the text in the list's blocks, for the row.
void KeepText(ListBox& lb, std::u16string_view text, ListBox::Row* row) {
  row->length = static_cast<uint8_t>(text.size());
  row->wide = std::any_of(text.begin(), text.end(), [](char16_t c) { return c > 0xFF; });
  if (row->wide) {
    row->at = lb.wideTexts.Take(text.size() + 1);
    char16_t* kept = lb.wideTexts.At(row->at);
    std::copy(text.begin(), text.end(), kept);
    kept[text.size()] = 0;
  } else {
    row->at = lb.narrowTexts.Take(text.size());
    std::copy(text.begin(), text.end(), lb.narrowTexts.At(row->at));
  }
}

LRESULT Insert(HWND hwnd, ListBox& lb, int index, const WCHAR* text) {
  std::u16string_view view = View(text).substr(0, kMaxRowChars);
  // A pair cut in half would show as a broken character.
  if (view.size() == kMaxRowChars && view.back() >= 0xD800 && view.back() <= 0xDBFF) {
    view.remove_suffix(1);
  }
  try {
    // A refused row changes nothing: a text block left unused by a failure
    // serves the next row.
    ListBox::Row row;
    KeepText(lb, view, &row);
    lb.rows.Insert(static_cast<size_t>(index), row);
  } catch (const std::bad_alloc&) {
    return LB_ERRSPACE;
  }
  // The selected row stays selected.
  if (lb.selected >= index) ++lb.selected;
  Repaint(hwnd, lb);
  return index;
}

LRESULT Delete(HWND hwnd, ListBox& lb, int index) {
  if (index < 0 || index >= Count(lb)) return LB_ERR;
  lb.rows.Erase(static_cast<size_t>(index));
  if (lb.selected == index) {
    lb.selected = -1;
  } else if (lb.selected > index) {
    --lb.selected;
  }
  ClampTop(hwnd, lb);
  Repaint(hwnd, lb);
  return Count(lb);
}

void Reset(HWND hwnd, ListBox& lb) {
  lb.narrowTexts = {};
  lb.wideTexts = {};
  lb.rows.Clear();
  lb.selected = -1;
  lb.top = 0;
  Repaint(hwnd, lb);
}

LRESULT SelectString(HWND hwnd, ListBox& lb, int start, const WCHAR* prefix) {
  int count = Count(lb);
  if (!prefix || count == 0) return LB_ERR;
  if (start < -1 || start >= count) start = -1;
  int length = lstrlenW(prefix);
  // From the row after start, wrapping round, so that start itself comes last.
  for (int k = 1; k <= count; ++k) {
    int i = (start + k) % count;
    ListBox::RowText row;
    if (StrCmpNIW(lb.TextAt(i, row), prefix, length) == 0) {
      Select(hwnd, lb, i);
      return i;
    }
  }
  return LB_ERR;
}

LRESULT SetTabStops(HWND hwnd, ListBox& lb, WPARAM count, const int* stops) {
  if (count > 0 && !stops) return FALSE;
  lb.tabStops.assign(stops, stops + std::min(count, kMaxTabStops));
  Repaint(hwnd, lb);
  return TRUE;
}

LRESULT SetItemHeight(HWND hwnd, ListBox& lb, LPARAM height) {
  int h = LOWORD(height);
  if (h <= 0 || h > kMaxItemHeight) return LB_ERR;
  lb.itemHeight = h;
  ClampTop(hwnd, lb);
  Repaint(hwnd, lb);
  return 0;
}

LRESULT TapAt(HWND hwnd, ListBox& lb, LPARAM point) {
  int y = static_cast<int16_t>(HIWORD(point));
  int index = lb.top + y / lb.itemHeight;
  SetFocus(hwnd);
  ListBox* again = FindListBox(hwnd);  // the focus change may have reached the parent
  if (!again || y < 0 || index >= Count(*again)) return 0;
  if (Select(hwnd, *again, index)) Notify(hwnd, LBN_SELCHANGE);
  return 0;
}

// The keys a list box answers: a row up or down, a screen of rows up or
// down, the first or the last row.
LRESULT KeyDown(HWND hwnd, ListBox& lb, WPARAM key, LPARAM lParam) {
  int count = Count(lb);
  int from = lb.selected;
  int next;
  switch (key) {
    case VK_UP:
    case VK_DOWN:
      next = from < 0 ? 0 : from + (key == VK_UP ? -1 : 1);
      if (next < 0 || next >= count) return 0;
      break;
    case VK_PRIOR:
      next = std::max(0, from - VisibleRows(hwnd, lb));
      break;
    case VK_NEXT:
      next = std::min(count - 1, from + VisibleRows(hwnd, lb));
      break;
    case VK_HOME:
      next = 0;
      break;
    case VK_END:
      next = count - 1;
      break;
    default:
      // Keys a list has no use for still reach the window it belongs to, as
      // they would if the list did not hold the focus.
      if (HWND parent = GetParent(hwnd)) return SendMessageW(parent, WM_KEYDOWN, key, lParam);
      return 0;
  }
  if (count > 0 && Select(hwnd, lb, next)) Notify(hwnd, LBN_SELCHANGE);
  return 0;
}

// A typed character selects the next row, after the selected one and round
// to it, that begins with that letter, whatever its case or accent.
LRESULT TypedCharacter(HWND hwnd, ListBox& lb, WPARAM character) {
  int count = Count(lb);
  if (character <= u' ') return 0;
  for (int k = 1; k <= count; ++k) {
    int i = (lb.selected + k) % count;
    ListBox::RowText row;
    if (SameBaseLetter(lb.TextAt(i, row)[0], static_cast<char16_t>(character))) {
      if (Select(hwnd, lb, i)) Notify(hwnd, LBN_SELCHANGE);
      return 0;
    }
  }
  return 0;
}

LRESULT SetTopIndex(HWND hwnd, ListBox& lb, WPARAM index) {
  int i = static_cast<int>(index);
  if (i < 0 || i >= std::max(1, Count(lb))) return LB_ERR;
  int old = lb.top;
  lb.top = i;
  ClampTop(hwnd, lb);
  if (lb.top != old) Repaint(hwnd, lb);
  return 0;
}

}  // namespace

ListBox* FindListBox(HWND hwnd) {
  auto it = lists.find(hwnd);
  return it == lists.end() ? nullptr : &it->second;
}

}  // namespace plat

using namespace plat;

LRESULT ListBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_CREATE) {
    lists[hwnd] = ListBox{};
    return 0;
  }
  if (msg == WM_DESTROY) {
    lists.erase(hwnd);
    return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
  ListBox& lb = StateOf(hwnd);
  int index = static_cast<int>(static_cast<intptr_t>(wParam));
  auto text = reinterpret_cast<const WCHAR*>(lParam);
  switch (msg) {
    case LB_ADDSTRING:
      if (!text) return LB_ERR;
      return Insert(hwnd, lb, HasStyle(hwnd, LBS_SORT) ? SortedPosition(lb, text) : Count(lb),
                    text);
    case LB_INSERTSTRING:
      if (!text || index < -1 || index > Count(lb)) return LB_ERR;
      return Insert(hwnd, lb, index == -1 ? Count(lb) : index, text);
    case LB_DELETESTRING:
      return Delete(hwnd, lb, index);
    case LB_RESETCONTENT:
      Reset(hwnd, lb);
      return 0;
    case LB_SETCURSEL:
      if (index < -1 || index >= Count(lb)) return LB_ERR;
      Select(hwnd, lb, index);
      return index;
    case LB_GETCURSEL:
      return lb.selected;
    case LB_GETTEXT: {
      auto buffer = reinterpret_cast<WCHAR*>(lParam);
      if (!buffer || index < 0 || index >= Count(lb)) return LB_ERR;
      ListBox::RowText row;
      const char16_t* text = lb.TextAt(index, row);
      std::copy(text, text + lb.LengthAt(index) + 1, buffer);
      return lb.LengthAt(index);
    }
    case LB_GETTEXTLEN:
      if (index < 0 || index >= Count(lb)) return LB_ERR;
      return lb.LengthAt(index);
    case LB_GETCOUNT:
      return Count(lb);
    case LB_SELECTSTRING:
      return SelectString(hwnd, lb, index, text);
    case LB_GETTOPINDEX:
      return lb.top;
    case LB_SETTOPINDEX:
      return SetTopIndex(hwnd, lb, wParam);
    case LB_SETTABSTOPS:
      return SetTabStops(hwnd, lb, wParam, reinterpret_cast<const int*>(lParam));
    case LB_GETITEMDATA:
      if (index < 0 || index >= Count(lb)) return LB_ERR;
      return lb.rows[index].data;
    case LB_SETITEMDATA:
      if (index == -1) {
        for (size_t i = 0; i < lb.rows.size(); ++i) lb.rows[i].data = lParam;
        return 0;
      }
      if (index < 0 || index >= Count(lb)) return LB_ERR;
      lb.rows[index].data = lParam;
      return 0;
    case LB_SETITEMHEIGHT:
      return SetItemHeight(hwnd, lb, lParam);
    case LB_GETITEMHEIGHT:
      return lb.itemHeight;
    case WM_SETREDRAW:
      // Resuming does not repaint: whoever suspended it invalidates when done.
      lb.redraw = wParam != 0;
      return 0;
    case WM_SETFONT:
      lb.font = reinterpret_cast<HFONT>(wParam);
      if (LOWORD(lParam)) Repaint(hwnd, lb);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(lb.font);
    case WM_PAINT:
      PaintListBox(hwnd);
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the paint fills the background in the parent's colour itself
    case WM_LBUTTONDOWN:
      return TapAt(hwnd, lb, lParam);
    case WM_KEYDOWN:
      return KeyDown(hwnd, lb, wParam, lParam);
    case WM_CHAR:
      return TypedCharacter(hwnd, lb, wParam);
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}
