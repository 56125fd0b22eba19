// Folder enumeration under the music root: FindFirstFileW, FindNextFileW and
// FindClose over device paths ("\Albums\Blue\*.*").
#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/internal.h"
#include "platform/strings.h"

namespace {

struct Entry {
  const char* bytes;  // the name as the file system holds it, in its read's blocks
  uint16_t length;    // no name is longer than NAME_MAX, 255 bytes
  uint16_t attributes;
  std::string_view Bytes() const { return {bytes, length}; }
};

// A folder's entries as read once, sorted by their bytes so that an unchanged
// folder always gives the same order. The names stay bytes, packed in
// blocks, until each is handed out: a folder of 70,000 files costs its names
// once, with no allocation of their own.
struct FolderRead {
  static constexpr size_t kBlockBytes = 65536;  // more than any name (NAME_MAX, 255)
  std::vector<std::unique_ptr<char[]>> blocks;
  size_t blockUsed = 0;
  std::vector<Entry> entries;

  void Add(std::string_view bytes, DWORD attributes) {
    if (blocks.empty() || blockUsed + bytes.size() > kBlockBytes) {
      blocks.push_back(std::make_unique_for_overwrite<char[]>(kBlockBytes));
      blockUsed = 0;
    }
    char* kept = blocks.back().get() + blockUsed;
    std::copy(bytes.begin(), bytes.end(), kept);
    blockUsed += bytes.size();
    entries.push_back(
        Entry{kept, static_cast<uint16_t>(bytes.size()), static_cast<uint16_t>(attributes)});
  }
};

// A search holds its whole result from the moment it starts, so stepping
// through it never sees the folder change half-way: a read of the folder,
// and which of its entries match the pattern.
struct Search {
  std::shared_ptr<const FolderRead> read;
  std::vector<uint32_t> matches;  // positions in the read; unused when all match
  bool all = false;
  size_t next = 0;

  size_t size() const { return read ? (all ? read->entries.size() : matches.size()) : 0; }
  const Entry& operator[](size_t i) const { return read->entries[all ? i : matches[i]]; }
};

// The last folder read for a pattern with wildcards, kept until the loop is
// idle: a listing reads a folder for "*.*" and at once for its music, and
// starting a file counts the folder's files and then finds one. It serves
// again only while the folder is unchanged: the same folder, last modified
// at the same moment.
struct LastRead {
  std::string folder;
  struct stat status;
  std::shared_ptr<const FolderRead> read;
};

// Search handles are tagged numbers looked up here; a stale or foreign
// handle simply is not found. A file's handle is its descriptor, tagged.
constexpr uintptr_t kHandleIdMask = 0xFFFFFF;
constexpr uintptr_t kSearchTag = uintptr_t{0x5F} << 24;
constexpr uintptr_t kFileTag = uintptr_t{0x5E} << 24;
// The names of a big folder lay between the rows made from them; glibc keeps
// such freed pages, and the player would hold a big folder's peak for good.
// They go back once the loop is idle: trimming costs a few milliseconds.
constexpr size_t kBigRead = 10000;  // entries
bool bigReadDropped = false;
// Guards the searches and the last read, as the calls may come from any thread.
std::mutex searchesLock;
std::unordered_map<uintptr_t, Search> searches;
std::optional<LastRead> lastRead;
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

// The ASCII tail of a pattern such as "*.mp3", which can be matched on a
// name's bytes without decoding it: ASCII bytes are themselves in any name,
// and no other character folds to an ASCII letter. Empty for other patterns.
std::string AsciiTail(std::u16string_view pattern) {
  if (pattern.size() < 2 || pattern[0] != u'*' || HasWildcards(pattern.substr(1))) return {};
  std::string tail;
  for (char16_t c : pattern.substr(1)) {
    if (c >= 0x80) return {};
    tail += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  }
  return tail;
}

bool EndsWithIgnoringCase(std::string_view bytes, std::string_view lowerTail) {
  if (bytes.size() < lowerTail.size()) return false;
  bytes.remove_prefix(bytes.size() - lowerTail.size());
  for (size_t i = 0; i < bytes.size(); ++i) {
    char c = bytes[i];
    if ((c >= 'A' && c <= 'Z' ? c + 32 : c) != lowerTail[i]) return false;
  }
  return true;
}

// The ends of the names kMusicPattern takes, in lower case.
constexpr std::string_view kMusicTails[] = {".mp3", ".flac", ".ogg", ".oga", ".opus", ".wav"};

bool IsMusicName(std::string_view bytes) {
  return std::any_of(std::begin(kMusicTails), std::end(kMusicTails),
                     [&](std::string_view tail) { return EndsWithIgnoringCase(bytes, tail); });
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

// The attributes of the entry `bytes` of the open folder; none when it
// vanished or is neither a file nor a folder (a pipe named like a song would
// hang whoever opens it). The folder's listing often tells a file or a folder
// already (type); only links and unknown types are looked up.
std::optional<DWORD> Attributes(int folderFd, const char* bytes, unsigned char type) {
  bool folder = type == DT_DIR;
  if (type != DT_REG && type != DT_DIR) {
    struct stat st;
    if (fstatat(folderFd, bytes, &st, 0) != 0) {
      // A broken or looping link still shows, as a plain file that will not open.
      if (fstatat(folderFd, bytes, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISLNK(st.st_mode))
        return std::nullopt;
    } else if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
      return std::nullopt;
    }
    folder = S_ISDIR(st.st_mode);
  }
  DWORD attributes = folder ? FILE_ATTRIBUTE_DIRECTORY : 0;
  if (bytes[0] == '.') attributes |= FILE_ATTRIBUTE_HIDDEN;
  return attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
}

bool Unchanged(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_mtim.tv_sec == b.st_mtim.tv_sec &&
         a.st_mtim.tv_nsec == b.st_mtim.tv_nsec && a.st_ctim.tv_sec == b.st_ctim.tv_sec &&
         a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

// Every entry of the open folder, sorted.
std::shared_ptr<const FolderRead> ReadFolder(int folderFd) {
  auto read = std::make_shared<FolderRead>();
  int listFd = dup(folderFd);  // fdopendir takes ownership of its descriptor
  if (listFd < 0) return read;
  DIR* list = fdopendir(listFd);
  if (!list) {
    close(listFd);
    return read;
  }
  while (dirent* de = readdir(list)) {
    std::string_view bytes = de->d_name;
    if (bytes == "." || bytes == "..") continue;
    if (std::optional<DWORD> attributes = Attributes(folderFd, de->d_name, de->d_type))
      read->Add(bytes, *attributes);
  }
  closedir(list);
  std::sort(read->entries.begin(), read->entries.end(),
            [](const Entry& a, const Entry& b) { return a.Bytes() < b.Bytes(); });
  return read;
}

// The folder's entries that match the pattern, into the search.
void ReadMatches(std::u16string_view devicePattern, Search* search) {
  if (devicePattern.empty() || devicePattern[0] != u'\\') return;
  size_t lastSlash = devicePattern.rfind(u'\\');
  std::u16string_view pattern = devicePattern.substr(lastSlash + 1);
  if (pattern.empty()) return;
  std::optional<std::string> folder = RealFolder(devicePattern.substr(0, lastSlash));
  if (!folder) return;

  FolderFd dir;
  dir.fd = open(folder->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir.fd < 0) return;

  if (!HasWildcards(pattern)) {
    // A plain name is that one entry, exactly as the listing spelled it.
    std::optional<std::string> bytes = ComponentBytes(pattern);
    if (!bytes || folder->size() + 1 + bytes->size() >= PATH_MAX) return;
    auto read = std::make_shared<FolderRead>();
    if (std::optional<DWORD> attributes = Attributes(dir.fd, bytes->c_str(), DT_UNKNOWN))
      read->Add(*bytes, *attributes);
    search->read = std::move(read);
    search->all = true;
    return;
  }

  struct stat status;
  if (fstat(dir.fd, &status) != 0) return;
  {
    std::lock_guard<std::mutex> lock(searchesLock);
    if (lastRead && lastRead->folder == *folder && Unchanged(lastRead->status, status))
      search->read = lastRead->read;
  }
  if (!search->read) {
    search->read = ReadFolder(dir.fd);
    std::lock_guard<std::mutex> lock(searchesLock);
    if (lastRead && lastRead->read->entries.size() >= kBigRead) bigReadDropped = true;
    lastRead = LastRead{*folder, status, search->read};
  }

  search->all = pattern == u"*" || pattern == u"*.*";
  if (search->all) return;
  const bool music = pattern == kMusicPattern;
  std::string tail = music ? std::string() : AsciiTail(pattern);
  const std::vector<Entry>& entries = search->read->entries;
  for (uint32_t i = 0; i < entries.size(); ++i) {
    std::string_view bytes = entries[i].Bytes();
    bool matches = music          ? IsMusicName(bytes)
                   : tail.empty() ? PatternMatches(pattern, plat::NameFromBytes(bytes))
                                  : EndsWithIgnoringCase(bytes, tail);
    if (matches) search->matches.push_back(i);
  }
}

void FillFindData(const Entry& entry, WIN32_FIND_DATAW* data) {
  data->dwFileAttributes = entry.attributes;
  size_t length = plat::NameFromBytes(entry.Bytes().substr(0, MAX_PATH - 1), data->cFileName);
  std::fill(data->cFileName + length, std::end(data->cFileName), 0);
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

DWORD GetFileAttributesW(const WCHAR* path) {
  std::u16string_view device = plat::View(path);
  if (device.empty() || device[0] != u'\\') return INVALID_FILE_ATTRIBUTES;
  if (device.back() == u'\\') device.remove_suffix(1);  // a folder's path, "\\" the root
  std::optional<std::string> real = RealFolder(device);
  struct stat st;
  if (!real || stat(real->c_str(), &st) != 0) return INVALID_FILE_ATTRIBUTES;
  return S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
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
  Search found;
  ReadMatches(plat::View(pattern), &found);
  if (found.size() == 0) return INVALID_HANDLE_VALUE;
  FillFindData(found[0], data);

  std::lock_guard<std::mutex> lock(searchesLock);
  uintptr_t id = nextSearchId;
  while (searches.count(id)) id = id % 0xFFFFFF + 1;  // ids stay within the tag's low bits
  nextSearchId = id % 0xFFFFFF + 1;
  Search& search = searches[id];
  search = std::move(found);
  search.next = 1;
  return reinterpret_cast<HANDLE>(kSearchTag | id);
}

BOOL FindNextFileW(HANDLE find, WIN32_FIND_DATAW* data) {
  std::lock_guard<std::mutex> lock(searchesLock);
  auto it = searches.find(SearchId(find));
  if (it == searches.end() || !data) return FALSE;
  Search& search = it->second;
  if (search.next >= search.size()) return FALSE;
  FillFindData(search[search.next++], data);
  return TRUE;
}

BOOL FindClose(HANDLE find) {
  std::lock_guard<std::mutex> lock(searchesLock);
  return searches.erase(SearchId(find)) ? TRUE : FALSE;
}

void plat::ReturnFreedMemory() {
  {
    std::lock_guard<std::mutex> lock(searchesLock);
    if (lastRead && lastRead->read->entries.size() >= kBigRead) bigReadDropped = true;
    lastRead.reset();
    if (!std::exchange(bigReadDropped, false)) return;
  }
  malloc_trim(0);
}
