// The committed artwork as loaded: what its painters rely on.
#include <algorithm>
#include <string>

#include "platform/gdi.h"
#include "platform/internal.h"
#include "tests/headless.h"

namespace {

using Artwork = Headless;

TEST_F(Artwork, SkinsHaveNoTransparentWhiteAndFrameColouredCornersAndTheIconIs32Pixels) {
  for (auto [suffix, frame] : {std::pair{u"", 0xF7F7F7u}, {u"NGT", 0x16171Du}}) {
    for (std::u16string name :
         {u"IDB_ROTARY", u"IDB_BACK", u"IDB_MENU", u"IDB_PLAYPAUSE", u"IDB_FORWARD"}) {
      SCOPED_TRACE(testing::PrintToString(name + suffix));
      const plat::BitmapData* bitmap =
          plat::BitmapOf(LoadBitmapW(nullptr, (name + suffix).c_str()));
      ASSERT_TRUE(bitmap && !bitmap->pixels.empty());
      const std::vector<uint32_t>& pixels = bitmap->pixels;
      EXPECT_EQ(std::count(pixels.begin(), pixels.end(), 0xFFFFFFu), 0) << "white is transparent";
      for (size_t corner : {size_t{0}, size_t(bitmap->width - 1), pixels.size() - 1})
        EXPECT_EQ(pixels[corner], frame);
    }
  }
  const plat::BitmapData* shown =
      plat::BitmapOf(reinterpret_cast<HGDIOBJ>(LoadIconW(nullptr, u"101")));
  ASSERT_NE(shown, nullptr);
  EXPECT_EQ(shown->width, 32);
  EXPECT_EQ(shown->bitsPerPixel, 4) << "16 colours";
}

}  // namespace
