#include "platform/display_x11.h"

#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <dlfcn.h>
#include <poll.h>

#include <atomic>

// What ends the window from outside on X11: another program destroying it
// (xdotool windowclose), or the X server going away. Xlib's own handling is to
// end the process at once; instead the player is told, and quits as by its
// close button, saving its settings. Xlib is reached through the library SDL
// has loaded, so the program needs no X11 of its own.
namespace {

std::atomic<bool> windowGone{false};
std::atomic<bool> displayLost{false};
std::atomic<unsigned long> watchedWindow{0};
std::atomic<int> connection{-1};  // the socket to the X server
XErrorHandler previousHandler = nullptr;

// A request on a window that no longer exists does nothing: once another
// program has destroyed the window, SDL's requests about it fail so.
int OnError(Display* display, XErrorEvent* error) {
  if (error->error_code == BadWindow || error->error_code == BadDrawable) {
    if (error->resourceid == watchedWindow.load()) windowGone = true;
    return 0;
  }
  // SDL's handler passes errors on to the one it found when it started, which
  // may be this one again after SDL was started twice.
  thread_local bool passing = false;
  if (passing || !previousHandler) return 0;
  passing = true;
  int result = previousHandler(display, error);
  passing = false;
  return result;
}

int OnLostConnection(Display*) {
  displayLost = true;
  return 0;
}

// Returning from here keeps the process alive; Xlib's calls then fail quietly.
void OnLostConnectionExit(Display*, void*) {
  displayLost = true;
}

// A function of the Xlib that SDL has loaded (it stays loaded while SDL runs).
template <typename Fn>
Fn Find(const char* name) {
  void* library = dlopen("libX11.so.6", RTLD_LAZY | RTLD_NOLOAD);
  if (!library) return nullptr;
  auto function = reinterpret_cast<Fn>(dlsym(library, name));
  dlclose(library);
  return function;
}

}  // namespace

// Every display that SDL opens ends the process on a lost server unless told
// otherwise, and only the window's own is reachable: the one its wake-ups
// are sent on (from any thread that posts) is not. So each display is given
// the handler as it opens. Reached only where SDL links Xlib itself.
extern "C" Display* XOpenDisplay(const char* name) {
  static auto open = Find<Display* (*)(const char*)>("XOpenDisplay");
  static auto setExit =
      Find<void (*)(Display*, XIOErrorExitHandler, void*)>("XSetIOErrorExitHandler");
  Display* display = open ? open(name) : nullptr;
  if (display && setExit) setExit(display, OnLostConnectionExit, nullptr);
  return display;
}

void WatchX11Window(SDL_Window* window) {
  connection = -1;
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return;
  auto setError = Find<XErrorHandler (*)(XErrorHandler)>("XSetErrorHandler");
  auto setIoError = Find<XIOErrorHandler (*)(XIOErrorHandler)>("XSetIOErrorHandler");
  auto setIoExit = Find<void (*)(Display*, XIOErrorExitHandler, void*)>("XSetIOErrorExitHandler");
  if (!setError || !setIoError || !setIoExit) return;  // an Xlib older than 1.7
  auto number = Find<int (*)(Display*)>("XConnectionNumber");
  watchedWindow = info.info.x11.window;
  if (number) connection = number(info.info.x11.display);
  SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);  // for its DestroyNotify
  XErrorHandler previous = setError(OnError);
  if (previous != OnError) previousHandler = previous;
  setIoError(OnLostConnection);
  setIoExit(info.info.x11.display, OnLostConnectionExit, nullptr);
}

bool X11WindowEnded() {
  return windowGone || displayLost;
}

bool X11DisplayLost() {
  if (displayLost) return true;
  // Xlib learns of a server that went away only when it next reads; the
  // socket knows at once, and a call that waits for an answer must not start.
  pollfd socket{connection.load(), POLLRDHUP, 0};
  if (socket.fd >= 0 && poll(&socket, 1, 0) > 0 &&
      (socket.revents & (POLLRDHUP | POLLHUP | POLLERR)))
    displayLost = true;
  return displayLost;
}

void NoteX11Event(const SDL_Event& event) {
  if (event.type != SDL_SYSWMEVENT || !event.syswm.msg ||
      event.syswm.msg->subsystem != SDL_SYSWM_X11)
    return;
  const XEvent& x = event.syswm.msg->msg.x11.event;
  if (x.type == DestroyNotify && x.xdestroywindow.window == watchedWindow.load()) windowGone = true;
}
