#include "platform/context.h"

#include <cstdlib>

#include "platform/registry.h"

namespace plat {

Context& Ctx() {
  static Context* const context = [] {
    auto* made = new Context;
    // Also for an end some other way than through the entry's return (an
    // exit from a library, say), and for tests and tools, which make the
    // record on first use.
    std::atexit(EndPlatform);
    return made;
  }();
  return *context;
}

void StartPlatform() {
  Ctx();
}

void EndPlatform() {
  Context& c = Ctx();
  if (c.ended || c.owner != getpid()) return;
  c.ended = true;
  // The settings first: nothing below may keep them from the disk.
  RegFlushKey(HKEY_CURRENT_USER);
  // Then the threads that hand work to the user-interface thread: the media
  // controls, the other players' requests and the decoder's end notices.
  EndMediaControls();
  EndInstance();
  EndDecoder();
  // Last the sound output's own thread; the device ends with the process.
  EndAudioOutput();
}

}  // namespace plat
