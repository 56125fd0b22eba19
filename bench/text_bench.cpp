// Measuring a full-length row (what fitting a list row repeats up to 255
// times), drawing one row of the list, and the first draw of a title in a
// script the program's font lacks.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/files.h"
#include "platform/gdi.h"
#include "platform/test_hooks.h"
#include "platform/text.h"

namespace {

// A screen context with the program's font, as the player sets it up.
struct TextSetup {
  HDC dc = nullptr;
  std::u16string fontPath;

  TextSetup() {
    SelectDisplay(DisplayKind::Headless);
    ResetPlatformForTests();
    WCHAR path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    fontPath = path;
    fontPath = fontPath.substr(0, fontPath.rfind(u'\\') + 1) + u"Tolo.ttf";
    AddFontResourceW(fontPath.c_str());
    dc = GetDC(nullptr);
    SelectObject(dc, NewFont());
  }
  // A font of its own, with nothing looked up or rendered yet.
  static HFONT NewFont() {
    LOGFONTW lf{};
    lf.lfHeight = 15;
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    for (int i = 0; u"Tolo"[i]; ++i) lf.lfFaceName[i] = u"Tolo"[i];
    return CreateFontIndirectW(&lf);
  }
  ~TextSetup() {
    ReleaseDC(nullptr, dc);
    RemoveFontResourceW(fontPath.c_str());
    ResetPlatformForTests();
  }
};

std::u16string SampleText(size_t length) {
  const std::u16string words = u"Sigur R\u00f3s - Hopp\u00edpolla (Live at the Royal Albert Hall) ";
  std::u16string text;
  while (text.size() < length) text += words;
  return text.substr(0, length);
}

void BM_MeasureFullRow(benchmark::State& state) {
  TextSetup setup;
  std::u16string text = SampleText(255);
  SIZE size{};
  for (auto _ : state) {
    GetTextExtentExPointW(setup.dc, text.c_str(), 255, 0, nullptr, nullptr, &size);
    benchmark::DoNotOptimize(size);
  }
}
BENCHMARK(BM_MeasureFullRow);

void BM_DrawListRow(benchmark::State& state) {
  TextSetup setup;
  std::u16string text = SampleText(20);
  SetBkColor(setup.dc, RGB(198, 220, 202));
  RECT row{0, 0, 151, 18};
  for (auto _ : state) {
    benchmark::DoNotOptimize(DrawTextW(setup.dc, text.c_str(), -1, &row, DT_VCENTER));
  }
}
BENCHMARK(BM_DrawListRow);

// The first draw of a text with a fresh font: for a Japanese title, the
// search for a face that has its characters, opening that face and rendering
// them; for a Latin one of as many pixels, only the rendering. Run alone in a
// process (tools/benchmarks.sh does), the first Japanese draw also starts
// fontconfig.
void FirstDraw(benchmark::State& state, const char16_t* text) {
  TextSetup setup;
  SetBkColor(setup.dc, RGB(198, 220, 202));
  RECT row{0, 0, 151, 18};
  for (auto _ : state) {
    state.PauseTiming();
    HGDIOBJ old = SelectObject(setup.dc, TextSetup::NewFont());
    state.ResumeTiming();
    DrawTextW(setup.dc, text, -1, &row, DT_VCENTER);
    state.PauseTiming();
    DeleteObject(SelectObject(setup.dc, old));
    state.ResumeTiming();
  }
}
void BM_FirstDrawOfJapanese(benchmark::State& state) {
  FirstDraw(state, u"\u6771\u4EAC\u306E\u591C\u30BF\u30EF\u30FC");
}
BENCHMARK(BM_FirstDrawOfJapanese);
void BM_FirstDrawOfLatin(benchmark::State& state) {
  FirstDraw(state, u"Sigur R\u00f3s Hopp\u00edpolla");
}
BENCHMARK(BM_FirstDrawOfLatin);
void BM_FirstDrawOfJapaneseStartingFontconfig(benchmark::State& state) {
  FirstDraw(state, u"\u6771\u4EAC\u306E\u591C\u30BF\u30EF\u30FC");
}
BENCHMARK(BM_FirstDrawOfJapaneseStartingFontconfig)->Iterations(1);

}  // namespace
