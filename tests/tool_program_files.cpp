// Prints where the program, placed as this tool is, finds its font and music root.
#include <cstdio>

#include "app/services.h"
#include "platform/files.h"
#include "platform/internal.h"

int main() {
  WCHAR font[kPathChars] = u"Tolo.ttf";
  if (!MakeProgramPath(font)) return 1;
  std::printf("%s\n%s\n", plat::DevicePathToReal(font).c_str(), MusicRootPath());
  return 0;
}
