// The list box's state, shared by listbox.cpp (messages) and
// listbox_paint.cpp (drawing) only; the player talks to a list through
// messages (platform/window.h).
#pragma once

#include <algorithm>
#include <memory>
#include <vector>

#include "platform/internal.h"

namespace plat {

// The rows in list order, as a gap buffer: the sorted rows of a refill come
// in runs of rising order, so each insertion lands at or near the last one
// and moves few rows, where a plain array would move half of them.
template <typename T>
class GapBuffer {
 public:
  size_t size() const { return capacity_ - (gapEnd_ - gap_); }
  size_t gap() const { return gap_; }  // where the last insertion went
  T& operator[](size_t i) { return buffer_[i < gap_ ? i : i + gapEnd_ - gap_]; }
  const T& operator[](size_t i) const { return buffer_[i < gap_ ? i : i + gapEnd_ - gap_]; }

  void Insert(size_t i, const T& value) {  // may throw std::bad_alloc, changing nothing
    if (gap_ == gapEnd_) {
      // Full: a buffer twice as long, its gap where the last one's was. The
      // gap's memory is not written until rows fill it.
      size_t count = size();
      size_t capacity = std::max<size_t>(16, count * 2);
      auto grown = std::make_unique_for_overwrite<T[]>(capacity);
      std::copy(buffer_.get(), buffer_.get() + gap_, grown.get());
      std::copy(buffer_.get() + gapEnd_, buffer_.get() + capacity_,
                grown.get() + capacity - (count - gap_));
      buffer_ = std::move(grown);
      capacity_ = capacity;
      gapEnd_ = capacity - (count - gap_);
    }
    MoveGap(i);
    buffer_[gap_++] = value;
  }
  void Erase(size_t i) {
    MoveGap(i);
    ++gapEnd_;
  }
  void Clear() { *this = GapBuffer{}; }

 private:
  void MoveGap(size_t i) {
    T* b = buffer_.get();
    if (i < gap_) {
      std::copy_backward(b + i, b + gap_, b + gapEnd_);
      gapEnd_ -= gap_ - i;
    } else if (i > gap_) {
      std::copy(b + gapEnd_, b + gapEnd_ + (i - gap_), b + gap_);
      gapEnd_ += i - gap_;
    }
    gap_ = i;
  }

  std::unique_ptr<T[]> buffer_;
  size_t capacity_ = 0;
  size_t gap_ = 0;  // buffer_[gap_, gapEnd_) holds nothing
  size_t gapEnd_ = 0;
};

// Where row texts lie: packed into blocks that never move, so a long listing
// costs its characters and no allocation of its own per row. A row whose
// characters all lie below U+0100 (most names) takes a byte a character.
template <typename Char>
struct TextBlocks {
  static constexpr size_t kBlockChars = 32768;  // more than any row
  std::vector<std::unique_ptr<Char[]>> blocks;
  size_t used = 0;  // characters taken in the last block

  // Room for count characters; where it lies, as block << 16 | offset.
  uint32_t Take(size_t count) {  // may throw std::bad_alloc, changing nothing
    if (blocks.empty() || used + count > kBlockChars) {
      blocks.push_back(std::make_unique_for_overwrite<Char[]>(kBlockChars));
      used = 0;
    }
    used += count;
    return static_cast<uint32_t>((blocks.size() - 1) << 16 | (used - count));
  }
  Char* At(uint32_t at) const { return blocks[at >> 16].get() + (at & 0xFFFF); }
};

struct ListBox {
  struct Row {
    LPARAM data = 0;     // pointer-sized: a folder listing keeps whole ordinals in it
    uint32_t at = 0;     // where the text lies in its blocks
    uint8_t length = 0;  // at most 255 characters
    bool wide = false;   // in wideTexts with a terminator, else in narrowTexts
  };
  using RowText = char16_t[256];  // any row's text with its terminator

  TextBlocks<char> narrowTexts;  // the text of a deleted row stays until the list is reset
  TextBlocks<char16_t> wideTexts;
  GapBuffer<Row> rows;
  int selected = -1;
  int top = 0;  // the first visible row
  int itemHeight = 18;
  std::vector<int> tabStops;  // in dialog units; empty: the default spacing
  HFONT font = nullptr;       // null: the context's default font
  bool redraw = true;         // WM_SETREDRAW

  // The row's text, zero-terminated: where it lies, or widened into the buffer.
  const char16_t* TextAt(int index, RowText& buffer) const {
    const Row& row = rows[index];
    if (row.wide) return wideTexts.At(row.at);
    const char* text = narrowTexts.At(row.at);
    for (int i = 0; i < row.length; ++i) buffer[i] = static_cast<unsigned char>(text[i]);
    buffer[row.length] = 0;
    return buffer;
  }
  int LengthAt(int index) const { return rows[index].length; }
};

ListBox* FindListBox(HWND hwnd);  // null unless a live list box
void PaintListBox(HWND hwnd);     // WM_PAINT

}  // namespace plat
