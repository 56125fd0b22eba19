// Windows and messages: classes, creation, the message queue, timers,
// visibility, invalidation and painting. One user-interface thread owns every
// window; PostMessageW is the only call that may come from another thread.
#pragma once

#include "platform/base.h"

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

struct WNDCLASSW {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  void* hCursor;
  HBRUSH hbrBackground;
  const WCHAR* lpszMenuName;
  const WCHAR* lpszClassName;
};

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
};

struct PAINTSTRUCT {
  HDC hdc;
  BOOL fErase;
  RECT rcPaint;
};

// Messages.
constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_SETFOCUS = 0x0007;
constexpr UINT WM_KILLFOCUS = 0x0008;
constexpr UINT WM_SETREDRAW = 0x000B;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_ERASEBKGND = 0x0014;
constexpr UINT WM_SHOWWINDOW = 0x0018;
constexpr UINT WM_FONTCHANGE = 0x001D;
constexpr UINT WM_SETFONT = 0x0030;
constexpr UINT WM_GETFONT = 0x0031;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_CHAR = 0x0102;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_SYSCOMMAND = 0x0112;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_CTLCOLORLISTBOX = 0x0134;
constexpr UINT WM_MOUSEFIRST = 0x0200;
constexpr UINT WM_MOUSEMOVE = 0x0200;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
constexpr UINT WM_MOUSEWHEEL = 0x020A;  // to the main window; delta in the high word of wParam
constexpr UINT WM_MOUSELAST = 0x020A;
constexpr int WHEEL_DELTA = 120;  // one notch
constexpr UINT WM_USER = 0x0400;

// WM_SYSCOMMAND: the desktop window's close button arrives as SC_CLOSE.
constexpr WPARAM SC_CLOSE = 0xF060;

// Window styles.
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_BORDER = 0x00800000;

// Class styles.
constexpr UINT CS_VREDRAW = 0x0001;
constexpr UINT CS_HREDRAW = 0x0002;

// ShowWindow.
constexpr int SW_HIDE = 0;
constexpr int SW_SHOW = 5;

// PeekMessageW.
constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;

// Virtual keys.
constexpr UINT VK_BACK = 0x08;
constexpr UINT VK_RETURN = 0x0D;
constexpr UINT VK_ESCAPE = 0x1B;
constexpr UINT VK_PRIOR = 0x21;  // Page Up
constexpr UINT VK_NEXT = 0x22;   // Page Down
constexpr UINT VK_END = 0x23;
constexpr UINT VK_HOME = 0x24;
constexpr UINT VK_LEFT = 0x25;
constexpr UINT VK_UP = 0x26;
constexpr UINT VK_RIGHT = 0x27;
constexpr UINT VK_DOWN = 0x28;
constexpr UINT VK_SELECT = 0x29;

// The platform's list box class, "LISTBOX".
constexpr DWORD LBS_NOTIFY = 0x0001;
constexpr DWORD LBS_SORT = 0x0002;
constexpr DWORD LBS_USETABSTOPS = 0x0080;
constexpr DWORD LBS_NOINTEGRALHEIGHT = 0x0100;
constexpr UINT LB_ADDSTRING = 0x0180;
constexpr UINT LB_INSERTSTRING = 0x0181;
constexpr UINT LB_DELETESTRING = 0x0182;
constexpr UINT LB_RESETCONTENT = 0x0184;
constexpr UINT LB_SETCURSEL = 0x0186;
constexpr UINT LB_GETCURSEL = 0x0188;
constexpr UINT LB_GETTEXT = 0x0189;
constexpr UINT LB_GETTEXTLEN = 0x018A;
constexpr UINT LB_GETCOUNT = 0x018B;
constexpr UINT LB_SELECTSTRING = 0x018C;
constexpr UINT LB_GETTOPINDEX = 0x018E;
constexpr UINT LB_SETTABSTOPS = 0x0192;
constexpr UINT LB_SETTOPINDEX = 0x0197;
constexpr UINT LB_GETITEMDATA = 0x0199;
constexpr UINT LB_SETITEMDATA = 0x019A;
constexpr UINT LB_SETITEMHEIGHT = 0x01A0;
constexpr UINT LB_GETITEMHEIGHT = 0x01A1;
constexpr LRESULT LB_ERR = -1;
constexpr LRESULT LB_ERRSPACE = -2;
constexpr WORD LBN_SELCHANGE = 1;

// Classes and windows.
WORD RegisterClassW(const WNDCLASSW* wc);  // 0 on failure; re-registering a name fails
HWND CreateWindowExW(DWORD exStyle, const WCHAR* className, const WCHAR* text, DWORD style, int x,
                     int y, int width, int height, HWND parent, void* menuOrId, HINSTANCE instance,
                     void* param);
BOOL DestroyWindow(HWND hwnd);  // sends WM_DESTROY to it and its children
BOOL IsWindow(HWND hwnd);
HWND GetDlgItem(HWND parent, int id);  // first child with that control id
int GetDlgCtrlID(HWND hwnd);
HWND GetParent(HWND hwnd);
BOOL GetClientRect(HWND hwnd, RECT* rc);  // (0, 0, width, height) inside any border
BOOL GetWindowRect(HWND hwnd, RECT* rc);  // in screen pixels, border included
int GetWindowTextW(HWND hwnd, WCHAR* buffer, int size);
BOOL SetWindowTextW(HWND hwnd, const WCHAR* text);
HINSTANCE GetModuleHandleW(const WCHAR* name);  // the program's own instance for null

// Visibility and focus.
BOOL ShowWindow(HWND hwnd, int cmd);  // returns whether it was visible before
BOOL IsWindowVisible(HWND hwnd);      // the window and all its ancestors
BOOL SetForegroundWindow(HWND hwnd);  // raises the desktop window
HWND SetFocus(HWND hwnd);             // returns the window that had the focus
HWND GetFocus();

// Finds a top-level window by class and title, in this process or in another
// player of the same user (see platform/instance.h). When none exists, this
// process reserves the name, so two programs started together cannot both
// miss each other; the window it creates next with that class and title is
// the one others then find.
HWND FindWindowW(const WCHAR* className, const WCHAR* title);

// Messages. HWND_BROADCAST sends to every top-level window.
inline HWND const HWND_BROADCAST = reinterpret_cast<HWND>(uintptr_t{0xFFFF});
LRESULT SendMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
BOOL PostMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);  // any thread
void PostQuitMessage(int exitCode);
// Posted messages first, then input, then WM_PAINT, then due WM_TIMER. Blocks
// without spinning. Returns 0 on WM_QUIT, -1 on a bad argument.
BOOL GetMessageW(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax);
BOOL PeekMessageW(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags);
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageW(const MSG* msg);
LRESULT DefWindowProcW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Timers: one pending WM_TIMER per timer at most; due a full period after set.
UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, void* timerProc);
BOOL KillTimer(HWND hwnd, UINT_PTR id);

// Invalidation and painting.
BOOL InvalidateRect(HWND hwnd, const RECT* rc, BOOL erase);  // null rc: whole client
BOOL ValidateRect(HWND hwnd, const RECT* rc);
BOOL UpdateWindow(HWND hwnd);  // paints now if the window has an update region
BOOL GetUpdateRect(HWND hwnd, RECT* rc, BOOL erase);
HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps);
BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* ps);
