// The list box's state, shared by listbox.cpp (messages) and
// listbox_paint.cpp (drawing) only; the player talks to a list through
// messages (platform/window.h).
#pragma once

#include <string>
#include <vector>

#include "platform/internal.h"

namespace plat {

struct ListBox {
  struct Row {
    std::u16string text;  // at most 255 characters
    LPARAM data = 0;      // pointer-sized: a folder listing keeps whole ordinals in it
  };
  std::vector<Row> pool;            // rows by slot; a slot never moves
  std::vector<uint32_t> freeSlots;  // slots of deleted rows, for reuse
  std::vector<uint32_t> order;      // the slot of each row, in list order
  int selected = -1;
  int top = 0;  // the first visible row
  int itemHeight = 18;
  std::vector<int> tabStops;  // in dialog units; empty: the default spacing
  HFONT font = nullptr;       // null: the context's default font
  bool redraw = true;         // WM_SETREDRAW

  const std::u16string& TextAt(int index) const { return pool[order[index]].text; }
};

ListBox* FindListBox(HWND hwnd);  // null unless a live list box
void PaintListBox(HWND hwnd);     // WM_PAINT

}  // namespace plat
