// Folder enumeration under the music root: FindFirstFileW, FindNextFileW and
// FindClose over device paths ("\Albums\Blue\*.mp3").
#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/internal.h"
#include "platform/strings.h"

namespace {

struct Entry {
  std::string bytes;  // the name as the file system holds it
  std::u16string name;
  DWORD attributes = 0;
};

// A search holds its whole result from the moment it starts, so stepping
// through it never sees the folder change half-way.
struct Search {
  std::vector<Entry> entries;
  size_t next = 0;
};

// Search handles are tagged numbers looked up here; a stale or foreign
// handle simply is not found. A file's handle is its descriptor, tagged.
constexpr uintptr_t kHandleIdMask = 0xFFFFFF;
constexpr uintptr_t kSearchTag = uintptr_t{0x5F} << 24;
constexpr uintptr_t kFileTag = uintptr_t{0x5E} << 24;
std::mutex searchesLock;
std::unordered_map<uintptr_t, Search> searches;
uintptr_t nextSearchId = 1;

// Closes a descriptor on every way out.
struct FolderFd {
  int fd = -1;
  ~FolderFd() {
    if (fd >= 0) close(fd);
  }
};

bool SameLetter(char16_t a, char16_t b) {
  if (a == b) return true;
  const WCHAR x[2] = {a, 0};
  const WCHAR y[2] = {b, 0};
  return StrCmpNIW(x, y, 1) == 0;
}

// '*' is any run of characters, '?' exactly one; letters compare without case.
bool WildcardMatch(std::u16string_view pattern, std::u16string_view name) {
  size_t p = 0;
  size_t n = 0;
  size_t starP = std::u16string_view::npos;
  size_t starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == u'*') {
      starP = ++p;
      starN = n;
    } else if (p < pattern.size() && (pattern[p] == u'?' || SameLetter(pattern[p], name[n]))) {
      ++p;
      ++n;
    } else if (starP != std::u16string_view::npos) {
      p = starP;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == u'*') ++p;
  return p == pattern.size();
}

// As on the device, a pattern ending in ".*" also takes names without an
// extension, so "*.*" takes every name.
bool PatternMatches(std::u16string_view pattern, std::u16string_view name) {
  if (WildcardMatch(pattern, name)) return true;
  return pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == u".*" &&
         WildcardMatch(pattern.substr(0, pattern.size() - 2), name);
}

bool HasWildcards(std::u16string_view pattern) {
  return pattern.find_first_of(u"*?") != std::u16string_view::npos;
}

// One component of a device path as the bytes of a name in one folder; none
// for names that would leave the folder or name no entry.
std::optional<std::string> ComponentBytes(std::u16string_view component) {
  if (component.empty()) return std::nullopt;
  std::string bytes = plat::NameToBytes(component);
  if (bytes == "." || bytes == ".." || bytes.find('/') != std::string::npos ||
      bytes.find('\0') != std::string::npos)
    return std::nullopt;
  return bytes;
}

// The real folder for the device folder part of a pattern ("" is the root,
// "\Albums\Blue" a folder below it).
std::optional<std::string> RealFolder(std::u16string_view folder) {
  std::string real = MusicRootPath();
  size_t start = 1;  // past the leading backslash
  while (start <= folder.size() && !folder.empty()) {
    size_t end = folder.find(u'\\', start);
    if (end == std::u16string_view::npos) end = folder.size();
    std::optional<std::string> bytes = ComponentBytes(folder.substr(start, end - start));
    if (!bytes) return std::nullopt;
    real += '/';
    real += *bytes;
    if (real.size() >= PATH_MAX) return std::nullopt;
    start = end + 1;
  }
  return real;
}

// Describes the entry `bytes` of the open folder; false when it vanished or
// is neither a file nor a folder (a pipe named like a song would hang
// whoever opens it). The folder's listing often tells a file or a folder
// already (type); only links and unknown types are looked up.
bool DescribeEntry(int folderFd, const std::string& bytes, std::u16string name, Entry* entry,
                   unsigned char type = DT_UNKNOWN) {
  if (name.size() > MAX_PATH - 1) return false;  // no buffer of the player holds it
  bool folder = type == DT_DIR;
  if (type != DT_REG && type != DT_DIR) {
    struct stat st;
    if (fstatat(folderFd, bytes.c_str(), &st, 0) != 0) {
      // A broken or looping link still shows, as a plain file that will not open.
      if (fstatat(folderFd, bytes.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISLNK(st.st_mode))
        return false;
    } else if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
      return false;
    }
    folder = S_ISDIR(st.st_mode);
  }
  entry->bytes = bytes;
  entry->name = std::move(name);
  entry->attributes = folder ? FILE_ATTRIBUTE_DIRECTORY : 0;
  if (bytes[0] == '.') entry->attributes |= FILE_ATTRIBUTE_HIDDEN;
  if (entry->attributes == 0) entry->attributes = FILE_ATTRIBUTE_NORMAL;
  return true;
}

// Reads the matching entries of the folder, in the order of their bytes so
// that an unchanged folder always gives the same order.
std::vector<Entry> ReadMatches(std::u16string_view devicePattern) {
  std::vector<Entry> entries;
  if (devicePattern.empty() || devicePattern[0] != u'\\') return entries;
  size_t lastSlash = devicePattern.rfind(u'\\');
  std::u16string_view pattern = devicePattern.substr(lastSlash + 1);
  if (pattern.empty()) return entries;
  std::optional<std::string> folder = RealFolder(devicePattern.substr(0, lastSlash));
  if (!folder) return entries;

  FolderFd dir;
  dir.fd = open(folder->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir.fd < 0) return entries;

  if (!HasWildcards(pattern)) {
    // A plain name is that one entry, exactly as the listing spelled it.
    std::optional<std::string> bytes = ComponentBytes(pattern);
    Entry entry;
    if (bytes && folder->size() + 1 + bytes->size() < PATH_MAX &&
        DescribeEntry(dir.fd, *bytes, plat::NameFromBytes(*bytes), &entry))
      entries.push_back(std::move(entry));
    return entries;
  }

  int listFd = dup(dir.fd);  // fdopendir takes ownership of its descriptor
  if (listFd < 0) return entries;
  DIR* list = fdopendir(listFd);
  if (!list) {
    close(listFd);
    return entries;
  }
  while (dirent* de = readdir(list)) {
    std::string bytes = de->d_name;
    if (bytes == "." || bytes == "..") continue;
    std::u16string name = plat::NameFromBytes(bytes);
    if (!PatternMatches(pattern, name)) continue;
    Entry entry;
    if (DescribeEntry(dir.fd, bytes, std::move(name), &entry, de->d_type))
      entries.push_back(std::move(entry));
  }
  closedir(list);
  std::sort(entries.begin(), entries.end(),
            [](const Entry& a, const Entry& b) { return a.bytes < b.bytes; });
  return entries;
}

void FillFindData(const Entry& entry, WIN32_FIND_DATAW* data) {
  std::memset(data, 0, sizeof *data);
  data->dwFileAttributes = entry.attributes;
  std::copy(entry.name.begin(), entry.name.end(), data->cFileName);
  data->cFileName[entry.name.size()] = 0;
}

int FileDescriptor(HANDLE file) {
  uintptr_t value = reinterpret_cast<uintptr_t>(file);
  return (value & ~kHandleIdMask) == kFileTag ? static_cast<int>(value & kHandleIdMask) : -1;
}

uintptr_t SearchId(HANDLE find) {
  uintptr_t value = reinterpret_cast<uintptr_t>(find);
  return (value & ~kHandleIdMask) == kSearchTag ? value & kHandleIdMask : 0;
}

}  // namespace

std::optional<std::string> plat::MusicPathToReal(std::u16string_view path) {
  if (path.empty() || path[0] != u'\\') return std::nullopt;
  return RealFolder(path);
}

HANDLE OpenFileForReading(const WCHAR* path, uint64_t* size) {
  std::optional<std::string> real = plat::MusicPathToReal(plat::View(path));
  if (!real) return INVALID_HANDLE_VALUE;
  // Without waiting: a pipe put in a song's place would block the open for good.
  int fd = open(real->c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  struct stat st;
  if (fd < 0 || static_cast<uintptr_t>(fd) > kHandleIdMask || fstat(fd, &st) != 0 ||
      !S_ISREG(st.st_mode)) {
    if (fd >= 0) close(fd);
    return INVALID_HANDLE_VALUE;
  }
  *size = static_cast<uint64_t>(st.st_size);
  return reinterpret_cast<HANDLE>(kFileTag | static_cast<uintptr_t>(fd));
}

DWORD ReadFileAt(HANDLE file, uint64_t offset, BYTE* buffer, DWORD count) {
  int fd = FileDescriptor(file);
  DWORD done = 0;
  while (fd >= 0 && done < count && offset + done <= uint64_t{INT64_MAX}) {
    ssize_t n = pread(fd, buffer + done, count - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<DWORD>(n);
  }
  return done;
}

BOOL CloseHandle(HANDLE file) {
  int fd = FileDescriptor(file);
  return fd >= 0 && close(fd) == 0;
}

HANDLE FindFirstFileW(const WCHAR* pattern, WIN32_FIND_DATAW* data) {
  if (!pattern || !data) return INVALID_HANDLE_VALUE;
  std::vector<Entry> entries = ReadMatches(plat::View(pattern));
  if (entries.empty()) return INVALID_HANDLE_VALUE;
  FillFindData(entries[0], data);

  std::lock_guard<std::mutex> lock(searchesLock);
  uintptr_t id = nextSearchId;
  while (searches.count(id)) id = id % 0xFFFFFF + 1;  // ids stay within the tag's low bits
  nextSearchId = id % 0xFFFFFF + 1;
  Search& search = searches[id];
  search.entries = std::move(entries);
  search.next = 1;
  return reinterpret_cast<HANDLE>(kSearchTag | id);
}

BOOL FindNextFileW(HANDLE find, WIN32_FIND_DATAW* data) {
  std::lock_guard<std::mutex> lock(searchesLock);
  auto it = searches.find(SearchId(find));
  if (it == searches.end() || !data) return FALSE;
  Search& search = it->second;
  if (search.next >= search.entries.size()) return FALSE;
  FillFindData(search.entries[search.next++], data);
  return TRUE;
}

BOOL FindClose(HANDLE find) {
  std::lock_guard<std::mutex> lock(searchesLock);
  return searches.erase(SearchId(find)) ? TRUE : FALSE;
}
