// The desktop display: the framebuffer in an SDL window, scaled by a whole
// number with nearest-neighbour pixels and letter-boxed, presented through the
// window surface (no GPU renderer: far less memory and a faster start).
// Mouse buttons and touch (which SDL turns into mouse events) are the stylus.
#include <SDL.h>

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "platform/internal.h"
#include "platform/window.h"

namespace plat {
namespace {

constexpr int kMinimumDecoration = 64;  // room left for a title bar and panels

class SdlDisplay : public DisplayBackend {
 public:
  SdlDisplay() {
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    // The screen saver is the user's until music plays (KeepAwake).
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    // Events work without a window, so that posting and waking always can.
    if (SDL_InitSubSystem(SDL_INIT_EVENTS) == 0) {
      wakeEvent_ = SDL_RegisterEvents(1);
    }
  }

  ~SdlDisplay() override {
    Close();
    SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
  }

  bool Open(const char* title) override {
    if (window_) return true;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
      std::fprintf(stderr, "Vesk: cannot open a window: %s\n", SDL_GetError());
      return false;
    }
    SDL_Rect usable{0, 0, kScreenWidth, kScreenHeight};
    SDL_GetDisplayUsableBounds(0, &usable);
    Uint32 flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE;
    int scale = 1;
    if (usable.w <= kScreenWidth && usable.h <= kScreenHeight) {
      flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;  // a small handheld: the screen is ours
    } else {
      scale = std::max(
          1, std::min(usable.w / kScreenWidth, (usable.h - kMinimumDecoration) / kScreenHeight));
    }
    window_ = SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                               kScreenWidth * scale, kScreenHeight * scale, flags);
    if (!window_) {
      std::fprintf(stderr, "Vesk: cannot open a window: %s\n", SDL_GetError());
      return false;
    }
    SDL_SetWindowMinimumSize(window_, kScreenWidth, kScreenHeight);
    return true;
  }

  void Close() override {
    if (window_) SDL_DestroyWindow(window_);
    window_ = nullptr;
    if (icon_) SDL_FreeSurface(icon_);
    icon_ = nullptr;
  }

  void SetVisible(bool visible) override {
    if (!window_) return;
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
    if (!window_) return;
    SDL_Surface* surface = SDL_GetWindowSurface(window_);
    if (!surface) return;
    RECT area = dirty;
    if (surface != surface_ || surface->w != surfaceW_ || surface->h != surfaceH_) {
      // A new or resized surface: clear the letter box and draw everything.
      surface_ = surface, surfaceW_ = surface->w, surfaceH_ = surface->h;
      SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0, 0, 0));
      area = RECT{0, 0, kScreenWidth, kScreenHeight};
      fullNext_ = true;
    }
    Layout();
    if (SDL_MUSTLOCK(surface)) SDL_LockSurface(surface);
    bool fast = surface->format->BytesPerPixel == 4 && surface->format->Rmask == 0x00FF0000 &&
                surface->format->Gmask == 0x0000FF00 && surface->format->Bmask == 0x000000FF;
    for (int y = area.top; y < area.bottom; ++y) {
      for (int x = area.left; x < area.right; ++x) {
        uint32_t p = pixels[y * kScreenWidth + x];
        Uint32 out = fast ? (p | 0xFF000000u)
                          : SDL_MapRGB(surface->format, static_cast<Uint8>(p >> 16),
                                       static_cast<Uint8>(p >> 8), static_cast<Uint8>(p));
        SDL_Rect block{offsetX_ + x * scale_, offsetY_ + y * scale_, scale_, scale_};
        if (fast) {
          for (int j = 0; j < scale_; ++j) {
            auto* row = reinterpret_cast<Uint32*>(static_cast<Uint8*>(surface->pixels) +
                                                  (block.y + j) * surface->pitch);
            std::fill_n(row + block.x, scale_, out);
          }
        } else {
          SDL_FillRect(surface, &block, out);
        }
      }
    }
    if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
    if (fullNext_) {
      SDL_UpdateWindowSurface(window_);
      fullNext_ = false;
      ReportFirstFrame();
    } else {
      SDL_Rect rect{offsetX_ + area.left * scale_, offsetY_ + area.top * scale_,
                    (area.right - area.left) * scale_, (area.bottom - area.top) * scale_};
      SDL_UpdateWindowSurfaceRects(window_, &rect, 1);
    }
  }

  bool WaitInput(InputEvent* event, int timeoutMs) override {
    Uint32 deadline = SDL_GetTicks() + static_cast<Uint32>(std::max(timeoutMs, 0));
    for (;;) {
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

  void Layout() {
    scale_ = std::max(1, std::min(surfaceW_ / kScreenWidth, surfaceH_ / kScreenHeight));
    offsetX_ = std::max(0, (surfaceW_ - kScreenWidth * scale_) / 2);
    offsetY_ = std::max(0, (surfaceH_ - kScreenHeight * scale_) / 2);
  }

  void ToScreen(int wx, int wy, InputEvent* event) {
    event->x = std::clamp((wx - offsetX_) / std::max(scale_, 1), 0, kScreenWidth - 1);
    event->y = std::clamp((wy - offsetY_) / std::max(scale_, 1), 0, kScreenHeight - 1);
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

  SDL_Window* window_ = nullptr;
  SDL_Surface* surface_ = nullptr;
  SDL_Surface* icon_ = nullptr;
  std::vector<uint32_t> iconPixels_;
  int surfaceW_ = 0;
  int surfaceH_ = 0;
  int scale_ = 1;
  int offsetX_ = 0;
  int offsetY_ = 0;
  bool fullNext_ = false;
  bool reported_ = false;
  Uint32 wakeEvent_ = static_cast<Uint32>(-1);
};

}  // namespace

std::unique_ptr<DisplayBackend> MakeSdlBackend() {
  return std::make_unique<SdlDisplay>();
}

}  // namespace plat
