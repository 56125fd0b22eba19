// Measuring a full-length row (what fitting a list row repeats up to 255
// times) and drawing one row of the list.
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
    LOGFONTW lf{};
    lf.lfHeight = 15;
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    for (int i = 0; u"Tolo"[i]; ++i) lf.lfFaceName[i] = u"Tolo"[i];
    dc = GetDC(nullptr);
    SelectObject(dc, CreateFontIndirectW(&lf));
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

}  // namespace
