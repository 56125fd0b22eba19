// Drawing on the one 240 x 320 framebuffer that is the screen: device
// contexts, solid brushes, bitmaps from the program's resources and the few
// operations the painters use. Right and bottom edges are exclusive; a
// polyline does not paint its last point.
#pragma once

#include "platform/base.h"

struct BITMAP {
  LONG bmType;
  LONG bmWidth;
  LONG bmHeight;
  LONG bmWidthBytes;
  WORD bmPlanes;
  WORD bmBitsPixel;  // depth of the resource as stored
  void* bmBits;
};

constexpr DWORD PATCOPY = 0x00F00021;
constexpr DWORD SRCCOPY = 0x00CC0020;
constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;
constexpr int HORZRES = 8;
constexpr int VERTRES = 10;
constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;

enum StockObject : int { WHITE_BRUSH = 0, BLACK_BRUSH = 4, NULL_BRUSH = 5, BLACK_PEN = 7 };

// Contexts. GetDC(window) has its origin at the window's client corner and is
// clipped to what of the window shows (nothing while it is hidden). GetDC(0)
// is the whole screen.
HDC GetDC(HWND hwnd);
int ReleaseDC(HWND hwnd, HDC hdc);
int GetDeviceCaps(HDC hdc, int index);

// Objects.
HBRUSH CreateSolidBrush(COLORREF color);
HGDIOBJ GetStockObject(int object);
HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object);  // returns the one it replaces, 0 on failure
BOOL DeleteObject(HGDIOBJ object);              // deleting a stock or selected object is refused
int GetObjectW(HGDIOBJ object, int size, void* out);  // BITMAP for bitmaps

COLORREF SetBkColor(HDC hdc, COLORREF color);
COLORREF SetTextColor(HDC hdc, COLORREF color);
int SetBkMode(HDC hdc, int mode);
COLORREF GetPixel(HDC hdc, int x, int y);  // CLR_INVALID outside the clip

// Operations.
int FillRect(HDC hdc, const RECT* rc, HBRUSH brush);
BOOL PatBlt(HDC hdc, int x, int y, int width, int height, DWORD rop);  // selected brush
BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY,
            DWORD rop);  // copies what is on the screen now; overlap-safe
BOOL Polyline(HDC hdc, const POINT* points, int count);  // one-pixel black pen
// Draws a bitmap (the source may be an HBITMAP) leaving pixels of the
// transparent colour untouched; scales with nearest neighbour if sizes differ.
BOOL TransparentImage(HDC dst, int x, int y, int width, int height, HANDLE src, int srcX, int srcY,
                      int srcWidth, int srcHeight, COLORREF transparent);

// Resources compiled into the program, found by the names of its resource list.
HBITMAP LoadBitmapW(HINSTANCE instance, const WCHAR* name);
// The largest image of an icon resource; it becomes the desktop window's icon
// when given as the main window class's icon.
HICON LoadIconW(HINSTANCE instance, const WCHAR* name);

// Shows what was drawn since the last call. The message loop and Sleep call it
// themselves; animations call it once per frame.
BOOL GdiFlush();
