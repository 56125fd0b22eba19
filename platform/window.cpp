// Window classes, creation and destruction, visibility, focus, invalidation
// and painting. Everything here runs on the user-interface thread.
#include <algorithm>
#include <cstring>
#include <map>

#include "platform/gdi.h"
#include "platform/strings.h"
#include "platform/test_hooks.h"
#include "platform/window_table.h"

LRESULT ListBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);  // listbox.cpp

namespace plat {
namespace {

struct ClassInfo {
  WNDPROC proc;
  HBRUSH background;
  HICON icon;
};

std::vector<std::unique_ptr<Window>> windows(1);  // slot 0 is never a window
std::map<std::u16string, ClassInfo> classes;
HWND focus = nullptr;

// Handles are even, so that the device's "handle | 1" never names another window.
HWND HandleOfSlot(size_t slot) {
  return reinterpret_cast<HWND>(static_cast<uintptr_t>(slot) << 1);
}
size_t SlotOfHandle(HWND hwnd) {
  uintptr_t value = reinterpret_cast<uintptr_t>(hwnd);
  return (value & 1) ? 0 : value >> 1;
}

std::u16string ClassKey(std::u16string_view name) {
  std::u16string key(name);
  for (char16_t& c : key) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
  }
  return key;
}

const ClassInfo* FindClass(std::u16string_view name) {
  if (ClassKey(name) == u"LISTBOX") {
    static const ClassInfo listBox{ListBoxProc, nullptr, nullptr};
    return &listBox;
  }
  auto it = classes.find(ClassKey(name));
  return it == classes.end() ? nullptr : &it->second;
}

// The window's rectangle on the screen, border included.
RECT ScreenRect(const Window& w) {
  RECT rc = w.rect;
  for (const Window* p = Find(w.parent); p; p = Find(p->parent)) {
    int border = BorderWidth(*p);
    OffsetRect(&rc, p->rect.left + border, p->rect.top + border);
  }
  return rc;
}

void FillOwners(const Window& w, const RECT& limit, uint16_t slot) {
  RECT rc, whole = ScreenRect(w);
  if (!IntersectRect(&rc, &limit, &whole)) return;
  Screen& screen = TheScreen();
  for (int y = rc.top; y < rc.bottom; ++y) {
    std::fill_n(&screen.owner[y * kScreenWidth + rc.left], rc.right - rc.left, slot);
  }
  RECT client;
  ClientRectOnScreen(w.handle, &client);
  IntersectRect(&client, &client, &rc);
  for (HWND child : w.children) {
    const Window* c = Find(child);
    if (c && c->visible) FillOwners(*c, client, static_cast<uint16_t>(WindowSlot(child)));
  }
}

void InvalidateTree(Window& w) {
  GetClientRect(w.handle, &w.invalid);
  w.erase = true;
  for (HWND child : w.children) {
    if (Window* c = Find(child)) InvalidateTree(*c);
  }
}

// Invalidates, with erasing, what a screen rectangle covers of the window and
// of its shown descendants.
void InvalidateScreenArea(Window& w, const RECT& area) {
  if (!w.visible) return;
  RECT client, part;
  ClientRectOnScreen(w.handle, &client);
  if (IntersectRect(&part, &client, &area)) {
    OffsetRect(&part, -client.left, -client.top);
    InvalidateRect(w.handle, &part, TRUE);
  }
  for (HWND child : w.children) {
    if (Window* c = Find(child)) InvalidateScreenArea(*c, area);
  }
}

void DrawBorder(const Window& w) {
  if (BorderWidth(w) == 0) return;
  RECT rc = ScreenRect(w);
  Dc dc;
  dc.ownerSlot = WindowSlot(w.handle);
  dc.clip = rc;
  for (int x = rc.left; x < rc.right; ++x) {
    for (int y : {static_cast<int>(rc.top), static_cast<int>(rc.bottom) - 1}) {
      if (CanDraw(dc, x, y)) BlendPixel(x, y, 0, 255);
    }
  }
  for (int y = rc.top; y < rc.bottom; ++y) {
    for (int x : {static_cast<int>(rc.left), static_cast<int>(rc.right) - 1}) {
      if (CanDraw(dc, x, y)) BlendPixel(x, y, 0, 255);
    }
  }
  MarkDirty(rc);
}

}  // namespace

Window* Find(HWND hwnd) {
  size_t slot = SlotOfHandle(hwnd);
  if (slot == 0 || slot >= windows.size() || !windows[slot] || !windows[slot]->alive) {
    return nullptr;
  }
  return windows[slot].get();
}

std::vector<std::unique_ptr<Window>>& Windows() {
  return windows;
}

int WindowSlot(HWND hwnd) {
  return Find(hwnd) ? static_cast<int>(SlotOfHandle(hwnd)) : 0;
}

int BorderWidth(const Window& w) {
  return (w.style & WS_BORDER) ? 1 : 0;
}

bool IsShown(const Window& w) {
  for (const Window* p = &w; p; p = Find(p->parent)) {
    if (!p->visible) return false;
  }
  return true;
}

bool ClientRectOnScreen(HWND hwnd, RECT* rc) {
  const Window* w = Find(hwnd);
  if (!w) return false;
  *rc = ScreenRect(*w);
  InflateRect(rc, -BorderWidth(*w), -BorderWidth(*w));
  return IsShown(*w);
}

HWND TopLevelWindow() {
  for (auto& w : windows) {
    if (w && w->alive && !w->parent) return w->handle;
  }
  return nullptr;
}

void RecomputeOwners() {
  Screen& screen = TheScreen();
  std::fill(std::begin(screen.owner), std::end(screen.owner), uint16_t{0});
  const RECT whole{0, 0, kScreenWidth, kScreenHeight};
  for (auto& w : windows) {
    if (w && w->alive && !w->parent && w->visible) {
      FillOwners(*w, whole, static_cast<uint16_t>(WindowSlot(w->handle)));
    }
  }
}

void ResetWindowsForTests() {
  windows.clear();
  windows.resize(1);
  classes.clear();
  focus = nullptr;
  RecomputeOwners();
}

}  // namespace plat

using namespace plat;

WORD RegisterClassW(const WNDCLASSW* wc) {
  if (!wc || !wc->lpszClassName || !wc->lpfnWndProc || FindClass(wc->lpszClassName)) return 0;
  classes[ClassKey(wc->lpszClassName)] = ClassInfo{wc->lpfnWndProc, wc->hbrBackground, wc->hIcon};
  return static_cast<WORD>(classes.size());
}

HWND CreateWindowExW(DWORD, const WCHAR* className, const WCHAR* text, DWORD style, int x, int y,
                     int width, int height, HWND parent, void* menuOrId, HINSTANCE, void*) {
  const ClassInfo* cls = className ? FindClass(className) : nullptr;
  if (!cls || (parent && !Find(parent)) || windows.size() >= 0xFFFF) return nullptr;
  if (!parent && TopLevelWindow() == nullptr && !Backend().Open(ToUtf8(View(text)).c_str())) {
    return nullptr;
  }
  auto w = std::make_unique<Window>();
  w->handle = HandleOfSlot(windows.size());
  w->className = className;
  w->text = View(text);
  w->proc = cls->proc;
  w->background = cls->background;
  w->parent = parent;
  w->style = style;
  w->id = parent ? static_cast<int>(reinterpret_cast<intptr_t>(menuOrId)) : 0;
  w->rect = RECT{x, y, x + std::max(width, 0), y + std::max(height, 0)};
  HWND hwnd = w->handle;
  windows.push_back(std::move(w));
  if (Window* p = Find(parent)) p->children.push_back(hwnd);

  if (SendMessageW(hwnd, WM_CREATE, 0, 0) == -1) {
    DestroyWindow(hwnd);
    return nullptr;
  }
  if (!Find(hwnd)) return nullptr;  // destroyed while being created
  if (!parent) {
    if (const BitmapData* icon = BitmapOf(cls->icon)) Backend().SetIcon(*icon);
    PublishWindow(hwnd, View(className), View(text));
  }
  if (style & WS_VISIBLE) ShowWindow(hwnd, SW_SHOW);
  return hwnd;
}

BOOL DestroyWindow(HWND hwnd) {
  Window* w = Find(hwnd);
  if (!w) return FALSE;
  bool wasShown = IsShown(*w);
  RECT covered = ScreenRect(*w);
  SendMessageW(hwnd, WM_DESTROY, 0, 0);
  // Children in creation order, each with its own WM_DESTROY.
  std::vector<HWND> children = Find(hwnd) ? Find(hwnd)->children : std::vector<HWND>{};
  for (HWND child : children) DestroyWindow(child);
  w = Find(hwnd);
  if (!w) return TRUE;
  w->alive = false;
  w->children.clear();
  if (Window* p = Find(w->parent)) {
    std::erase(p->children, hwnd);
  }
  if (focus == hwnd) focus = nullptr;
  ForgetWindowMessages(hwnd);
  if (!w->parent) {
    UnpublishWindow(hwnd);
    Backend().Close();
  }
  RecomputeOwners();
  if (wasShown && w->parent) {
    if (Window* p = Find(w->parent)) InvalidateScreenArea(*p, covered);
  }
  return TRUE;
}

BOOL IsWindow(HWND hwnd) {
  return Find(hwnd) != nullptr;
}

HWND GetDlgItem(HWND parent, int id) {
  const Window* p = Find(parent);
  if (!p) return nullptr;
  for (HWND child : p->children) {
    const Window* c = Find(child);
    if (c && c->id == id) return child;
  }
  return nullptr;
}

int GetDlgCtrlID(HWND hwnd) {
  const Window* w = Find(hwnd);
  return w ? w->id : 0;
}

HWND GetParent(HWND hwnd) {
  const Window* w = Find(hwnd);
  return w ? w->parent : nullptr;
}

BOOL GetClientRect(HWND hwnd, RECT* rc) {
  const Window* w = Find(hwnd);
  if (!w || !rc) return FALSE;
  int border = BorderWidth(*w);
  *rc = RECT{0, 0, std::max(0, static_cast<int>(w->rect.right - w->rect.left) - 2 * border),
             std::max(0, static_cast<int>(w->rect.bottom - w->rect.top) - 2 * border)};
  return TRUE;
}

BOOL GetWindowRect(HWND hwnd, RECT* rc) {
  const Window* w = Find(hwnd);
  if (!w || !rc) return FALSE;
  *rc = ScreenRect(*w);
  return TRUE;
}

int GetWindowTextW(HWND hwnd, WCHAR* buffer, int size) {
  const Window* w = Find(hwnd);
  if (!buffer || size <= 0) return 0;
  StringCchCopyW(buffer, size, w ? w->text.c_str() : u"");
  return lstrlenW(buffer);
}

BOOL SetWindowTextW(HWND hwnd, const WCHAR* text) {
  Window* w = Find(hwnd);
  if (!w) return FALSE;
  w->text = View(text);
  return TRUE;
}

HINSTANCE GetModuleHandleW(const WCHAR*) {
  return reinterpret_cast<HINSTANCE>(uintptr_t{0x400000});
}

BOOL ShowWindow(HWND hwnd, int cmd) {
  if (IsRemoteWindow(hwnd)) return RemoteShowWindow(hwnd, cmd);
  Window* w = Find(hwnd);
  if (!w) return FALSE;
  bool show = cmd != SW_HIDE;
  bool was = w->visible;
  if (show == was) return was;
  RECT covered = ScreenRect(*w);
  w->visible = show;
  RecomputeOwners();
  if (!w->parent) {
    Backend().SetVisible(show);
    // The framebuffer is not kept up to date while hidden: repaint it all.
    if (show) InvalidateTree(*w);
  } else if (show) {
    InvalidateTree(*w);
  } else if (Window* p = Find(w->parent)) {
    InvalidateScreenArea(*p, covered);
  }
  if (show) DrawBorder(*w);
  SendMessageW(hwnd, WM_SHOWWINDOW, show, 0);
  return was;
}

BOOL IsWindowVisible(HWND hwnd) {
  const Window* w = Find(hwnd);
  return w && IsShown(*w);
}

BOOL SetForegroundWindow(HWND hwnd) {
  // The device asks for the low bit to be set when bringing a window forward.
  HWND plain = reinterpret_cast<HWND>(reinterpret_cast<uintptr_t>(hwnd) & ~uintptr_t{1});
  if (IsRemoteWindow(plain)) return RemoteSetForegroundWindow(plain);
  const Window* w = Find(plain);
  if (!w) return FALSE;
  if (!w->parent) Backend().Raise();
  return TRUE;
}

HWND SetFocus(HWND hwnd) {
  if (hwnd && !Find(hwnd)) return nullptr;
  HWND old = focus;
  if (old == hwnd) return old;
  focus = hwnd;
  if (Find(old)) SendMessageW(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
  if (hwnd) SendMessageW(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
  return old;
}

HWND GetFocus() {
  return Find(focus) ? focus : nullptr;
}

HWND FindWindowW(const WCHAR* className, const WCHAR* title) {
  for (auto& w : windows) {
    if (!w || !w->alive || w->parent) continue;
    if (className && ClassKey(w->className) != ClassKey(className)) continue;
    if (title && w->text != title) continue;
    return w->handle;
  }
  // Other processes are asked only for a class and title together: that is
  // how one player finds another.
  if (className && title) return FindRemoteWindow(className, title);
  return nullptr;
}

BOOL InvalidateRect(HWND hwnd, const RECT* rc, BOOL erase) {
  if (!hwnd) hwnd = TopLevelWindow();
  Window* w = Find(hwnd);
  if (!w) return FALSE;
  RECT client, part;
  GetClientRect(hwnd, &client);
  if (rc) {
    IntersectRect(&part, rc, &client);
  } else {
    part = client;
  }
  if (IsRectEmpty(&part)) return TRUE;
  UnionRect(&w->invalid, &w->invalid, &part);
  w->erase = w->erase || erase;
  return TRUE;
}

BOOL ValidateRect(HWND hwnd, const RECT*) {
  Window* w = Find(hwnd);
  if (!w) return FALSE;
  w->invalid = RECT{};
  w->erase = false;
  return TRUE;
}

BOOL GetUpdateRect(HWND hwnd, RECT* rc, BOOL) {
  const Window* w = Find(hwnd);
  if (!w) return FALSE;
  if (rc) *rc = w->invalid;
  return !IsRectEmpty(&w->invalid);
}

BOOL UpdateWindow(HWND hwnd) {
  const Window* w = Find(hwnd);
  if (!w) return FALSE;
  if (IsShown(*w) && !IsRectEmpty(&w->invalid)) SendMessageW(hwnd, WM_PAINT, 0, 0);
  return TRUE;
}

HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps) {
  Window* w = Find(hwnd);
  if (!w || !ps) return nullptr;
  RECT client;
  ClientRectOnScreen(hwnd, &client);
  ps->rcPaint = w->invalid;
  bool erase = w->erase;
  w->invalid = RECT{};
  w->erase = false;
  RECT area = ps->rcPaint;
  OffsetRect(&area, client.left, client.top);
  ps->hdc = CreateWindowDc(hwnd, &area);
  DrawBorder(*w);
  ps->fErase = erase && !SendMessageW(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(ps->hdc), 0);
  return ps->hdc;
}

BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* ps) {
  if (!ps) return FALSE;
  ReleaseDC(hwnd, ps->hdc);
  return TRUE;
}
