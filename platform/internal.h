// Shared by the platform's own .cpp files only; the player never includes it.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base.h"
#include "platform/window.h"

namespace plat {

constexpr int kScreenWidth = 240;
constexpr int kScreenHeight = 320;

// ---- Names and paths -------------------------------------------------------

// A file-system name (bytes) as UTF-16: UTF-8 decodes, bytes that are not
// UTF-8 become U+DC80..U+DCFF and a backslash, '*' and '?' become U+F05C,
// U+F02A and U+F03F, so that every name can be shown, kept in a device path
// and turned back into its bytes, and none is read as a pattern.
std::u16string NameFromBytes(std::string_view bytes);
// The same into a buffer of at least bytes.size() characters; returns how many.
size_t NameFromBytes(std::string_view bytes, char16_t* out);
std::string NameToBytes(std::u16string_view name);
// Text for libraries and messages: UTF-8, lone surrogates as U+FFFD.
std::string ToUtf8(std::u16string_view text);
std::u16string FromUtf8(std::string_view text);  // invalid bytes as U+FFFD
std::u16string_view View(const WCHAR* text);     // empty for null
// Whether two characters are the same letter, case and accents aside ("É", "e").
bool SameBaseLetter(char16_t a, char16_t b);
// A backslash path whose components are names as above, as a real path with
// slashes ("\work\build\Tolo.ttf" -> "/work/build/Tolo.ttf").
std::string DevicePathToReal(std::u16string_view path);
std::u16string RealPathToDevice(std::string_view path);
// $HOME, else the user's entry in the password file; "" when neither.
std::string HomeFolder();
// $XDG_CONFIG_HOME when it is absolute, else ~/.config; "" without a home.
std::string ConfigFolder();
// A device path of a file ("\Albums\song.mp3") as the real path under
// the music root; none for names that would leave it or do not fit.
std::optional<std::string> MusicPathToReal(std::u16string_view path);
// Hands the memory of a big folder's search, once closed, back to the system.
void ReturnFreedMemory();

// ---- Screen ----------------------------------------------------------------

// The framebuffer, 0x00RRGGBB per pixel, and for every pixel the slot of the
// topmost visible window there (0: none), which is how a window's context is
// clipped to what of it shows.
struct Screen {
  uint32_t pixels[kScreenWidth * kScreenHeight];
  uint16_t owner[kScreenWidth * kScreenHeight];
  RECT dirty;  // drawn since the last present
  int presents;
};
Screen& TheScreen();
void MarkDirty(const RECT& rc);
void PresentIfDirty();

inline uint32_t ToPixel(COLORREF c) {
  return (uint32_t{GetRValue(c)} << 16) | (uint32_t{GetGValue(c)} << 8) | GetBValue(c);
}
inline COLORREF ToColor(uint32_t p) {
  return RGB(static_cast<BYTE>(p >> 16), static_cast<BYTE>(p >> 8), static_cast<BYTE>(p));
}

// ---- Windows ---------------------------------------------------------------

// Recomputes which window owns each pixel; called on every change of
// visibility, creation and destruction.
void RecomputeOwners();
int WindowSlot(HWND hwnd);  // 0 when the handle is not a live window
// The client rectangle in screen pixels, and whether the window shows.
bool ClientRectOnScreen(HWND hwnd, RECT* rc);
// Runs a task on the user-interface thread at its next message; any thread.
void RunOnUiThread(std::function<void()> task);
HWND TopLevelWindow();  // the first live top-level window, or 0

// ---- Drawing contexts and objects ------------------------------------------

struct FontData;  // text.cpp

struct BitmapData {
  int width = 0;
  int height = 0;
  int bitsPerPixel = 0;          // of the resource as stored
  std::vector<uint32_t> pixels;  // 0x00RRGGBB, top row first (icons: alpha in the top byte)
};

struct Dc {
  HWND hwnd = nullptr;  // 0: the whole screen
  int ownerSlot = 0;    // 0: no ownership test (screen context)
  POINT origin{};       // screen position of the context's (0, 0)
  RECT clip{};          // screen pixels that may be drawn
  HGDIOBJ brush = nullptr;
  HGDIOBJ font = nullptr;
  COLORREF bkColor = RGB(255, 255, 255);
  COLORREF textColor = RGB(0, 0, 0);
  int bkMode = 2;  // OPAQUE
};

Dc* LookupDc(HDC hdc);
// A context for a window clipped to an extra screen rectangle (BeginPaint).
HDC CreateWindowDc(HWND hwnd, const RECT* extraClip);
// Whether the context may draw on the screen pixel (sx, sy).
inline bool CanDraw(const Dc& dc, int sx, int sy) {
  if (sx < dc.clip.left || sx >= dc.clip.right || sy < dc.clip.top || sy >= dc.clip.bottom)
    return false;
  return dc.ownerSlot == 0 || TheScreen().owner[sy * kScreenWidth + sx] == dc.ownerSlot;
}
// Mixes the colour into a screen pixel with coverage 0..255.
void BlendPixel(int sx, int sy, uint32_t color, int coverage);

std::shared_ptr<FontData> FontOf(HGDIOBJ font);      // null if not a font
HFONT RegisterFont(std::shared_ptr<FontData> font);  // a new handle for it
const BitmapData* BitmapOf(HGDIOBJ bitmap);          // null if not a bitmap
bool BrushColor(HGDIOBJ brush, COLORREF* color);     // false for the null brush

// ---- Resources compiled into the program -----------------------------------

struct EmbeddedResource {
  const char* name;  // "IDB_ROTARY", "CLICK", "101"
  const char* type;  // "BITMAP", "WAVE", "ICON"
  const unsigned char* data;
  size_t size;
};
extern const EmbeddedResource kEmbeddedResources[];  // generated from resources.list
extern const size_t kEmbeddedResourceCount;
const EmbeddedResource* FindEmbeddedResource(std::u16string_view name, const char* type);
bool DecodeBmp(const unsigned char* data, size_t size, BitmapData* out);
bool DecodeIco(const unsigned char* data, size_t size, BitmapData* out);  // the largest image

// ---- The display backend ---------------------------------------------------

struct InputEvent {
  enum Kind { Stylus, Key, Char, Close, Expose, Wheel } kind = Stylus;
  UINT message = 0;  // Stylus: WM_LBUTTONDOWN, WM_MOUSEMOVE or WM_LBUTTONUP
  int x = 0;         // screen pixels, clamped to the screen
  int y = 0;
  UINT key = 0;   // Key: a virtual key; Char: a typed character
  int delta = 0;  // Wheel: WHEEL_DELTA per notch, positive away from the user
};

class DisplayBackend {
 public:
  virtual ~DisplayBackend() = default;
  // Opens the desktop window for the framebuffer; false when it cannot.
  // Whether a window would be seen (for the desktop: a real video driver).
  virtual bool CanShowWindows() { return true; }
  virtual bool Open(const char* title) = 0;
  virtual void Close() = 0;
  virtual void SetVisible(bool visible) = 0;
  virtual void Raise() = 0;
  virtual void SetIcon(const BitmapData& icon) = 0;
  virtual void Present(const uint32_t* pixels, const RECT& dirty) = 0;
  // The next input event, waiting up to timeoutMs (-1: until one comes or
  // Wake is called). False when none came.
  virtual bool WaitInput(InputEvent* event, int timeoutMs) = 0;
  virtual void Wake() = 0;  // any thread
  virtual DWORD Ticks() = 0;
  virtual void Delay(DWORD ms) = 0;
  virtual void ShowMessage(const char* caption, const char* text) = 0;
  virtual bool BatteryPercent(int* percent) = 0;
  virtual void KeepAwake(bool awake) = 0;
};
DisplayBackend& Backend();
std::unique_ptr<DisplayBackend> MakeSdlBackend();
std::unique_ptr<DisplayBackend> MakeHeadlessBackend();

// ---- Other processes (instance.cpp) ----------------------------------------

// A window of another player process, reached through its socket. Handles of
// such windows carry this tag in their top bits.
constexpr uintptr_t kRemoteWindowTag = uintptr_t{0x5A} << 24;
bool IsRemoteWindow(HWND hwnd);
HWND FindRemoteWindow(std::u16string_view className, std::u16string_view title);
BOOL RemoteShowWindow(HWND hwnd, int cmd);
BOOL RemoteSetForegroundWindow(HWND hwnd);
BOOL RemotePostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Called for every top-level window created and destroyed.
void PublishWindow(HWND hwnd, std::u16string_view className, std::u16string_view title);
void UnpublishWindow(HWND hwnd);

}  // namespace plat
