// Rectangle helpers.
#include "platform/base.h"

#include <algorithm>

BOOL PtInRect(const RECT* rc, POINT pt) {
  return rc && pt.x >= rc->left && pt.x < rc->right && pt.y >= rc->top && pt.y < rc->bottom;
}

BOOL SetRect(RECT* rc, int left, int top, int right, int bottom) {
  if (!rc) return FALSE;
  *rc = RECT{left, top, right, bottom};
  return TRUE;
}

BOOL IsRectEmpty(const RECT* rc) {
  return !rc || rc->right <= rc->left || rc->bottom <= rc->top;
}

BOOL IntersectRect(RECT* dst, const RECT* a, const RECT* b) {
  RECT r{std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right),
         std::min(a->bottom, b->bottom)};
  if (IsRectEmpty(&r)) r = RECT{0, 0, 0, 0};
  *dst = r;
  return !IsRectEmpty(&r);
}

BOOL UnionRect(RECT* dst, const RECT* a, const RECT* b) {
  if (IsRectEmpty(a)) {
    *dst = IsRectEmpty(b) ? RECT{0, 0, 0, 0} : *b;
  } else if (IsRectEmpty(b)) {
    *dst = *a;
  } else {
    *dst = RECT{std::min(a->left, b->left), std::min(a->top, b->top), std::max(a->right, b->right),
                std::max(a->bottom, b->bottom)};
  }
  return !IsRectEmpty(dst);
}

BOOL OffsetRect(RECT* rc, int dx, int dy) {
  if (!rc) return FALSE;
  rc->left += dx, rc->right += dx, rc->top += dy, rc->bottom += dy;
  return TRUE;
}

BOOL InflateRect(RECT* rc, int dx, int dy) {
  if (!rc) return FALSE;
  rc->left -= dx, rc->right += dx, rc->top -= dy, rc->bottom += dy;
  return TRUE;
}
