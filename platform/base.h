// Basic types, handles and records shared by every platform area. They are
// spelled as the handheld spelled them so the player's code reads like the
// device code it was designed as; the values are our own declarations.
#pragma once

#include <cstddef>
#include <cstdint>

using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using UINT = uint32_t;
using LONG = int32_t;
using BOOL = int32_t;
using WCHAR = char16_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using UINT_PTR = uintptr_t;
using COLORREF = uint32_t;  // 0x00BBGGRR

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;
constexpr int MAX_PATH = 260;

// Opaque handles: values are looked up in platform tables, never dereferenced.
struct HWND__;
struct HDC__;
struct HINSTANCE__;
struct HKEY__;
using HWND = HWND__*;
using HDC = HDC__*;
using HINSTANCE = HINSTANCE__*;
using HKEY = HKEY__*;
using HANDLE = void*;
using HGDIOBJ = void*;
struct HBRUSH__;
struct HFONT__;
struct HBITMAP__;
struct HICON__;
using HBRUSH = HBRUSH__*;
using HFONT = HFONT__*;
using HBITMAP = HBITMAP__*;
using HICON = HICON__*;

inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(intptr_t{-1});

struct POINT {
  LONG x;
  LONG y;
};

struct SIZE {
  LONG cx;
  LONG cy;
};

// Right and bottom edges are exclusive.
struct RECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};

constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) {
  return COLORREF{r} | (COLORREF{g} << 8) | (COLORREF{b} << 16);
}
constexpr BYTE GetRValue(COLORREF c) {
  return static_cast<BYTE>(c);
}
constexpr BYTE GetGValue(COLORREF c) {
  return static_cast<BYTE>(c >> 8);
}
constexpr BYTE GetBValue(COLORREF c) {
  return static_cast<BYTE>(c >> 16);
}

constexpr WORD LOWORD(uintptr_t v) {
  return static_cast<WORD>(v & 0xFFFF);
}
constexpr WORD HIWORD(uintptr_t v) {
  return static_cast<WORD>((v >> 16) & 0xFFFF);
}
constexpr LPARAM MAKELPARAM(WORD lo, WORD hi) {
  return static_cast<LPARAM>(static_cast<DWORD>(lo) | (static_cast<DWORD>(hi) << 16));
}
constexpr WPARAM MAKEWPARAM(WORD lo, WORD hi) {
  return static_cast<WPARAM>(static_cast<DWORD>(lo) | (static_cast<DWORD>(hi) << 16));
}

// Resource names may be numbers (icon 101) as on the device.
inline const WCHAR* MAKEINTRESOURCEW(WORD id) {
  return reinterpret_cast<const WCHAR*>(static_cast<uintptr_t>(id));
}
inline bool IS_INTRESOURCE(const WCHAR* name) {
  return (reinterpret_cast<uintptr_t>(name) >> 16) == 0;
}

BOOL PtInRect(const RECT* rc, POINT pt);
BOOL SetRect(RECT* rc, int left, int top, int right, int bottom);
BOOL IsRectEmpty(const RECT* rc);
BOOL IntersectRect(RECT* dst, const RECT* a, const RECT* b);
BOOL UnionRect(RECT* dst, const RECT* a, const RECT* b);
BOOL OffsetRect(RECT* rc, int dx, int dy);
BOOL InflateRect(RECT* rc, int dx, int dy);
