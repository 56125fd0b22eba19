// Big folders: listing them (against `ls -1` of the same folder), opening a
// file deep in them, and building a shuffled playlist of all their files.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>

#include "bench/menu_list_setup.h"
#include "menus/browser.h"
#include "platform/files.h"
#include "platform/internal.h"
#include "playback/playlist.h"
#include "playback/sound_engine.h"

namespace {

constexpr WCHAR kBigFolder[] = u"\\Big\\";

// A music root holding the folder "Big" of count MP3 files with realistic
// names, made once per size. In memory (tmpfs) when the machine has it: a
// disk takes many seconds to make tens of thousands of files, and a listing
// reads a folder that the system has cached either way.
struct BigFolder {
  std::string root;

  explicit BigFolder(int count) {
    std::string base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
    root = base + "/vesk-bench-XXXXXX";
    if (!mkdtemp(root.data())) return;
    std::filesystem::create_directory(root + "/Big");
    int made = 0;
    for (const std::u16string& name : FolderNames(count * 2)) {
      if (made == count) break;
      if (name.size() < 4 || name.substr(name.size() - 4) != u".mp3") continue;
      std::u16string unique = name.substr(0, name.size() - 4) + u" " +
                              std::filesystem::path(std::to_string(made)).u16string() + u".mp3";
      std::string path = root + "/Big/" + plat::NameToBytes(unique);
      close(open(path.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644));
      ++made;
    }
  }
  ~BigFolder() { std::filesystem::remove_all(root); }
};

// The folder of each size stays for the whole run.
const BigFolder& FolderOf(int count) {
  static std::map<int, std::unique_ptr<BigFolder>> folders;
  auto& folder = folders[count];
  if (!folder) folder = std::make_unique<BigFolder>(count);
  setenv("VESK_MUSIC_DIR", folder->root.c_str(), 1);
  plat::ResetMusicRootForTests();
  return *folder;
}

// What the player's loop does when it has nothing to do: the last folder read
// is let go, so that each pass reads the folder anew, as a user's action does.
void GoIdle(benchmark::State& state) {
  state.PauseTiming();
  plat::ReturnFreedMemory();
  state.ResumeTiming();
}

void BM_ListFolder(benchmark::State& state) {
  FolderOf(static_cast<int>(state.range(0)));
  MenuListSetup setup;
  for (auto _ : state) {
    ListFolder(setup.list, kBigFolder);
    GoIdle(state);
  }
  state.counters["rows"] = static_cast<double>(SendMessageW(setup.list, LB_GETCOUNT, 0, 0));
}
BENCHMARK(BM_ListFolder)->Arg(10000)->Arg(70000)->Unit(benchmark::kMillisecond);

// The reference for listing a folder: `ls -1` of the same folder, a process
// of its own, in the same run.
void BM_LsOfTheSameFolder(benchmark::State& state) {
  const BigFolder& folder = FolderOf(static_cast<int>(state.range(0)));
  std::string command = "ls -1 '" + folder.root + "/Big' >/dev/null";
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) state.SkipWithError("ls failed");
  }
}
BENCHMARK(BM_LsOfTheSameFolder)->Arg(70000)->Unit(benchmark::kMillisecond)->UseRealTime();

// Opening the file at ordinal 9,999 (a real MP3 put there), paused: the
// folder is enumerated again up to it, its tags read and the stream opened.
void BM_OpenTrackAtOrdinal9999(benchmark::State& state) {
  const BigFolder& folder = FolderOf(static_cast<int>(state.range(0)));
  constexpr int32_t kOrdinal = 9999;
  WCHAR pattern[kPathChars];
  StringCchCopyW(pattern, kPathChars, kBigFolder);
  StringCchCatW(pattern, kPathChars, kMusicPattern);
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW(pattern, &found);
  for (int32_t i = 0; i < kOrdinal && FindNextFileW(find, &found); ++i) {
  }
  FindClose(find);
  std::filesystem::copy_file(std::filesystem::path(std::string(VESK_BINARY_DIR) +
                                                   "/demo/Vesk Demo/Morning/01 Sunrise.mp3"),
                             folder.root + "/Big/" + plat::NameToBytes(found.cFileName),
                             std::filesystem::copy_options::overwrite_existing);
  ResetAppState();
  InitSoundEngine(nullptr);
  StringCchCopyW(app.playlistFolder, kPathChars, kBigFolder);
  bool opened = true;
  for (auto _ : state) {
    bool ok = OpenTrack(kOrdinal, 1);
    state.PauseTiming();
    opened = opened && ok;
    CloseStream();
    plat::ReturnFreedMemory();
    state.ResumeTiming();
  }
  state.counters["opened"] = opened;
}
BENCHMARK(BM_OpenTrackAtOrdinal9999)->Arg(10000)->Unit(benchmark::kMillisecond);

// Choosing a file of the listing: counting the folder's files and filling
// the playlist, shuffled or in row order.
void BuildFromListing(benchmark::State& state, int32_t shuffle) {
  FolderOf(static_cast<int>(state.range(0)));
  MenuListSetup setup;
  ListFolder(setup.list, kBigFolder);
  app.shuffle = shuffle;
  int32_t row = static_cast<int32_t>(SendMessageW(setup.list, LB_GETCOUNT, 0, 0)) / 2;
  plat::ReturnFreedMemory();
  for (auto _ : state) {
    BuildPlaylist(setup.list, kBigFolder, row);
    GoIdle(state);
  }
  state.counters["entries"] = app.playlistCount;
  delete[] app.playlist;
  app.playlist = nullptr;
}
void BM_BuildShuffled(benchmark::State& state) {
  BuildFromListing(state, 1);
}
void BM_BuildInRowOrder(benchmark::State& state) {
  BuildFromListing(state, 0);
}
BENCHMARK(BM_BuildShuffled)->Arg(10000)->Arg(70000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildInRowOrder)->Arg(10000)->Arg(70000)->Unit(benchmark::kMillisecond);

}  // namespace
