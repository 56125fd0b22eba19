// Placeholder until the single-instance socket lands: this process only.
#include "platform/internal.h"

namespace plat {
bool IsRemoteWindow(HWND hwnd) {
  return (reinterpret_cast<uintptr_t>(hwnd) & ~uintptr_t{0xFFFFFF}) == kRemoteWindowTag;
}
HWND FindRemoteWindow(std::u16string_view, std::u16string_view) {
  return nullptr;
}
BOOL RemoteShowWindow(HWND, int) {
  return FALSE;
}
BOOL RemoteSetForegroundWindow(HWND) {
  return FALSE;
}
BOOL RemotePostMessage(HWND, UINT, WPARAM, LPARAM) {
  return FALSE;
}
void PublishWindow(HWND, std::u16string_view, std::u16string_view) {}
void UnpublishWindow(HWND) {}
void ResetInstanceForTests() {}
}  // namespace plat
