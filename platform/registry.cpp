// The settings store: the keys of HKEY_CURRENT_USER live in one text file.
// Every call reads the file afresh, so a hand edit is seen at once, and every
// change replaces the file atomically, so a crash or a kill never leaves half
// a file behind.
#include "platform/registry.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/internal.h"
#include "platform/reg_text.h"

namespace {

namespace reg = plat::reg;

constexpr std::u16string_view kRootKey = u"HKEY_CURRENT_USER";
constexpr const char* kStoreFile = "/vesk/settings.reg";
// A larger file is not one we wrote: it is left alone and never rewritten.
constexpr off_t kMaxFileBytes = 16 << 20;
constexpr DWORD kMaxValueBytes = 1 << 20;
constexpr size_t kMaxNameChars = 16383;
constexpr std::string_view kTempInfix = ".tmp";  // then mkstemp's six characters

std::mutex gMutex;
std::map<uintptr_t, std::u16string> gOpenKeys;  // handle -> full key path
uintptr_t gNextHandle = 0x6B650000;

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() {
    if (fd_ >= 0) close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

std::string HomeFolder() {
  const char* home = getenv("HOME");
  if (home && *home) return home;
  struct passwd entry;
  struct passwd* found = nullptr;
  std::vector<char> buffer(16384);
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
      found->pw_dir)
    return found->pw_dir;
  return {};
}

// Computed on every call: the environment may change between calls.
std::string StorePath() {
  const char* config = getenv("XDG_CONFIG_HOME");
  if (config && config[0] == '/') return std::string(config) + kStoreFile;
  std::string home = HomeFolder();
  return home.empty() ? std::string() : home + "/.config" + kStoreFile;
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool MakeFolders(const std::string& folder) {
  for (size_t i = 1; i <= folder.size(); ++i) {
    if (i < folder.size() && folder[i] != '/') continue;
    if (mkdir(folder.substr(0, i).c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  struct stat st;
  return stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

enum class ReadResult { Ok, Missing, Failed };

ReadResult ReadStore(const std::string& path, std::string* text) {
  text->clear();
  if (path.empty()) return ReadResult::Missing;
  // Non-blocking so that a FIFO in the file's place cannot hang the player.
  Fd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.get() < 0) return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
  struct stat st;
  if (fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxFileBytes)
    return ReadResult::Failed;
  char buffer[8192];
  for (;;) {
    ssize_t n = read(fd.get(), buffer, sizeof buffer);
    if (n == 0) return ReadResult::Ok;
    if (n < 0) {
      if (errno == EINTR) continue;
      return ReadResult::Failed;
    }
    text->append(buffer, static_cast<size_t>(n));
    if (text->size() > static_cast<size_t>(kMaxFileBytes)) return ReadResult::Failed;
  }
}

bool WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    ssize_t n = write(fd, text.data(), text.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    text.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// A settings file that is a link (into a dotfiles folder, say) is replaced at
// its target, so that the link survives.
std::string WriteTarget(const std::string& path) {
  struct stat st;
  if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    if (char* real = realpath(path.c_str(), nullptr)) {
      std::string target = real;
      free(real);
      return target;
    }
  }
  return path;
}

// Temporary files left by a writer that was killed; only called while the
// folder lock is held, when no other writer can be half-way.
void RemoveStaleTemporaries(const std::string& target) {
  std::string prefix = target.substr(target.rfind('/') + 1) + std::string(kTempInfix);
  DIR* dir = opendir(FolderOf(target).c_str());
  if (!dir) return;
  while (dirent* entry = readdir(dir)) {
    std::string_view name = entry->d_name;
    if (name.size() == prefix.size() + 6 && name.starts_with(prefix))
      unlinkat(dirfd(dir), entry->d_name, 0);
  }
  closedir(dir);
}

// Temporary file in the same folder, written, flushed, renamed over the old
// one, and the folder flushed so the rename itself is durable.
LONG ReplaceStore(const std::string& path, const std::string& text, bool locked) {
  std::string target = WriteTarget(path);
  if (locked) RemoveStaleTemporaries(target);
  std::string temp = target + std::string(kTempInfix) + "XXXXXX";
  int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return ERROR_ACCESS_DENIED;
  struct stat old;
  if (stat(target.c_str(), &old) == 0) fchmod(fd, old.st_mode & 07777);
  bool ok = WriteAll(fd, text) && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  if (!ok || rename(temp.c_str(), target.c_str()) != 0) {
    unlink(temp.c_str());
    return ERROR_ACCESS_DENIED;
  }
  Fd folder(open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.get() >= 0) fsync(folder.get());
  return ERROR_SUCCESS;
}

// Holds off other players between reading the file and replacing it. Taken on
// the folder, since the file itself is a new one after every write.
class FolderLock {
 public:
  explicit FolderLock(const std::string& folder)
      : fd_(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (fd_.get() < 0) return;
    int rc;
    do rc = flock(fd_.get(), LOCK_EX);
    while (rc != 0 && errno == EINTR);
    locked_ = rc == 0;
  }
  bool locked() const { return locked_; }  // released when the descriptor closes

 private:
  Fd fd_;
  bool locked_ = false;
};

// Reads the file, lets change edit it (false: nothing to write) and replaces
// it. A file that cannot be read is never overwritten.
template <typename Change>
LONG UpdateStore(const std::string& path, Change change) {
  if (path.empty() || !MakeFolders(FolderOf(path))) return ERROR_ACCESS_DENIED;
  FolderLock lock(FolderOf(path));
  std::string text;
  if (ReadStore(path, &text) == ReadResult::Failed) return ERROR_ACCESS_DENIED;
  reg::Document doc = reg::ParseDocument(text);
  if (!change(doc)) return ERROR_SUCCESS;
  return ReplaceStore(path, reg::SerializeDocument(doc), lock.locked());
}

bool KeyPathOf(HKEY key, std::u16string* path) {
  if (key == HKEY_CURRENT_USER) {
    *path = kRootKey;
    return true;
  }
  auto it = gOpenKeys.find(reinterpret_cast<uintptr_t>(key));
  if (it == gOpenKeys.end()) return false;
  *path = it->second;
  return true;
}

bool IsValidSubKey(std::u16string_view sub) {
  return reg::IsWritableName(sub) && sub.front() != u'\\' && sub.back() != u'\\' &&
         sub.find(u"\\\\") == std::u16string_view::npos && sub.size() <= kMaxNameChars;
}

}  // namespace

LONG RegCreateKeyExW(HKEY root, const WCHAR* subKey, DWORD, WCHAR*, DWORD, DWORD, void*,
                     HKEY* result, DWORD* disposition) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  std::lock_guard guard(gMutex);
  std::u16string key;
  if (!KeyPathOf(root, &key)) return ERROR_INVALID_HANDLE;
  std::u16string_view sub = plat::View(subKey);
  if (!sub.empty()) {
    if (!IsValidSubKey(sub)) return ERROR_INVALID_PARAMETER;
    (key += u'\\') += sub;
  }
  // The root always exists; any other key needs its section in the file.
  bool created = false;
  if (key != kRootKey) {
    std::string path = StorePath();
    std::string text;
    ReadResult read = ReadStore(path, &text);
    if (read == ReadResult::Failed) return ERROR_ACCESS_DENIED;
    if (read == ReadResult::Missing || !reg::HasKey(reg::ParseDocument(text), key)) {
      LONG rc = UpdateStore(path, [&](reg::Document& doc) {
        if (reg::HasKey(doc, key)) return false;  // another player made it meanwhile
        reg::AddKey(doc, key);
        created = true;
        return true;
      });
      if (rc != ERROR_SUCCESS) return rc;
    }
  }
  uintptr_t handle = gNextHandle;
  gNextHandle += 4;
  gOpenKeys[handle] = key;
  *result = reinterpret_cast<HKEY>(handle);
  if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  return ERROR_SUCCESS;
}

LONG RegSetValueExW(HKEY key, const WCHAR* name, DWORD, DWORD type, const BYTE* data, DWORD size) {
  std::lock_guard guard(gMutex);
  std::u16string keyPath;
  if (!KeyPathOf(key, &keyPath)) return ERROR_INVALID_HANDLE;
  reg::Value value;
  value.name = plat::View(name);
  if ((!data && size) || size > kMaxValueBytes || value.name.size() > kMaxNameChars ||
      !reg::IsWritableName(value.name))
    return ERROR_INVALID_PARAMETER;
  value.type = type;
  if (size) value.data.assign(data, data + size);
  return UpdateStore(StorePath(), [&](reg::Document& doc) {
    const reg::Value* old = reg::FindValue(doc, keyPath, value.name);
    if (old && old->type == value.type && old->data == value.data) return false;
    reg::SetValue(doc, keyPath, value);
    return true;
  });
}

LONG RegQueryValueExW(HKEY key, const WCHAR* name, DWORD* reserved, DWORD* type, BYTE* data,
                      DWORD* size) {
  std::lock_guard guard(gMutex);
  std::u16string keyPath;
  if (!KeyPathOf(key, &keyPath)) return ERROR_INVALID_HANDLE;
  if (reserved || (data && !size)) return ERROR_INVALID_PARAMETER;
  std::string text;
  switch (ReadStore(StorePath(), &text)) {
    case ReadResult::Missing:
      return ERROR_FILE_NOT_FOUND;
    case ReadResult::Failed:
      return ERROR_ACCESS_DENIED;
    case ReadResult::Ok:
      break;
  }
  reg::Document doc = reg::ParseDocument(text);
  const reg::Value* value = reg::FindValue(doc, keyPath, plat::View(name));
  if (!value) return ERROR_FILE_NOT_FOUND;
  if (type) *type = value->type;
  DWORD stored = static_cast<DWORD>(value->data.size());
  if (data) {
    if (*size < stored) {
      *size = stored;
      return ERROR_MORE_DATA;
    }
    if (stored) std::memcpy(data, value->data.data(), stored);
  }
  if (size) *size = stored;
  return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
  if (key == HKEY_CURRENT_USER) return ERROR_SUCCESS;
  std::lock_guard guard(gMutex);
  return gOpenKeys.erase(reinterpret_cast<uintptr_t>(key)) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

const char* SettingsFilePath() {
  thread_local std::string path;
  path = StorePath();
  return path.c_str();
}
