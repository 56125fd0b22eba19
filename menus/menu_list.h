// MenuList, the list box that shows every menu and folder listing, and how a
// text becomes one of its rows.
#pragma once

#include "platform/base.h"

enum class RowKind : int32_t { Plain = 0, Arrow = 1 };

// Rows that lead to another screen end in this: a tab, so that the arrows of
// short rows line up at the list's tab stop, and the arrow.
inline constexpr WCHAR kArrowSuffix[] = u"\t>";
inline constexpr int kArrowSuffixChars = 2;
// What a text cut to fit ends in.
inline constexpr WCHAR kEllipsis[] = u"...";
inline constexpr int kEllipsisChars = 3;

// Creates MenuList as a child of the main window and sets its font, row
// height, tab stop and selection; showing a menu in it is the caller's.
void CreateMenuList(HWND mainWindow);

// Fits the text to the list's width (leaving room for the arrow of an Arrow
// row), adds the arrow suffix and inserts the row sorted or at the end.
// Returns the row's index, negative when the list refused it.
int32_t AddMenuRow(HWND list, const WCHAR* text, RowKind kind, bool sorted);

// Cuts the text (a buffer of 256) so that it with "..." appended fits the
// width measured on app.measureDC; a text that fits is left as it is.
void EllipsizeToWidth(WCHAR* text, int32_t maxWidth);

// Keeps only the characters after the last separator. The first character is
// never tested, so a text without one loses its first character.
void KeepAfterLast(WCHAR* text, WCHAR separator);

// Start and end of every refill of the list: drawing is suspended and the
// rows removed; at the end drawing resumes and the list and the ScrollBar
// pane repaint once. Adding rows and choosing the selection come between.
void BeginRefill(HWND list);
void EndRefill(HWND list);
