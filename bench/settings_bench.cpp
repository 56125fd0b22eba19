// The settings store: the start's reading of the settings from a clean file
// and from one with 1 MiB of junk in it, and the quit's saving of its nine
// values (one replace of the file, flushed to the disk).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "app/app_state.h"
#include "app/settings.h"
#include "platform/registry.h"

namespace {

namespace fs = std::filesystem;

constexpr size_t kJunkBytes = 1 << 20;
// Junk as a hand or a broken program might leave it: comments and blank
// lines, damaged section headers, and damaged entries inside the section.
constexpr const char* kJunkLines[][2] = {
    {"; junk line\n", "\n"}, {"[damaged\n", "[\n"}, {"\"x\"=dwor\n", "\n"}};

// Two configuration folders holding the same file: switching between them
// makes every load read and parse the file anew, as a start does.
struct Folders {
  explicit Folders(size_t junk, int kind = 0) {
    std::string pattern = (fs::temp_directory_path() / "vesk-bench-XXXXXX").string();
    root = mkdtemp(pattern.data());
    std::string text =
        "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Mireva\\Vesk]\n"
        "\"Volume\"=dword:00000020\n\"LastPld\"=\"\\\\Albums\\\\\"\n";
    for (size_t i = 0; text.size() < junk; ++i) text += kJunkLines[kind][i % 2];
    for (const char* name : {"/a", "/b"}) {
      fs::create_directories(root + name + "/vesk");
      std::ofstream(root + name + "/vesk/settings.reg", std::ios::binary) << text;
    }
  }
  ~Folders() {
    RegFlushKey(HKEY_CURRENT_USER);
    fs::remove_all(root);
  }
  void Use(int i) { setenv("XDG_CONFIG_HOME", (root + (i % 2 ? "/a" : "/b")).c_str(), 1); }
  std::string root;
};

void BM_LoadSettings(benchmark::State& state) {
  Folders folders(static_cast<size_t>(state.range(0)), static_cast<int>(state.range(1)));
  int i = 0;
  for (auto _ : state) {
    folders.Use(i++);
    LoadSettings();
    benchmark::DoNotOptimize(app.volume);
  }
}
BENCHMARK(BM_LoadSettings)
    ->Args({0, 0})
    ->Args({kJunkBytes, 0})
    ->Args({kJunkBytes, 1})
    ->Args({kJunkBytes, 2})
    ->Unit(benchmark::kMillisecond);

void BM_QuitSavesSettings(benchmark::State& state) {
  Folders folders(0);
  folders.Use(0);
  LoadSettings();
  int i = 0;
  for (auto _ : state) {
    app.volume = app.shuffle = app.clicker = app.backlight = ++i % 2;
    SaveSettings();
    RegFlushKey(HKEY_CURRENT_USER);  // as the message loop does after the quit
  }
}
BENCHMARK(BM_QuitSavesSettings)->Unit(benchmark::kMillisecond);

}  // namespace
