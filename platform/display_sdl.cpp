// The desktop display: the framebuffer in an SDL window, scaled by a whole
// number with nearest-neighbour pixels and letter-boxed, presented through the
// window surface (no GPU renderer: far less memory and a faster start). A
// surface smaller than the screen shows the whole picture scaled down (each
// pixel the average of what it covers), so a small handheld sees it all.
// Mouse buttons and touch (which SDL turns into mouse events) are the stylus.
#include <SDL.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string_view>
#include <thread>

#include "platform/display_x11.h"
#include "platform/gamepad_watch.h"
#include "platform/internal.h"
#include "platform/registry.h"
#include "platform/window.h"

namespace plat {
namespace {

constexpr int kMinimumDecoration = 64;               // room left for a title bar and panels
constexpr const char* kInputDevices = "/dev/input";  // where controllers appear

// A handheld's buttons as the player's keys: the d-pad's up and down scroll,
// left, right and the shoulder buttons go back and forward, A is the centre
// button, B the menu button and Start play/pause.
struct ControllerKey {
  Uint8 button;
  UINT key;
};
constexpr ControllerKey kControllerKeys[] = {
    {SDL_CONTROLLER_BUTTON_DPAD_UP, VK_UP},       {SDL_CONTROLLER_BUTTON_DPAD_DOWN, VK_DOWN},
    {SDL_CONTROLLER_BUTTON_DPAD_LEFT, VK_LEFT},   {SDL_CONTROLLER_BUTTON_LEFTSHOULDER, VK_LEFT},
    {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, VK_RIGHT}, {SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, VK_RIGHT},
    {SDL_CONTROLLER_BUTTON_A, VK_RETURN},         {SDL_CONTROLLER_BUTTON_B, VK_ESCAPE},
    {SDL_CONTROLLER_BUTTON_START, VK_SELECT},
};
// SDL's drivers that show nothing: taken only when asked for by name.
constexpr const char* kInvisibleDrivers[] = {"offscreen", "dummy"};
constexpr int kDisplayAttempts = 10;
constexpr Uint32 kDisplayRetryMs = 200;
constexpr auto kLastCallLimit = std::chrono::seconds(1);
constexpr auto kLastCallLook = std::chrono::milliseconds(20);

bool IsInvisible(const char* driver) {
  const char* asked = std::getenv("SDL_VIDEODRIVER");
  if (!driver || (asked && std::strcmp(asked, driver) == 0)) return false;
  for (const char* invisible : kInvisibleDrivers)
    if (std::strcmp(driver, invisible) == 0) return true;
  return false;
}

// Along one axis of `from` screen pixels drawn as `to` picture pixels:
// picture pixel i shows the screen pixels from first[i] to SpanEnd(first, i).
std::vector<int> SpanStarts(int from, int to) {
  std::vector<int> first(static_cast<size_t>(to) + 1);
  for (int i = 0; i <= to; ++i) first[i] = static_cast<int>(int64_t{i} * from / to);
  return first;
}

int SpanEnd(const std::vector<int>& first, int i) {
  return std::max(first[i + 1], first[i] + 1);
}

// The picture pixels [*begin, *end) that show any of the screen pixels
// [low, high).
void PictureRange(const std::vector<int>& first, int low, int high, int* begin, int* end) {
  int count = static_cast<int>(first.size()) - 1;
  auto at = [&](int value) {
    return static_cast<int>(std::lower_bound(first.begin(), first.begin() + count, value) -
                            first.begin());
  };
  *begin = at(low);
  if (*begin > 0 && SpanEnd(first, *begin - 1) > low) --*begin;
  *end = at(high);
}

// A closed terminal (SIGHUP) ends the player as SIGTERM does, through SDL's
// quit event, so that the settings are saved. Left alone when ignored (nohup).
void ForwardHangUpToTerm() {
  struct sigaction old {};
  if (sigaction(SIGHUP, nullptr, &old) != 0 || old.sa_handler != SIG_DFL) return;
  struct sigaction forward {};
  forward.sa_handler = [](int) { raise(SIGTERM); };
  sigemptyset(&forward.sa_mask);
  sigaction(SIGHUP, &forward, nullptr);
}

// Runs the program's last call on the display, closing its window, which
// waits for the server's answer. A server that goes away meanwhile leaves
// Xlib waiting for good (spinning), and one that hangs holds the quit: once
// the display is lost, or after a second, the program ends here, with the
// settings the quit has just saved written, as its own end would have done.
template <typename Call>
void EndWithin(Call call) {
  std::mutex lock;
  std::condition_variable ended;
  bool done = false;
  std::thread watch([&] {
    std::unique_lock held(lock);
    auto limit = std::chrono::steady_clock::now() + kLastCallLimit;
    while (!done) {
      if (X11DisplayLost() || std::chrono::steady_clock::now() >= limit) {
        RegFlushKey(HKEY_CURRENT_USER);
        _exit(0);
      }
      ended.wait_for(held, kLastCallLook);
    }
  });
  call();
  {
    std::lock_guard held(lock);
    done = true;
  }
  ended.notify_one();
  watch.join();
}

class SdlDisplay : public DisplayBackend {
 public:
  SdlDisplay() {
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    // The screen saver is the user's until music plays (KeepAwake).
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    // Events work without a window, so that posting and waking always can.
    if (SDL_InitSubSystem(SDL_INIT_EVENTS) == 0) {
      wakeEvent_ = SDL_RegisterEvents(1);
      ForwardHangUpToTerm();  // after SDL's own SIGTERM handler is in place
    }
  }

  ~SdlDisplay() override {
    pads_.reset();  // its thread posts events: it ends before they do
    Close();
    SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER | SDL_INIT_VIDEO | SDL_INIT_EVENTS);
  }

  // SDL falls back to a driver that shows nothing when the display server
  // does not answer; one that is only starting, or busy, may answer a moment
  // later.
  bool CanShowWindows() override {
    for (int attempt = 1; !videoReady_; ++attempt) {
      if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "Vesk: cannot open a window: %s\n", SDL_GetError());
        return false;
      }
      const char* driver = SDL_GetCurrentVideoDriver();
      if (!IsInvisible(driver)) break;
      bool displayNamed = std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
      SDL_QuitSubSystem(SDL_INIT_VIDEO);
      if (!displayNamed || attempt == kDisplayAttempts) {
        std::fprintf(stderr,
                     "Vesk: no display to show the window on (SDL found only its \"%s\" driver); "
                     "is DISPLAY or WAYLAND_DISPLAY set?\n",
                     driver ? driver : "");
        return false;
      }
      SDL_Delay(kDisplayRetryMs);
    }
    videoReady_ = true;
    return true;
  }

  bool Open(const char* title) override {
    if (window_) return true;
    if (!CanShowWindows()) return false;
    SDL_Rect usable{0, 0, kScreenWidth, kScreenHeight};
    SDL_GetDisplayUsableBounds(0, &usable);
    Uint32 flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE;
    SDL_Rect place{SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, kScreenWidth, kScreenHeight};
    if (IsHandheld(usable)) {
      flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;  // a small handheld: the screen is ours
      TakeTheScreen(&place);
    } else {
      int scale = std::max(
          1, std::min(usable.w / kScreenWidth, (usable.h - kMinimumDecoration) / kScreenHeight));
      place.w *= scale, place.h *= scale;
    }
    window_ = SDL_CreateWindow(title, place.x, place.y, place.w, place.h, flags);
    if (!window_) {
      std::fprintf(stderr, "Vesk: cannot open a window: %s\n", SDL_GetError());
      return false;
    }
    if (!(flags & SDL_WINDOW_FULLSCREEN_DESKTOP)) {
      SDL_SetWindowMinimumSize(window_, kScreenWidth, kScreenHeight);
    }
    WatchX11Window(window_);
    return true;
  }

  void Close() override {
    if (window_ && !X11DisplayLost()) EndWithin([this] { SDL_DestroyWindow(window_); });
    window_ = nullptr;
    if (icon_) SDL_FreeSurface(icon_);
    icon_ = nullptr;
  }

  void SetVisible(bool visible) override {
    if (!window_ || X11DisplayLost()) return;
    if (visible) {
      SDL_ShowWindow(window_);
    } else {
      SDL_HideWindow(window_);
    }
  }

  void Raise() override {
    if (window_) SDL_RaiseWindow(window_);
  }

  void SetIcon(const BitmapData& icon) override {
    if (!window_ || icon.pixels.empty()) return;
    if (icon_) SDL_FreeSurface(icon_);
    iconPixels_ = icon.pixels;
    icon_ = SDL_CreateRGBSurfaceWithFormatFrom(iconPixels_.data(), icon.width, icon.height, 32,
                                               icon.width * 4, SDL_PIXELFORMAT_ARGB8888);
    if (icon_) SDL_SetWindowIcon(window_, icon_);
  }

  void Present(const uint32_t* pixels, const RECT& dirty) override {
    if (!window_ || X11WindowEnded()) return;
    SDL_Surface* surface = SDL_GetWindowSurface(window_);
    if (!surface || surface->w <= 0 || surface->h <= 0) return;
    RECT area = dirty;
    if (surface != surface_ || surface->w != surfaceW_ || surface->h != surfaceH_) {
      // A new or resized surface: clear the letter box and draw everything.
      surface_ = surface, surfaceW_ = surface->w, surfaceH_ = surface->h;
      Layout();
      SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0, 0, 0));
      area = RECT{0, 0, kScreenWidth, kScreenHeight};
      fullNext_ = true;
    }
    int left, right, top, bottom;
    PictureRange(spanX_, area.left, area.right, &left, &right);
    PictureRange(spanY_, area.top, area.bottom, &top, &bottom);
    if (left >= right || top >= bottom) return;
    if (SDL_MUSTLOCK(surface)) SDL_LockSurface(surface);
    bool fast = surface->format->BytesPerPixel == 4 && surface->format->Rmask == 0x00FF0000 &&
                surface->format->Gmask == 0x0000FF00 && surface->format->Bmask == 0x000000FF;
    bool enlarged = pictureW_ >= kScreenWidth;
    for (int y = top; y < bottom; ++y) {
      auto* row = static_cast<Uint8*>(surface->pixels) + (offsetY_ + y) * surface->pitch;
      auto* out = reinterpret_cast<Uint32*>(row) + offsetX_;
      if (fast && enlarged) {
        // The rows that enlarge one screen row are copies of its first.
        if (y > top && spanY_[y] == spanY_[y - 1]) {
          auto* above = reinterpret_cast<Uint32*>(row - surface->pitch) + offsetX_;
          std::copy(above + left, above + right, out + left);
          continue;
        }
        const uint32_t* source = pixels + spanY_[y] * kScreenWidth;
        for (int x = left; x < right; ++x) out[x] = source[spanX_[x]] | 0xFF000000u;
        continue;
      }
      for (int x = left; x < right; ++x) {
        uint32_t p = PictureAt(pixels, x, y);
        if (fast) {
          out[x] = p | 0xFF000000u;
        } else {
          SDL_Rect dot{offsetX_ + x, offsetY_ + y, 1, 1};
          SDL_FillRect(surface, &dot,
                       SDL_MapRGB(surface->format, static_cast<Uint8>(p >> 16),
                                  static_cast<Uint8>(p >> 8), static_cast<Uint8>(p)));
        }
      }
    }
    if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
    if (fullNext_) {
      SDL_UpdateWindowSurface(window_);
      fullNext_ = false;
      ReportFirstFrame();
    } else {
      SDL_Rect rect{offsetX_ + left, offsetY_ + top, right - left, bottom - top};
      SDL_UpdateWindowSurfaceRects(window_, &rect, 1);
    }
  }

  bool WaitInput(InputEvent* event, int timeoutMs) override {
    Uint32 deadline = SDL_GetTicks() + static_cast<Uint32>(std::max(timeoutMs, 0));
    for (;;) {
      if (X11WindowEnded() && !endReported_) {  // as the close button, once
        endReported_ = true;
        *event = InputEvent{};
        event->kind = InputEvent::Close;
        return true;
      }
      SDL_Event e;
      int got;
      if (timeoutMs < 0) {
        got = SDL_WaitEvent(&e);
      } else {
        int left = static_cast<int>(deadline - SDL_GetTicks());
        got = left > 0 ? SDL_WaitEventTimeout(&e, left) : SDL_PollEvent(&e);
      }
      if (!got) return false;
      // A wake-up ends a wait, but a caller that only takes in what is
      // pending (timeout 0) must see the input queued behind it too.
      if (e.type == wakeEvent_) {
        if (timeoutMs == 0) continue;
        return false;
      }
      if (e.type == padEvent_) SDL_GameControllerUpdate();
      NoteX11Event(e);
      if (Translate(e, event)) return true;
    }
  }

  void Wake() override {
    if (wakeEvent_ == static_cast<Uint32>(-1)) return;
    SDL_Event e{};
    e.type = wakeEvent_;
    SDL_PushEvent(&e);
  }

  DWORD Ticks() override { return SDL_GetTicks(); }
  void Delay(DWORD ms) override { SDL_Delay(ms); }

  void ShowMessage(const char* caption, const char* text) override {
    if (!window_ || SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption, text, window_) != 0) {
      std::fprintf(stderr, "%s: %s\n", caption, text);
    }
  }

  bool BatteryPercent(int* percent) override {
    int pct = -1;
    SDL_PowerState state = SDL_GetPowerInfo(nullptr, &pct);
    if (state == SDL_POWERSTATE_UNKNOWN || state == SDL_POWERSTATE_NO_BATTERY || pct < 0) {
      return false;
    }
    *percent = pct;
    return true;
  }

  void KeepAwake(bool awake) override {
    if (awake) {
      SDL_DisableScreenSaver();
    } else {
      SDL_EnableScreenSaver();
    }
  }

 private:
  // For measuring start-up (tools/benchmarks.sh): the wall-clock time of the
  // first frame on the screen, when VESK_REPORT_FIRST_FRAME is set.
  void ReportFirstFrame() {
    if (reported_ || !std::getenv("VESK_REPORT_FIRST_FRAME")) return;
    reported_ = true;
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    std::fprintf(stderr, "first frame at %lld.%09ld\n", static_cast<long long>(now.tv_sec),
                 now.tv_nsec);
  }

  // Where the picture goes on the surface: the largest whole-number scale
  // that fits, or, on a surface smaller than the screen, the largest size
  // that fits with the screen's shape (never less than one pixel).
  void Layout() {
    int scale = std::min(surfaceW_ / kScreenWidth, surfaceH_ / kScreenHeight);
    if (scale >= 1) {
      pictureW_ = kScreenWidth * scale, pictureH_ = kScreenHeight * scale;
    } else if (int64_t{surfaceW_} * kScreenHeight <= int64_t{surfaceH_} * kScreenWidth) {
      pictureW_ = surfaceW_;
      pictureH_ = std::clamp(surfaceW_ * kScreenHeight / kScreenWidth, 1, surfaceH_);
    } else {
      pictureH_ = surfaceH_;
      pictureW_ = std::clamp(surfaceH_ * kScreenWidth / kScreenHeight, 1, surfaceW_);
    }
    offsetX_ = (surfaceW_ - pictureW_) / 2;
    offsetY_ = (surfaceH_ - pictureH_) / 2;
    spanX_ = SpanStarts(kScreenWidth, pictureW_);
    spanY_ = SpanStarts(kScreenHeight, pictureH_);
  }

  // A pixel of the picture: the screen pixel it enlarges, or the average of
  // the screen pixels it covers when the picture is smaller.
  uint32_t PictureAt(const uint32_t* pixels, int x, int y) const {
    int x0 = spanX_[x], x1 = SpanEnd(spanX_, x), y0 = spanY_[y], y1 = SpanEnd(spanY_, y);
    if (x1 - x0 == 1 && y1 - y0 == 1) return pixels[y0 * kScreenWidth + x0];
    uint32_t r = 0, g = 0, b = 0;
    for (int sy = y0; sy < y1; ++sy) {
      for (int sx = x0; sx < x1; ++sx) {
        uint32_t p = pixels[sy * kScreenWidth + sx];
        r += (p >> 16) & 0xFF, g += (p >> 8) & 0xFF, b += p & 0xFF;
      }
    }
    uint32_t n = static_cast<uint32_t>((x1 - x0) * (y1 - y0));
    return ((r / n) << 16) | ((g / n) << 8) | (b / n);
  }

  // A window position to the screen pixel under it, through the layout.
  void ToScreen(int wx, int wy, InputEvent* event) {
    if (spanX_.empty()) return;
    int x = std::clamp(wx - offsetX_, 0, pictureW_ - 1);
    int y = std::clamp(wy - offsetY_, 0, pictureH_ - 1);
    event->x = std::clamp(spanX_[x], 0, kScreenWidth - 1);
    event->y = std::clamp(spanY_[y], 0, kScreenHeight - 1);
  }

  bool Translate(const SDL_Event& e, InputEvent* event) {
    *event = InputEvent{};
    switch (e.type) {
      case SDL_QUIT:  // the close button, and SIGINT or SIGTERM
        event->kind = InputEvent::Close;
        return true;
      case SDL_WINDOWEVENT:
        if (e.window.event == SDL_WINDOWEVENT_EXPOSED ||
            e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED ||
            e.window.event == SDL_WINDOWEVENT_RESTORED) {
          surface_ = nullptr;  // present everything again
          event->kind = InputEvent::Expose;
          return true;
        }
        return false;
      case SDL_MOUSEBUTTONDOWN:
      case SDL_MOUSEBUTTONUP:
        if (e.button.button != SDL_BUTTON_LEFT) return false;
        event->message = e.type == SDL_MOUSEBUTTONDOWN ? WM_LBUTTONDOWN : WM_LBUTTONUP;
        ToScreen(e.button.x, e.button.y, event);
        return true;
      case SDL_MOUSEMOTION:
        if (!(e.motion.state & SDL_BUTTON_LMASK)) return false;
        event->message = WM_MOUSEMOVE;
        ToScreen(e.motion.x, e.motion.y, event);
        return true;
      case SDL_MOUSEWHEEL: {
        int notches = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
        if (notches == 0) return false;
        event->kind = InputEvent::Wheel;
        event->delta = notches * WHEEL_DELTA;
        int x = 0, y = 0;
        SDL_GetMouseState(&x, &y);
        ToScreen(x, y, event);
        return true;
      }
      case SDL_KEYDOWN:
        event->kind = InputEvent::Key;
        event->key = VirtualKey(e.key.keysym.sym);
        return event->key != 0;
      case SDL_CONTROLLERDEVICEADDED:
      case SDL_CONTROLLERDEVICEREMOVED:
      case SDL_CONTROLLERBUTTONDOWN:
        return TranslateController(e, event);
      default:
        return false;
    }
  }

  static UINT VirtualKey(SDL_Keycode key) {
    switch (key) {
      case SDLK_LEFT:
      case SDLK_AUDIOPREV:
        return VK_LEFT;
      case SDLK_RIGHT:
      case SDLK_AUDIONEXT:
        return VK_RIGHT;
      case SDLK_UP:
        return VK_UP;
      case SDLK_DOWN:
        return VK_DOWN;
      case SDLK_SPACE:
      case SDLK_AUDIOPLAY:
        return VK_SELECT;
      case SDLK_RETURN:  // the centre button
      case SDLK_KP_ENTER:
        return VK_RETURN;
      case SDLK_ESCAPE:  // the menu button
      case SDLK_BACKSPACE:
        return VK_ESCAPE;
      default:
        return 0;
    }
  }

  // A display no larger than the player's screen is a handheld's, and
  // VESK_FULLSCREEN=1 asks for the same on any display.
  static bool IsHandheld(const SDL_Rect& usable) {
    const char* asked = std::getenv("VESK_FULLSCREEN");
    return (asked && std::string_view(asked) == "1") ||
           (usable.w <= kScreenWidth && usable.h <= kScreenHeight);
  }

  // On a handheld the window covers the whole display, even where no window
  // manager makes it full screen; the pointer is of no use; the buttons come
  // as a game controller, which SDL announces, attached or plugged in later.
  // The controllers are read when their files have input (GamepadWatch), not
  // polled every millisecond as SDL's event wait would.
  void TakeTheScreen(SDL_Rect* place) {
    SDL_GetDisplayBounds(0, place);
    SDL_ShowCursor(SDL_DISABLE);
    SDL_SetHint(SDL_HINT_AUTO_UPDATE_JOYSTICKS, "0");
    if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) return;
    padEvent_ = SDL_RegisterEvents(1);
    pads_ = std::make_unique<GamepadWatch>(kInputDevices, [type = padEvent_] {
      SDL_Event e{};
      e.type = type;
      SDL_PushEvent(&e);
    });
  }

  bool TranslateController(const SDL_Event& e, InputEvent* event) {
    if (e.type == SDL_CONTROLLERDEVICEADDED) {
      SDL_GameController* pad = SDL_GameControllerOpen(e.cdevice.which);
      if (pad && pads_) pads_->Add(SDL_GameControllerPath(pad));
      return false;
    }
    if (e.type == SDL_CONTROLLERDEVICEREMOVED) {
      SDL_GameControllerClose(SDL_GameControllerFromInstanceID(e.cdevice.which));
      return false;
    }
    for (const ControllerKey& k : kControllerKeys) {
      if (e.cbutton.button != k.button) continue;
      event->kind = InputEvent::Key;
      event->key = k.key;
      return true;
    }
    return false;
  }

  SDL_Window* window_ = nullptr;
  SDL_Surface* surface_ = nullptr;
  SDL_Surface* icon_ = nullptr;
  std::vector<uint32_t> iconPixels_;
  int surfaceW_ = 0;
  int surfaceH_ = 0;
  int pictureW_ = 0;
  int pictureH_ = 0;
  int offsetX_ = 0;
  int offsetY_ = 0;
  std::vector<int> spanX_;  // SpanStarts of the picture's columns and rows
  std::vector<int> spanY_;
  bool videoReady_ = false;
  bool endReported_ = false;
  bool fullNext_ = false;
  bool reported_ = false;
  Uint32 wakeEvent_ = static_cast<Uint32>(-1);
  Uint32 padEvent_ = static_cast<Uint32>(-1);
  std::unique_ptr<GamepadWatch> pads_;
};

}  // namespace

std::unique_ptr<DisplayBackend> MakeSdlBackend() {
  return std::make_unique<SdlDisplay>();
}

}  // namespace plat
