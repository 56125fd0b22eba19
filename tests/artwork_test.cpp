// The committed artwork, read back with a reader of its own: what the program's
// loaders and painters rely on (sizes, depths, the transparent white, the click).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string kResources = VESK_SOURCE_DIR "/resources/";
constexpr uint32_t kWhite = 0xFFFFFF;

std::vector<uint8_t> ReadFile(const std::string& file) {
  std::ifstream in(kResources + file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

uint32_t Le(const std::vector<uint8_t>& b, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | (at + i < b.size() ? b[at + i] : 0);
  return v;
}

struct Bmp {
  int width = 0, height = 0, bits = 0;
  std::vector<uint32_t> rgb;  // 0xRRGGBB, top row first
  uint32_t at(int x, int y) const { return rgb[y * width + x]; }
};

// Uncompressed bottom-up BMPs of 4, 8 or 24 bits, as the generator writes them.
Bmp ReadBmp(const std::string& file) {
  std::vector<uint8_t> b = ReadFile(file);
  Bmp bmp;
  if (b.size() < 54 || b[0] != 'B' || b[1] != 'M' || Le(b, 14, 4) != 40 || Le(b, 30, 4) != 0)
    return bmp;
  int w = int(Le(b, 18, 4)), h = int(Le(b, 22, 4)), bits = int(Le(b, 28, 2));
  size_t stride = (size_t(w) * bits + 31) / 32 * 4, data = Le(b, 10, 4);
  if (w <= 0 || h <= 0 || w > 4096 || h > 4096 || data + stride * h > b.size()) return bmp;
  std::vector<uint32_t> pixels;
  for (int y = h - 1; y >= 0; --y) {
    for (int x = 0; x < w; ++x) {
      size_t row = data + stride * y, at = bits == 24 ? row + 3 * x : 54;
      if (bits == 8) at += 4 * b[row + x];
      if (bits == 4) at += 4 * ((b[row + x / 2] >> (x % 2 ? 0 : 4)) & 15);
      pixels.push_back(Le(b, at, 3));
    }
  }
  return {w, h, bits, pixels};
}

std::map<std::string, std::string> ListedFiles(const char* type) {
  std::map<std::string, std::string> files;
  std::ifstream list(kResources + "resources.list");
  std::string line, name, kind, file;
  while (std::getline(list, line)) {
    std::istringstream fields(line);
    if (line[0] != '#' && fields >> name >> kind >> file && kind == type) files[name] = file;
  }
  return files;
}

const char* const kClassicSkin[] = {"IDB_ROTARY", "IDB_BACK", "IDB_MENU", "IDB_PLAYPAUSE",
                                    "IDB_FORWARD"};

}  // namespace

TEST(ArtworkFiles, EveryBitmapHasItsSizeAndDepth) {
  struct Expected {
    const char* name;
    int width, height, bits;
  } expected[] = {
      {"IDB_ROTARY", 120, 120, 8},   {"IDB_ROTARYNGT", 120, 120, 8},  {"IDB_BACK", 40, 40, 8},
      {"IDB_BACKNGT", 40, 40, 8},    {"IDB_MENU", 40, 40, 24},        {"IDB_MENUNGT", 40, 40, 8},
      {"IDB_PLAYPAUSE", 40, 40, 8},  {"IDB_PLAYPAUSENGT", 40, 40, 8}, {"IDB_FORWARD", 40, 40, 8},
      {"IDB_FORWARDNGT", 40, 40, 8}, {"IDB_BORDER", 168, 136, 8},     {"IDB_BATTERY", 20, 10, 8},
      {"IDB_PLAY", 9, 9, 8},         {"IDB_PAUSE", 9, 9, 8},          {"IDB_SHUFFLE", 11, 7, 8},
      {"IDB_RPTONE", 11, 7, 4},      {"IDB_RPTALL", 11, 7, 8},        {"IDB_VOLDOWN", 6, 11, 8},
      {"IDB_VOLUP", 13, 13, 8}};
  std::map<std::string, std::string> files = ListedFiles("BITMAP");
  EXPECT_EQ(files.size(), std::size(expected));
  for (const Expected& e : expected) {
    Bmp bmp = ReadBmp(files[e.name]);
    EXPECT_EQ(bmp.width, e.width) << e.name;
    EXPECT_EQ(bmp.height, e.height) << e.name;
    EXPECT_EQ(bmp.bits, e.bits) << e.name;
  }
}

TEST(ArtworkSkins, HaveNoTransparentWhiteAndCornersInTheFrameColour) {
  std::map<std::string, std::string> files = ListedFiles("BITMAP");
  for (bool night : {false, true}) {
    for (std::string name : kClassicSkin) {
      if (night) name += "NGT";
      Bmp bmp = ReadBmp(files[name]);
      ASSERT_EQ(bmp.width * bmp.height, int(bmp.rgb.size())) << name;
      ASSERT_FALSE(bmp.rgb.empty()) << name;
      uint32_t frame = night ? 0x16171D : 0xF7F7F7;
      EXPECT_EQ(std::count(bmp.rgb.begin(), bmp.rgb.end(), kWhite), 0) << name;
      for (int y : {0, bmp.height - 1})
        for (int x : {0, bmp.width - 1}) EXPECT_EQ(bmp.at(x, y), frame) << name;
    }
  }
}

TEST(ArtworkIcons, BatteryIsHollowWhereTheGaugeIsDrawnAndBorderCornersAreCut) {
  Bmp battery = ReadBmp(ListedFiles("BITMAP")["IDB_BATTERY"]);
  ASSERT_EQ(battery.rgb.size(), 200u);
  for (int y = 2; y <= 7; ++y)
    for (int x = 2; x <= 16; ++x) EXPECT_EQ(battery.at(x, y), kWhite) << x << "," << y;
  EXPECT_EQ(battery.at(0, 5), 0u) << "the outline is black";

  Bmp border = ReadBmp(ListedFiles("BITMAP")["IDB_BORDER"]);
  ASSERT_EQ(border.rgb.size(), 168u * 136u);
  EXPECT_EQ(border.at(0, 0), kWhite);
  EXPECT_EQ(border.at(167, 135), kWhite);
  EXPECT_EQ(border.at(80, 0), 0u);
  EXPECT_EQ(border.at(80, 1), 0x868686u);
  EXPECT_EQ(border.at(2, 2), 0xC0DCC0u);
}

TEST(ArtworkSound, ClickIs57SamplesOfMono8BitPcmAt11025) {
  std::vector<uint8_t> wav = ReadFile(ListedFiles("WAVE")["CLICK"]);
  ASSERT_GE(wav.size(), 12u);
  EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
  EXPECT_EQ(Le(wav, 4, 4) + 8, wav.size());
  EXPECT_EQ(std::string(wav.begin() + 8, wav.begin() + 12), "WAVE");
  std::map<std::string, size_t> chunks;  // id -> offset of its data
  for (size_t at = 12; at + 8 <= wav.size(); at += 8 + Le(wav, at + 4, 4) + Le(wav, at + 4, 4) % 2)
    chunks[std::string(wav.begin() + at, wav.begin() + at + 4)] = at + 8;
  ASSERT_TRUE(chunks.count("fmt ") && chunks.count("data"));
  size_t fmt = chunks["fmt "], data = chunks["data"];
  EXPECT_EQ(Le(wav, fmt, 2), 1u);  // PCM
  EXPECT_EQ(Le(wav, fmt + 2, 2), 1u);
  EXPECT_EQ(Le(wav, fmt + 4, 4), 11025u);
  EXPECT_EQ(Le(wav, fmt + 14, 2), 8u);
  ASSERT_EQ(Le(wav, data - 4, 4), 57u);
  ASSERT_LE(data + 57, wav.size());
  auto [low, high] = std::minmax_element(wav.begin() + data, wav.begin() + data + 57);
  EXPECT_GT(*high - *low, 100) << "loud enough to hear";
  EXPECT_NEAR(wav[data + 56], 128, 2) << "ends at rest, without a second click";
}

TEST(ArtworkProgramIcon, Holds32And16PixelImagesOf16Colours) {
  std::vector<uint8_t> ico = ReadFile(ListedFiles("ICON")["101"]);
  ASSERT_GE(ico.size(), 6u + 2 * 16);
  EXPECT_EQ(Le(ico, 0, 4), 0x00010000u);  // reserved 0, type 1 (icon)
  ASSERT_EQ(Le(ico, 4, 2), 2u);
  std::vector<int> sizes;
  for (size_t entry = 6; entry < 6 + 2 * 16; entry += 16) {
    size_t dib = Le(ico, entry + 12, 4);
    sizes.push_back(ico[entry]);
    EXPECT_EQ(Le(ico, entry + 8, 4), 40 + 16 * 4 + Le(ico, dib + 20, 4));
    EXPECT_LE(dib + Le(ico, entry + 8, 4), ico.size());
    EXPECT_EQ(Le(ico, dib + 4, 4), ico[entry]);
    EXPECT_EQ(Le(ico, dib + 8, 4), 2u * ico[entry]) << "the colour image and its AND mask";
    EXPECT_EQ(Le(ico, dib + 14, 2), 4u);
  }
  EXPECT_EQ(sizes, (std::vector<int>{32, 16}));
}
