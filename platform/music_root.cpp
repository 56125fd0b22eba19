// Where the device's root "\" lies on this computer, and where the program
// itself lies.
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/internal.h"

namespace {

std::mutex rootLock;
std::string musicRoot;
bool rootDecided = false;

std::string ProgramPath() {
  std::string path(256, '\0');
  for (;;) {
    ssize_t n = readlink("/proc/self/exe", path.data(), path.size());
    if (n < 0) return {};
    if (static_cast<size_t>(n) < path.size()) {
      path.resize(static_cast<size_t>(n));
      return path;
    }
    if (path.size() >= 65536) return {};
    path.resize(path.size() * 2);
  }
}

bool IsFolder(const std::string& path) {
  struct stat st;
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// "/music/" and "/music" are the same root; joining names to it adds a '/'.
std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// The value of XDG_MUSIC_DIR in user-dirs.dirs, a shell-quoted line such as
// XDG_MUSIC_DIR="$HOME/Music". Empty when the file has no such line.
std::string ReadXdgMusicSetting(const std::string& file, bool* found) {
  std::ifstream in(file);
  std::string line;
  *found = false;
  std::string value;
  while (std::getline(in, line)) {
    size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line.compare(start, 14, "XDG_MUSIC_DIR=") != 0) continue;
    std::string raw = line.substr(start + 14);
    value.clear();
    bool quoted = false;
    for (size_t i = 0; i < raw.size(); ++i) {
      if (raw[i] == '"') {
        quoted = !quoted;
      } else if (raw[i] == '\\' && i + 1 < raw.size()) {
        value += raw[++i];
      } else if (!quoted && (raw[i] == ' ' || raw[i] == '\t' || raw[i] == '#')) {
        break;
      } else {
        value += raw[i];
      }
    }
    *found = true;  // the last line wins, as when the shell reads the file
  }
  return value;
}

// The XDG music folder, or "" when it is switched off or unusable.
std::string XdgMusicFolder() {
  std::string home = plat::HomeFolder();
  std::string config = plat::ConfigFolder();
  bool found = false;
  std::string value = config.empty() ? "" : ReadXdgMusicSetting(config + "/user-dirs.dirs", &found);
  if (!found) return home.empty() ? "" : home + "/Music";
  if (value.compare(0, 5, "$HOME") == 0 && (value.size() == 5 || value[5] == '/')) {
    if (home.empty()) return "";
    value = home + value.substr(5);
  } else if (value.empty() || value[0] != '/') {
    return "";
  }
  // A music folder set to the home folder itself means "none" to xdg-user-dirs.
  if (WithoutTrailingSlashes(value) == WithoutTrailingSlashes(home)) return "";
  return value;
}

std::string DemoFolder() {
  std::string program = ProgramPath();
  size_t slash = program.rfind('/');
  return slash == std::string::npos ? "demo" : program.substr(0, slash) + "/demo";
}

std::string ChooseMusicRoot() {
  const char* configured = std::getenv("VESK_MUSIC_DIR");
  if (configured && *configured) return WithoutTrailingSlashes(configured);
  std::string xdg = XdgMusicFolder();
  if (IsFolder(xdg)) return WithoutTrailingSlashes(xdg);
  return DemoFolder();
}

}  // namespace

namespace plat {

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home && *home) return home;
  struct passwd entry;
  struct passwd* found = nullptr;
  std::vector<char> buffer(16384);
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
      found->pw_dir)
    return found->pw_dir;
  return {};
}

std::string ConfigFolder() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config && config[0] == '/') return config;
  std::string home = HomeFolder();
  return home.empty() ? std::string() : home + "/.config";
}

void ResetMusicRootForTests() {
  std::lock_guard<std::mutex> lock(rootLock);
  rootDecided = false;
}

}  // namespace plat

const char* MusicRootPath() {
  std::lock_guard<std::mutex> lock(rootLock);
  if (!rootDecided) {
    musicRoot = ChooseMusicRoot();
    rootDecided = true;
  }
  return musicRoot.c_str();
}

DWORD GetModuleFileNameW(HINSTANCE, WCHAR* buffer, DWORD size) {
  if (!buffer || size == 0) return 0;
  buffer[0] = 0;
  std::string program = ProgramPath();
  if (program.empty()) return 0;
  std::u16string path = plat::RealPathToDevice(program);
  if (path.size() + 1 > size) return 0;
  path.copy(buffer, path.size());
  buffer[path.size()] = 0;
  return static_cast<DWORD>(path.size());
}
