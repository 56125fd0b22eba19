// The list box's state, shared by listbox.cpp (messages) and
// listbox_paint.cpp (drawing) only; the player talks to a list through
// messages (platform/window.h).
#pragma once

#include <memory>
#include <vector>

#include "platform/internal.h"

namespace plat {

// The slot of each row, in list order, as a gap buffer: the sorted rows of a
// refill come in runs of rising order, so each insertion lands at or near the
// last one and moves few entries, where a plain array would move half of them.
class RowOrder {
 public:
  size_t size() const { return buffer_.size() - (gapEnd_ - gap_); }
  size_t gap() const { return gap_; }  // where the last insertion went
  uint32_t operator[](size_t i) const { return buffer_[i < gap_ ? i : i + gapEnd_ - gap_]; }
  void Insert(size_t i, uint32_t slot);  // may throw std::bad_alloc, changing nothing
  void Erase(size_t i);
  void Clear() { *this = RowOrder{}; }

 private:
  void MoveGap(size_t i);
  std::vector<uint32_t> buffer_;
  size_t gap_ = 0;  // buffer_[gap_, gapEnd_) holds no row
  size_t gapEnd_ = 0;
};

struct ListBox {
  struct Row {
    const char16_t* text;  // at most 255 characters, zero-terminated, in the list's blocks
    LPARAM data = 0;       // pointer-sized: a folder listing keeps whole ordinals in it
  };
  // Row texts, packed into blocks that never move: a long listing costs its
  // characters and no allocation of its own per row. The text of a deleted
  // row stays until the list is reset.
  std::vector<std::unique_ptr<char16_t[]>> textBlocks;
  size_t blockUsed = 0;             // characters taken in the last block
  std::vector<Row> pool;            // rows by slot; a slot never moves
  std::vector<uint32_t> freeSlots;  // slots of deleted rows, for reuse
  RowOrder order;
  int selected = -1;
  int top = 0;  // the first visible row
  int itemHeight = 18;
  std::vector<int> tabStops;  // in dialog units; empty: the default spacing
  HFONT font = nullptr;       // null: the context's default font
  bool redraw = true;         // WM_SETREDRAW

  const char16_t* TextAt(int index) const { return pool[order[index]].text; }
};

ListBox* FindListBox(HWND hwnd);  // null unless a live list box
void PaintListBox(HWND hwnd);     // WM_PAINT

}  // namespace plat
