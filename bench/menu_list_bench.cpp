// Filling MenuList with a large folder listing, the sort order's cost, and
// fitting one long text.
#include <benchmark/benchmark.h>

#include <algorithm>

#include "bench/menu_list_setup.h"

namespace {

void BM_RefillWithSortedFolderRows(benchmark::State& state) {
  MenuListSetup setup;
  std::vector<std::u16string> names = FolderNames(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    BeginRefill(setup.list);
    for (size_t i = 0; i < names.size(); ++i) {
      AddMenuRow(setup.list, names[i].c_str(), i % 10 == 0 ? RowKind::Arrow : RowKind::Plain, true);
    }
    EndRefill(setup.list);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_RefillWithSortedFolderRows)->Arg(10000)->Unit(benchmark::kMillisecond);

// The list alone: sorted insertion of texts already fitted.
void BM_ListBoxSortedInserts(benchmark::State& state) {
  MenuListSetup setup;
  std::vector<std::u16string> names = FolderNames(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    SendMessageW(setup.list, LB_RESETCONTENT, 0, 0);
    for (const std::u16string& name : names) {
      SendMessageW(setup.list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    }
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ListBoxSortedInserts)->Arg(10000)->Unit(benchmark::kMillisecond);

// The cost of the sort order: sorting a folder's names with it, against
// sorting them by their code units (Arg 1) in the same run.
void BM_SortNames(benchmark::State& state) {
  const std::vector<std::u16string> names = FolderNames(70000);
  std::vector<const WCHAR*> texts;
  for (const std::u16string& name : names) texts.push_back(name.c_str());
  auto compare = state.range(0) ? lstrcmpW : lstrcmpiW;
  for (auto _ : state) {
    std::vector<const WCHAR*> sorted = texts;
    std::sort(sorted.begin(), sorted.end(),
              [&](const WCHAR* a, const WCHAR* b) { return compare(a, b) < 0; });
    benchmark::DoNotOptimize(sorted.data());
  }
}
BENCHMARK(BM_SortNames)->ArgName("byCodeUnits")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_EllipsizeTextOf255Characters(benchmark::State& state) {
  MenuListSetup setup;
  std::u16string text;
  while (text.size() < 255) text += u"Ashgrove Quartet - Electric Harbour - ";
  text.resize(255);
  WCHAR buffer[kTextChars];
  for (auto _ : state) {
    StringCchCopyW(buffer, kTextChars, text.c_str());
    EllipsizeToWidth(buffer, 151);
    benchmark::DoNotOptimize(buffer);
  }
}
BENCHMARK(BM_EllipsizeTextOf255Characters)->Unit(benchmark::kMicrosecond);

}  // namespace
