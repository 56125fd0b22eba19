// The settings store: the keys of HKEY_CURRENT_USER live in one text file.
// The file is parsed once and kept in memory; it is read again only when it
// has changed on disk (a hand edit). Changes collect in memory and reach the
// disk together (RegFlushKey, which the message loop calls before it waits
// and the program at its end), as one atomic replace: a crash or a kill
// leaves the old file or the new one, never a mix. One player runs at a
// time, so this process is the file's only writer.
#include "platform/registry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/context.h"
#include "platform/internal.h"

namespace {

namespace reg = plat::reg;

constexpr std::u16string_view kRootKey = u"HKEY_CURRENT_USER";
constexpr const char* kStoreFile = "/vesk/settings.reg";
// A larger file is not one we wrote: it is left alone and never rewritten,
// and no change may grow the file past it.
constexpr off_t kMaxFileBytes = 16 << 20;
constexpr DWORD kMaxValueBytes = 1 << 20;
constexpr size_t kMaxNameChars = 16383;
constexpr const char* kTempSuffix = ".tmp";
constexpr int kMaxLinkHops = 40;  // as the kernel allows

using plat::Ctx;
using plat::ReadResult;
using plat::Stamp;
using plat::StoreFile;

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

// Computed on every call: the environment may change between calls.
std::string StorePath() {
  std::string config = plat::ConfigFolder();
  return config.empty() ? std::string() : config + kStoreFile;
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

Stamp StampOf(const struct stat& st) {
  return Stamp{st.st_dev,         st.st_ino,         st.st_size,         st.st_mode,
               st.st_mtim.tv_sec, st.st_ctim.tv_sec, st.st_mtim.tv_nsec, st.st_ctim.tv_nsec};
}

// The file's state now: Missing, or Ok with its stamp (Failed: not a file
// we read).
ReadResult Look(const std::string& path, Stamp* stamp) {
  *stamp = Stamp{};
  if (path.empty()) return ReadResult::Missing;
  struct stat st;
  if (stat(path.c_str(), &st) != 0)
    return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
  *stamp = StampOf(st);
  return S_ISREG(st.st_mode) && st.st_size <= kMaxFileBytes ? ReadResult::Ok : ReadResult::Failed;
}

ReadResult ReadStore(const std::string& path, std::string* text, Stamp* stamp) {
  text->clear();
  *stamp = Stamp{};
  if (path.empty()) return ReadResult::Missing;
  // Non-blocking so that a FIFO in the file's place cannot hang the player.
  Fd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.get() < 0) return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
  struct stat st;
  if (fstat(fd.get(), &st) != 0) return ReadResult::Failed;
  *stamp = StampOf(st);
  if (!S_ISREG(st.st_mode) || st.st_size > kMaxFileBytes) return ReadResult::Failed;
  text->reserve(static_cast<size_t>(st.st_size));
  char buffer[65536];
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
// its target, so that the link survives, also when the target does not exist
// yet. Empty when the links go round in circles.
std::string WriteTarget(std::string path) {
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    std::string link(PATH_MAX, '\0');
    ssize_t n = readlink(path.c_str(), link.data(), link.size());
    if (n <= 0 || static_cast<size_t>(n) >= link.size()) return {};
    link.resize(static_cast<size_t>(n));
    path = link[0] == '/' ? link : FolderOf(path) + "/" + link;
  }
  return {};
}

// A temporary file in the same folder, written, flushed, renamed over the
// old one, and the folder flushed so the rename itself is durable. With one
// writer, one name does: a run killed while writing leaves at most that file,
// which the next write replaces. A file made read-only meanwhile is kept.
LONG ReplaceStore(const std::string& path, const std::string& text) {
  std::string target = WriteTarget(path);
  if (target.empty()) return ERROR_ACCESS_DENIED;
  struct stat old;
  bool exists = stat(target.c_str(), &old) == 0;
  if (exists && (old.st_mode & S_IWUSR) == 0) {
    errno = EACCES;
    return ERROR_ACCESS_DENIED;
  }
  std::string temp = target + kTempSuffix;
  int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return ERROR_ACCESS_DENIED;
  if (exists) fchmod(fd, old.st_mode & 07777);
  bool ok = WriteAll(fd, text) && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  if (!ok || rename(temp.c_str(), target.c_str()) != 0) {
    int error = errno;  // for the report, past the clean-up
    unlink(temp.c_str());
    errno = error;
    return ERROR_ACCESS_DENIED;
  }
  Fd folder(open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.get() >= 0) fsync(folder.get());
  return ERROR_SUCCESS;
}

// The user may have made the file read-only to keep it as it is.
bool IsReadOnly(const StoreFile& store) {
  return store.state == ReadResult::Ok && (store.stamp.mode & S_IWUSR) == 0;
}

// Reads the file again when it changed on disk (a hand edit) or was never
// read, but not over changes that wait to be written.
void Refresh(StoreFile& store) {
  Stamp now;
  if (store.changed ||
      (store.loaded && Look(store.path, &now) == store.state && now == store.stamp))
    return;
  std::string text;
  store.state = ReadStore(store.path, &text, &store.stamp);
  store.doc = store.state == ReadResult::Ok ? reg::ParseDocument(text) : reg::Document{};
  store.loaded = true;
}

// Writes the document as one replace; why not, when it is not written. A
// file that cannot be read is never overwritten, and none is written past
// the size this program reads.
const char* Write(StoreFile& store) {
  if (store.path.empty()) return "there is no home folder";
  if (store.state == ReadResult::Failed) return "it cannot be read";
  std::string text = reg::SerializeDocument(store.doc);
  if (text.size() > static_cast<size_t>(kMaxFileBytes)) return "it would grow too large";
  if (!MakeFolders(FolderOf(store.path)) || ReplaceStore(store.path, text) != ERROR_SUCCESS)
    return std::strerror(errno);
  store.state = Look(store.path, &store.stamp);
  return nullptr;
}

// Writes what has changed. A failure is said on stderr, once until a write
// succeeds again, and the changes wait for the next flush (a full disk may
// have room by then, and the program's end flushes once more).
LONG Flush(StoreFile& store) {
  if (!store.changed) return ERROR_SUCCESS;
  const char* why = Write(store);
  if (!why) {
    store.changed = store.failing = false;
    return ERROR_SUCCESS;
  }
  if (!store.failing)
    std::fprintf(stderr, "Vesk: the settings could not be written to %s: %s\n", store.path.c_str(),
                 why);
  store.failing = true;
  return ERROR_ACCESS_DENIED;
}

// The store of the current settings file, up to date.
StoreFile& CurrentStore() {
  StoreFile& file = Ctx().settings.file;
  std::string path = StorePath();
  if (path != file.path) {
    Flush(file);
    file = StoreFile{};
    file.path = path;
  }
  Refresh(file);
  return file;
}

bool KeyPathOf(HKEY key, std::u16string* path) {
  if (key == HKEY_CURRENT_USER) {
    *path = kRootKey;
    return true;
  }
  auto& openKeys = Ctx().settings.openKeys;
  auto it = openKeys.find(reinterpret_cast<uintptr_t>(key));
  if (it == openKeys.end()) return false;
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
  std::lock_guard guard(Ctx().settings.mutex);
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
    StoreFile& store = CurrentStore();
    if (!reg::HasKey(store.doc, key)) {
      if (IsReadOnly(store)) return ERROR_ACCESS_DENIED;  // as the user wants: nothing to say
      reg::AddKey(store.doc, key);
      store.changed = created = true;
    }
  }
  plat::SettingsStore& settings = Ctx().settings;
  uintptr_t handle = settings.nextHandle;
  settings.nextHandle += 4;
  settings.openKeys[handle] = key;
  *result = reinterpret_cast<HKEY>(handle);
  if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  return ERROR_SUCCESS;
}

LONG RegSetValueExW(HKEY key, const WCHAR* name, DWORD, DWORD type, const BYTE* data, DWORD size) {
  std::lock_guard guard(Ctx().settings.mutex);
  std::u16string keyPath;
  if (!KeyPathOf(key, &keyPath)) return ERROR_INVALID_HANDLE;
  reg::Value value;
  value.name = plat::View(name);
  if ((!data && size) || size > kMaxValueBytes || value.name.size() > kMaxNameChars ||
      !reg::IsWritableName(value.name))
    return ERROR_INVALID_PARAMETER;
  value.type = type;
  if (size) value.data.assign(data, data + size);
  StoreFile& store = CurrentStore();
  if (IsReadOnly(store)) return ERROR_ACCESS_DENIED;
  const reg::Value* old = reg::FindValue(store.doc, keyPath, value.name);
  if (old && old->type == value.type && old->data == value.data) return ERROR_SUCCESS;
  reg::SetValue(store.doc, keyPath, value);
  store.changed = true;
  return ERROR_SUCCESS;
}

LONG RegQueryValueExW(HKEY key, const WCHAR* name, DWORD* reserved, DWORD* type, BYTE* data,
                      DWORD* size) {
  std::lock_guard guard(Ctx().settings.mutex);
  std::u16string keyPath;
  if (!KeyPathOf(key, &keyPath)) return ERROR_INVALID_HANDLE;
  if (reserved || (data && !size)) return ERROR_INVALID_PARAMETER;
  const StoreFile& store = CurrentStore();
  if (store.state == ReadResult::Failed) return ERROR_ACCESS_DENIED;
  const reg::Value* value = reg::FindValue(store.doc, keyPath, plat::View(name));
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

LONG RegFlushKey(HKEY key) {
  std::lock_guard guard(Ctx().settings.mutex);
  std::u16string keyPath;
  if (!KeyPathOf(key, &keyPath)) return ERROR_INVALID_HANDLE;
  return Flush(Ctx().settings.file);
}

LONG RegCloseKey(HKEY key) {
  if (key == HKEY_CURRENT_USER) return ERROR_SUCCESS;
  std::lock_guard guard(Ctx().settings.mutex);
  return Ctx().settings.openKeys.erase(reinterpret_cast<uintptr_t>(key)) ? ERROR_SUCCESS
                                                                         : ERROR_INVALID_HANDLE;
}

const char* SettingsFilePath() {
  thread_local std::string path;
  path = StorePath();
  return path.c_str();
}
