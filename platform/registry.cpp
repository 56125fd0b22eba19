// The settings store: the keys of HKEY_CURRENT_USER live in one text file.
// The file is parsed once and kept in memory; it is read again only when it
// has changed on disk (a hand edit, another player). Changes collect in
// memory and reach the disk together (RegFlushKey, which the message loop
// calls before it waits and the program at its end), as one atomic replace:
// a crash or a kill leaves the old file or the new one, never a mix.
#include "platform/registry.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/internal.h"
#include "platform/reg_text.h"

namespace {

namespace reg = plat::reg;

constexpr std::u16string_view kRootKey = u"HKEY_CURRENT_USER";
constexpr const char* kStoreFile = "/vesk/settings.reg";
// A larger file is not one we wrote: it is left alone and never rewritten,
// and no change may grow the file past it.
constexpr off_t kMaxFileBytes = 16 << 20;
constexpr DWORD kMaxValueBytes = 1 << 20;
constexpr size_t kMaxNameChars = 16383;
constexpr std::string_view kTempInfix = ".tmp";  // then mkstemp's six characters
constexpr int kMaxLinkHops = 40;                 // as the kernel allows

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

enum class ReadResult { Ok, Missing, Failed };

// What identifies one version of the file: a write by anyone changes it.
struct Stamp {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  mode_t mode = 0;
  timespec modified{};
  timespec changed{};
  bool operator==(const Stamp& o) const {
    return device == o.device && inode == o.inode && size == o.size && mode == o.mode &&
           modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec &&
           changed.tv_sec == o.changed.tv_sec && changed.tv_nsec == o.changed.tv_nsec;
  }
};

Stamp StampOf(const struct stat& st) {
  return Stamp{st.st_dev, st.st_ino, st.st_size, st.st_mode, st.st_mtim, st.st_ctim};
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
  if (target.empty()) return ERROR_ACCESS_DENIED;
  if (locked) RemoveStaleTemporaries(target);
  std::string temp = target + std::string(kTempInfix) + "XXXXXX";
  int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return ERROR_ACCESS_DENIED;
  struct stat old;
  if (stat(target.c_str(), &old) == 0) fchmod(fd, old.st_mode & 07777);
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

// A change not yet on disk: a new key, or a value set.
struct Change {
  std::u16string key;
  std::optional<reg::Value> value;
};

bool Apply(reg::Document& doc, const Change& change) {
  if (!change.value) {
    if (reg::HasKey(doc, change.key)) return false;  // another player made it meanwhile
    reg::AddKey(doc, change.key);
    return true;
  }
  const reg::Value* old = reg::FindValue(doc, change.key, change.value->name);
  if (old && old->type == change.value->type && old->data == change.value->data) return false;
  reg::SetValue(doc, change.key, *change.value);
  return true;
}

// The file as this process knows it, and what it has changed since.
struct Store {
  std::string path;
  bool loaded = false;
  ReadResult state = ReadResult::Missing;
  Stamp stamp;
  reg::Document doc;
  size_t bytes = 0;  // of the file, at most, once the pending changes are in
  std::vector<Change> pending;
  const char* refused = nullptr;  // why a change was refused since the last flush
  bool failing = false;           // the last flush failed, and said so
} gStore;

// The user may have made the file read-only to keep it as it is.
bool IsReadOnly(const Store& store) {
  return store.state == ReadResult::Ok && (store.stamp.mode & S_IWUSR) == 0;
}

void Parse(Store& store, ReadResult state, const std::string& text, const Stamp& stamp) {
  store.state = state;
  store.stamp = stamp;
  store.doc = state == ReadResult::Ok ? reg::ParseDocument(text) : reg::Document{};
  store.bytes = text.size();
  store.loaded = true;
}

// Reads the file again when it changed on disk (or was never read), with
// the pending changes made again on what it now holds.
void Refresh(Store& store) {
  Stamp now;
  if (store.loaded && Look(store.path, &now) == store.state && now == store.stamp) return;
  std::string text;
  ReadResult state = ReadStore(store.path, &text, &now);
  Parse(store, state, text, now);
  for (const Change& change : store.pending) Apply(store.doc, change);
}

// Writes the pending changes as one replace. The file is read again under
// the folder lock first, so that what another player wrote meanwhile stays.
// A file that cannot be read, or is read-only, is never overwritten, and one
// that would grow past the size this program reads is not written. After a
// failure the changes wait for the next flush (a full disk may have room by
// then, and the program's end flushes once more).
LONG WritePending(Store& store) {
  LONG rc = ERROR_ACCESS_DENIED;
  if (!store.path.empty() && MakeFolders(FolderOf(store.path))) {
    FolderLock lock(FolderOf(store.path));
    Refresh(store);
    std::string text = reg::SerializeDocument(store.doc);
    if (text.size() > static_cast<size_t>(kMaxFileBytes)) {
      errno = EFBIG;
    } else if (store.state == ReadResult::Failed || IsReadOnly(store)) {
      errno = EACCES;
    } else {
      rc = ReplaceStore(store.path, text, lock.locked());
    }
  }
  if (rc != ERROR_SUCCESS) return rc;
  store.pending.clear();
  store.state = Look(store.path, &store.stamp);
  store.bytes = static_cast<size_t>(store.stamp.size);
  return rc;
}

// Writes what is pending; a failure, or a change refused since the last
// flush, is said on stderr, once until a flush succeeds again.
LONG Flush(Store& store) {
  const char* refused = std::exchange(store.refused, nullptr);
  if (store.pending.empty() && !refused) return ERROR_SUCCESS;
  LONG rc = store.pending.empty() ? ERROR_SUCCESS : WritePending(store);
  const char* why = rc != ERROR_SUCCESS ? std::strerror(errno) : refused;
  if (!why) {
    store.failing = false;
    return rc;
  }
  if (!store.failing)
    std::fprintf(stderr, "Vesk: the settings could not be written to %s: %s\n", store.path.c_str(),
                 why);
  store.failing = true;
  return ERROR_ACCESS_DENIED;
}

// The store of the current settings file, up to date.
Store& CurrentStore() {
  std::string path = StorePath();
  if (path != gStore.path) {
    Flush(gStore);
    gStore = Store{};
    gStore.path = path;
  }
  Refresh(gStore);
  return gStore;
}

// The most a change can add to the file: a section header, and an entry
// with every character taking three bytes and every data byte a hex pair, a
// comma and room for the line breaks.
size_t MostBytes(const Change& change) {
  constexpr size_t kSlack = 64;
  size_t bytes = 3 * change.key.size() + kSlack;
  if (change.value) bytes += 3 * change.value->name.size() + 4 * change.value->data.size() + kSlack;
  return bytes;
}

// Applies a change in memory, to be written at the next flush; an error when
// the flush would refuse it.
LONG Change(Store& store, const struct Change& change) {
  if (IsReadOnly(store)) return ERROR_ACCESS_DENIED;  // as the user wants: nothing to say
  size_t bytes = store.bytes + MostBytes(change) * (store.doc.utf16 ? 2 : 1);
  const char* refusal = store.path.empty()                           ? "there is no home folder"
                        : store.state == ReadResult::Failed          ? "it cannot be read"
                        : bytes > static_cast<size_t>(kMaxFileBytes) ? "it would grow too large"
                                                                     : nullptr;
  if (refusal) {
    store.refused = refusal;
    return ERROR_ACCESS_DENIED;
  }
  if (!Apply(store.doc, change)) return ERROR_SUCCESS;
  store.bytes = bytes;
  store.pending.push_back(change);
  return ERROR_SUCCESS;
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

// What is pending when the program ends some other way than through main's
// return (an exit from a library, say).
struct FlushAtExit {
  ~FlushAtExit() { RegFlushKey(HKEY_CURRENT_USER); }
} gFlushAtExit;

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
    Store& store = CurrentStore();
    if (!reg::HasKey(store.doc, key)) {
      LONG rc = Change(store, {key, std::nullopt});
      if (rc != ERROR_SUCCESS) return rc;
      created = true;
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
  return Change(CurrentStore(), {keyPath, std::move(value)});
}

LONG RegQueryValueExW(HKEY key, const WCHAR* name, DWORD* reserved, DWORD* type, BYTE* data,
                      DWORD* size) {
  std::lock_guard guard(gMutex);
  std::u16string keyPath;
  if (!KeyPathOf(key, &keyPath)) return ERROR_INVALID_HANDLE;
  if (reserved || (data && !size)) return ERROR_INVALID_PARAMETER;
  const Store& store = CurrentStore();
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
  std::lock_guard guard(gMutex);
  std::u16string keyPath;
  if (!KeyPathOf(key, &keyPath)) return ERROR_INVALID_HANDLE;
  return Flush(gStore);
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
