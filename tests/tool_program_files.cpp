// Prints where the program, placed as this tool is, finds its font and music root.
#include <cstdio>
#include <string>

#include "app/services.h"
#include "platform/files.h"

int main() {
  WCHAR font[kPathChars] = u"Tolo.ttf";
  if (!MakeProgramPath(font)) return 1;
  std::string path;
  for (const WCHAR* c = font; *c; ++c) path += *c == u'\\' ? '/' : char(*c);
  std::printf("%s\n%s\n", path.c_str(), MusicRootPath());
  return 0;
}
