// Where the device's root "\" lies on this computer, and where the program
// itself lies.
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/internal.h"
#include "platform/test_hooks.h"

namespace {

constexpr const char* kDemoFolder = "demo";

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

bool Exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

// The files that ship with the program (the font, the demo music) lie beside
// it in a build folder, and in <prefix>/share/vesk for an installed
// <prefix>/bin/vesk: the install rules give that folder relative to the
// program's, so a moved prefix still finds them. The bare name when the
// program's own location cannot be had.
std::string ProgramFile(const std::string& name) {
  std::string program = ProgramPath();
  size_t slash = program.rfind('/');
  if (slash == std::string::npos) return name;
  std::string beside = program.substr(0, slash + 1) + name;
  std::string installed =
      std::filesystem::path(program.substr(0, slash + 1) + VESK_INSTALLED_DATA_FOLDER + "/" + name)
          .lexically_normal();
  return !Exists(beside) && Exists(installed) ? installed : beside;
}

// A real path in device form into the caller's buffer: its length, or 0 and
// an empty buffer when there is none or it does not fit.
DWORD CopyDevicePath(const std::string& real, WCHAR* buffer, DWORD size) {
  if (!buffer || size == 0) return 0;
  buffer[0] = 0;
  if (real.empty()) return 0;
  std::u16string path = plat::RealPathToDevice(real);
  if (path.size() + 1 > size) return 0;
  path.copy(buffer, path.size());
  buffer[path.size()] = 0;
  return static_cast<DWORD>(path.size());
}

std::string ChooseMusicRoot() {
  const char* configured = std::getenv("VESK_MUSIC_DIR");
  if (configured && *configured) return WithoutTrailingSlashes(configured);
  std::string xdg = XdgMusicFolder();
  if (IsFolder(xdg)) return WithoutTrailingSlashes(xdg);
  return ProgramFile(kDemoFolder);
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

DWORD GetMusicFolderName(WCHAR* buffer, DWORD size) {
  if (!buffer || size == 0) return 0;
  std::string root = MusicRootPath();
  std::string home = WithoutTrailingSlashes(plat::HomeFolder());
  if (home.size() > 1 && root.compare(0, home.size(), home) == 0 &&
      (root.size() == home.size() || root[home.size()] == '/'))
    root = "~" + root.substr(home.size());
  std::u16string name = plat::FromUtf8(root);
  buffer[0] = 0;
  if (name.size() + 1 > size) return 0;
  name.copy(buffer, name.size());
  buffer[name.size()] = 0;
  return static_cast<DWORD>(name.size());
}

DWORD GetModuleFileNameW(HINSTANCE, WCHAR* buffer, DWORD size) {
  return CopyDevicePath(ProgramPath(), buffer, size);
}

DWORD ProgramFilePath(const WCHAR* name, WCHAR* buffer, DWORD size) {
  if (ProgramPath().empty()) return CopyDevicePath({}, buffer, size);
  return CopyDevicePath(ProgramFile(plat::DevicePathToReal(plat::View(name))), buffer, size);
}
