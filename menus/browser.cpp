#include "menus/browser.h"

// Until the browser exists its rows lead nowhere.
void ListFolder(HWND, const WCHAR*) {}
bool RowFullName(HWND, int32_t, WCHAR* name, bool* isFolder) {
  name[0] = 0;
  *isFolder = false;
  return false;
}
void OpenBrowseRow(HWND, int32_t) {}
void BrowseUp(HWND) {}
