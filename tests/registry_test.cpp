#include <pwd.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <optional>
#include <random>
#include <vector>

#include "settings_fixture.h"

namespace {

using Bytes = std::vector<BYTE>;

Bytes Utf16(std::u16string_view text) {
  Bytes out;
  for (char16_t c : text) out.insert(out.end(), {BYTE(c), BYTE(c >> 8)});
  return out;
}
Bytes Sz(std::u16string_view text) {
  return Utf16(std::u16string(text) + u'\0');
}

class SettingsStore : public TempConfig {
 protected:
  void SetUp() override {
    TempConfig::SetUp();
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Test", 0, nullptr, 0, 0, nullptr,
                              &key_, nullptr),
              ERROR_SUCCESS);
    RegFlushKey(HKEY_CURRENT_USER);  // the new key, as the message loop writes it
  }
  LONG Set(const WCHAR* name, DWORD type, const Bytes& data) {
    return RegSetValueExW(key_, name, 0, type, data.data(), DWORD(data.size()));
  }
  std::optional<std::pair<DWORD, Bytes>> Get(const WCHAR* name) {
    Bytes data(4096);
    DWORD type = 99, size = DWORD(data.size());
    if (RegQueryValueExW(key_, name, nullptr, &type, data.data(), &size) != ERROR_SUCCESS)
      return std::nullopt;
    data.resize(size);
    return std::pair{type, data};
  }
  HKEY key_ = nullptr;
};

}  // namespace

TEST_F(TempConfig, SettingsPathFollowsXdgConfigHomeElseHomeElseThePasswdEntry) {
  std::optional<std::string> home;
  if (const char* v = getenv("HOME")) home = v;
  setenv("XDG_CONFIG_HOME", "/cfg/a", 1);
  EXPECT_STREQ(SettingsFilePath(), "/cfg/a/vesk/settings.reg");
  setenv("HOME", "/home/someone", 1);
  for (const char* ignored : {"", "relative/cfg"}) {
    setenv("XDG_CONFIG_HOME", ignored, 1);
    EXPECT_STREQ(SettingsFilePath(), "/home/someone/.config/vesk/settings.reg") << ignored;
  }
  unsetenv("XDG_CONFIG_HOME");
  unsetenv("HOME");
  EXPECT_EQ(SettingsFilePath(),
            std::string(getpwuid(getuid())->pw_dir) + "/.config/vesk/settings.reg");
  home ? setenv("HOME", home->c_str(), 1) : unsetenv("HOME");
}

TEST_F(SettingsStore, EveryTypeAndSizeComesBackExactlyInAReadableForm) {
  Bytes longData(300);
  for (size_t i = 0; i < longData.size(); ++i) longData[i] = BYTE(i * 7);
  // A value's name, type and data, and its line as it stands in the file (none: checked below).
  const std::tuple<const WCHAR*, DWORD, Bytes, const char*> cases[] = {
      {u"Volume", REG_DWORD, {0x32, 0, 0, 0}, "\"Volume\"=dword:00000032"},
      {u"Short", REG_DWORD, {1, 2}, "\"Short\"=hex(4):01,02"},
      {u"Text", REG_SZ, Sz(u"\\Al\"bu\\ms\\ Ψ 🎵"), R"("Text"="\\Al\"bu\\ms\\ Ψ 🎵")"},
      {u"Empty", REG_SZ, Sz(u""), "\"Empty\"=\"\""},
      {u"Unended", REG_SZ, Utf16(u"ab"), "\"Unended\"=hex(1):61,00,62,00"},
      {u"Escaped", REG_SZ, Sz(u"\\x\xdce9\\"), "\"Escaped\"=hex(1):5c,00,78,00,e9,dc,5c,00,00,00"},
      {u"TwoZeros", REG_SZ, Utf16(std::u16string_view(u"a\0\0", 3)),
       "\"TwoZeros\"=hex(1):61,00,00,00,00,00"},
      {u"Odd", REG_SZ, {0x61, 0, 0}, "\"Odd\"=hex(1):61,00,00"},
      {u"Nothing", REG_SZ, {}, "\"Nothing\"=hex(1):"},
      {u"Line\"Break", REG_SZ, Sz(u"a\nb"), R"("Line\"Break"=hex(1):61,00,0a,00,62,00,00,00)"},
      {u"Bin", REG_BINARY, {0xde, 0xad}, "\"Bin\"=hex:de,ad"},
      {u"Quad", 11, {1, 2, 3, 4, 5, 6, 7, 8}, "\"Quad\"=hex(b):01,02,03,04,05,06,07,08"},
      {nullptr, REG_NONE, {}, "@=hex(0):"},
      {u"Long", REG_BINARY, longData, nullptr},
  };
  for (const auto& [name, type, data, line] : cases)
    ASSERT_EQ(Set(name, type, data), ERROR_SUCCESS);
  std::string text = StoreText();
  for (const auto& [name, type, data, line] : cases) {
    EXPECT_TRUE(!line || text.find(std::string(line) + "\n") != std::string::npos) << line;
    EXPECT_EQ(Get(name), (std::pair{type, data})) << line;
  }
  size_t longLine = text.find("\"Long\"=hex:");
  size_t end = text.find("\n\n", longLine);
  EXPECT_GT(std::count(text.begin() + longLine, text.begin() + end, '\n'), 5) << "wrapped";
  DWORD size = 1;  // too small: the size comes back
  EXPECT_EQ(RegQueryValueExW(key_, u"Long", nullptr, nullptr, longData.data(), &size),
            ERROR_MORE_DATA);
  EXPECT_EQ(size, 300u);
}

TEST_F(SettingsStore, BadHandlesAreRefusedNeverFollowed) {
  HKEY closed = key_;
  ASSERT_EQ(RegCloseKey(closed), ERROR_SUCCESS);
  BYTE data[4] = {};
  DWORD size = 4, type;
  for (HKEY bad : {HKEY{}, closed, reinterpret_cast<HKEY>(uintptr_t{0x1234})}) {
    EXPECT_EQ(RegSetValueExW(bad, u"V", 0, REG_DWORD, data, 4), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegQueryValueExW(bad, u"V", nullptr, &type, data, &size), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(bad), ERROR_INVALID_HANDLE);
    HKEY sub = closed;
    EXPECT_EQ(RegCreateKeyExW(bad, u"Sub", 0, nullptr, 0, 0, nullptr, &sub, nullptr),
              ERROR_INVALID_HANDLE);
    EXPECT_EQ(sub, HKEY{});
  }
}

TEST_F(SettingsStore, ReadsHandWrittenFilesAndSkipsOnlyTheDamagedLines) {
  WriteStore(
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "; written by hand\n"
      "[HKEY_CURRENT_USER\\Software\\Other]\n"
      "\"Volume\"=dword:00000001\n\n"
      "[HKEY_CURRENT_USER\\Software\\Test]\r\n"
      "\"Broken\"=dword:xyz\n"
      "\"BadEscape\"=\"a\\qb\"\n"
      "\"Unclosed=dword:00000001\n"
      "\"Bad\xff\"=dword:00000001\n"
      "\"Cut\"=hex:01,\\\n"
      "\"Next\"=dword:0000000a\r\n"
      "\"Long\"=hex:00,01,02,\\\n    03,04,\\\n  05\n"
      " \"Upper\" = DWORD:ABCDEF01\n"
      "@=\"default\"\n"
      "\"volume\"=dword:00000002\n"
      "[HKEY_CURRENT_USER\\Software\\Test]\n"
      "\"VOLUME\"=dword:00000007");
  for (const WCHAR* damaged : {u"Broken", u"BadEscape", u"Unclosed", u"Cut"})
    EXPECT_FALSE(Get(damaged));
  EXPECT_EQ(Get(u"Next")->second, (Bytes{10, 0, 0, 0}));
  EXPECT_EQ(Get(u"Long")->second, (Bytes{0, 1, 2, 3, 4, 5}));
  EXPECT_EQ(Get(u"Upper")->second, (Bytes{1, 0xef, 0xcd, 0xab}));
  EXPECT_EQ(Get(nullptr)->second, Sz(u"default"));
  // Names compare without regard to case; the last one wins, as on import.
  EXPECT_EQ(Get(u"Volume"), (std::pair<DWORD, Bytes>{REG_DWORD, {7, 0, 0, 0}}));
}

TEST_F(SettingsStore, AFailedWriteKeepsTheOldFileAndItsValuesForTheNextFlush) {
  ASSERT_EQ(Set(u"Old", REG_DWORD, {1, 0, 0, 0}), ERROR_SUCCESS);
  std::string before = StoreText();
  // A file-size limit fails the write, even for root; the report fits.
  rlimit old;
  getrlimit(RLIMIT_FSIZE, &old);
  rlimit tiny = {before.size() + 1000, old.rlim_max};
  sighandler_t oldHandler = signal(SIGXFSZ, SIG_IGN);
  setrlimit(RLIMIT_FSIZE, &tiny);
  EXPECT_EQ(Set(u"New", REG_BINARY, Bytes(1000, 0xab)), ERROR_SUCCESS) << "kept until the flush";
  testing::internal::CaptureStderr();
  LONG rc = RegFlushKey(HKEY_CURRENT_USER);
  LONG again = RegFlushKey(HKEY_CURRENT_USER);  // said once only
  std::string said = testing::internal::GetCapturedStderr();
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, oldHandler);
  EXPECT_TRUE(rc != ERROR_SUCCESS && again != ERROR_SUCCESS);
  EXPECT_EQ(ReadBytes(SettingsFilePath()), before);
  EXPECT_EQ(said, std::string("Vesk: the settings could not be written to ") + SettingsFilePath() +
                      ": File too large\n");
  auto entries = std::filesystem::directory_iterator(root_ + "/vesk");
  EXPECT_EQ(std::distance(begin(entries), end(entries)), 1) << "no temporary file is left";
  EXPECT_EQ(RegFlushKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
  EXPECT_NE(ReadBytes(SettingsFilePath()).find("\"New\"=hex:ab,ab"), std::string::npos);
}

// The file is the user's: a link stays a link; a read-only file keeps its contents.
TEST_F(SettingsStore, LinksAndReadOnlyFilesAreRespected) {
  const std::string old = StoreText();
  const std::string dotfiles = root_ + "/dotfiles/settings.reg";
  // What the settings path links to ("" for the file itself), whether that is there, its mode.
  const std::tuple<const char*, std::string, bool, mode_t> cases[] = {
      {"a link", dotfiles, true, 0640},
      {"a relative link to a file not there yet", "../dotfiles/settings.reg", false, 0600},
      {"a read-only file", "", true, 0444},
      {"a link to a read-only file", dotfiles, true, 0444},
  };
  std::filesystem::create_directories(root_ + "/dotfiles");
  for (const auto& [what, link, targetExists, mode] : cases) {
    SCOPED_TRACE(what);
    std::filesystem::remove(dotfiles);
    std::filesystem::remove(SettingsFilePath());
    std::string target = link.empty() ? SettingsFilePath() : dotfiles;
    if (targetExists) WriteText(target, old);
    if (targetExists) chmod(target.c_str(), mode);
    if (!link.empty()) std::filesystem::create_symlink(link, SettingsFilePath());
    bool writable = mode & S_IWUSR;
    LONG set = Set(u"Linked", REG_DWORD, {5, 0, 0, 0});
    LONG flushed = RegFlushKey(HKEY_CURRENT_USER);  // even after a refused set
    EXPECT_EQ(set == ERROR_SUCCESS && flushed == ERROR_SUCCESS, writable);
    EXPECT_EQ(std::filesystem::is_symlink(SettingsFilePath()), !link.empty());
    std::string text = ReadBytes(target);
    EXPECT_EQ(text.find("\"Linked\"=dword:00000005") != std::string::npos, writable);
    EXPECT_TRUE(writable || text == old);
    auto perms = std::filesystem::status(target).permissions();
    EXPECT_TRUE(!targetExists || perms == std::filesystem::perms(mode));
    EXPECT_EQ(Get(u"Linked").has_value(), writable);
  }
  // Made read-only while the player runs: the next write leaves it as it is.
  std::filesystem::remove(SettingsFilePath());
  WriteText(SettingsFilePath(), old);
  ASSERT_EQ(Set(u"Late", REG_DWORD, {6, 0, 0, 0}), ERROR_SUCCESS);
  chmod(SettingsFilePath(), 0444);
  EXPECT_NE(RegFlushKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
  EXPECT_EQ(ReadBytes(SettingsFilePath()), old);
  EXPECT_EQ(std::filesystem::status(SettingsFilePath()).permissions(),
            std::filesystem::perms(0444));
}

// A regedit export: UTF-16LE with a byte-order mark and CR LF line ends.
TEST_F(SettingsStore, AUtf16ExportIsReadAndWrittenBackInItsOwnForm) {
  auto utf16 = [](std::u16string_view text) {
    Bytes bytes = Utf16(u"\uFEFF" + std::u16string(text));
    return std::string(bytes.begin(), bytes.end());
  };
  const std::u16string head =
      u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Test]\r\n"
      u"\"Folder\"=\"\\\\Ψυχή\\\\\"\r\n";
  WriteStore(utf16(head + u"\"volume\"=dword:00000020\r\n\r\n"));
  EXPECT_EQ(Get(u"Volume")->second, (Bytes{0x20, 0, 0, 0}));
  EXPECT_EQ(Get(u"Folder")->second, Sz(u"\\Ψυχή\\"));
  ASSERT_EQ(Set(u"Volume", REG_DWORD, {0x21, 0, 0, 0}), ERROR_SUCCESS);
  ASSERT_EQ(Set(u"New", REG_DWORD, {1, 0, 0, 0}), ERROR_SUCCESS);
  EXPECT_EQ(StoreText(),
            utf16(head + u"\"volume\"=dword:00000021\r\n\"New\"=dword:00000001\r\n\r\n"));
}

// Never grown past the size it reads, so that the file stays readable with its values.
TEST_F(SettingsStore, AFileIsGrownUpToTheSizeLimitButNeverPastIt) {
  constexpr size_t kLimit = 16 << 20;
  const std::string small = "\"Small\"=dword:00000001\n";
  std::string file = StoreText() + "\"Kept\"=dword:00000007\n";
  file += std::string(kLimit - file.size() - small.size(), '\n');  // Small fills it to the byte
  WriteStore(file);
  ASSERT_EQ(Set(u"Small", REG_DWORD, {1, 0, 0, 0}), ERROR_SUCCESS);
  std::string text = StoreText();
  EXPECT_EQ(text.size(), kLimit);
  ASSERT_EQ(Set(u"T", REG_DWORD, {1, 0, 0, 0}), ERROR_SUCCESS);
  testing::internal::CaptureStderr();
  EXPECT_NE(RegFlushKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
  EXPECT_NE(testing::internal::GetCapturedStderr().find(": it would grow too large\n"),
            std::string::npos);
  EXPECT_TRUE(ReadBytes(SettingsFilePath()) == text) << "the file was changed";
  EXPECT_EQ(Get(u"Kept"), (std::pair<DWORD, Bytes>{REG_DWORD, {7, 0, 0, 0}}));
}

// Random files of the lines people and programs leave.
TEST_F(SettingsStore, AValueSetIntoAnyFileKeepsEveryOtherLine) {
  const std::string pool[] = {"",
                              "   ",
                              "; a comment",
                              "junk",
                              "[HKEY_CURRENT_USER\\Software\\Test]",
                              "[HKEY_CURRENT_USER\\Software\\Other]",
                              "[damaged",
                              "[-HKEY_CURRENT_USER\\Software\\Test]",
                              "\"Volume\"=dword:00000001",
                              "\"Broken\"=dwo",
                              "\"Hex\"=hex:01,02,\\",
                              "  03,04",
                              "@=\"default\""};
  std::mt19937 random(11);
  for (int round = 0; round < 300; ++round) {
    std::vector<std::string> lines;
    for (int i = random() % 30; i > 0; --i) lines.push_back(pool[random() % std::size(pool)]);
    std::string file = kSignatureLine;
    for (const std::string& line : lines) file += line + "\n";
    WriteStore(file);
    const Bytes value = {BYTE(round), BYTE(round >> 8), 1, 2};
    ASSERT_EQ(Set(u"Fuzz", REG_DWORD, value), ERROR_SUCCESS);
    std::string text = StoreText();
    EXPECT_EQ(Get(u"Fuzz"), (std::pair<DWORD, Bytes>{REG_DWORD, value})) << file;
    size_t at = 0;
    for (const std::string& line : lines) {
      at = text.find(line + "\n", at);
      ASSERT_NE(at, std::string::npos) << "lost \"" << line << "\" from\n" << file;
      at += line.size() + 1;
    }
  }
}
