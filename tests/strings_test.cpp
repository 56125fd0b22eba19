#include <gtest/gtest.h>

#include <tuple>

#include "platform/device.h"
#include "platform/internal.h"
#include "platform/strings.h"

// No real name is a path or a pattern: bad bytes become low surrogates, path characters private.
TEST(NameMapping, EveryNameComesBackUnchangedAndOtherBadTextIsReplaced) {
  const std::pair<std::string, std::u16string> cases[] = {
      {"plain.mp3", u"plain.mp3"},
      {"Blåbær – “Ψ”.mp3", u"Blåbær – “Ψ”.mp3"},
      {"emoji 🎵.mp3", u"emoji 🎵.mp3"},
      {"latin1 \xe9t\xe9.mp3", u"latin1 \xdce9t\xdce9.mp3"},
      {"\xc0\xaf overlong", u"\xdcc0\xdcaf overlong"},
      {"cut \xe2\x82", u"cut \xdce2\xdc82"},
      {"a\\b", u"a\uF05Cb"},
      {"*", u"\xf02a"},
      {"?.mp3", u"\xf03f.mp3"},
  };
  for (const auto& [bytes, name] : cases) {
    EXPECT_EQ(plat::NameFromBytes(bytes), name) << bytes;
    EXPECT_EQ(plat::NameToBytes(name), bytes) << bytes;
  }
  EXPECT_EQ(plat::DevicePathToReal(u"\\Albums\\Blue\\"), "/Albums/Blue/");
  std::string real = "/music/odd\\name/\xff.mp3";
  EXPECT_EQ(plat::DevicePathToReal(plat::RealPathToDevice(real)), real);
  EXPECT_EQ(plat::ToUtf8(u"a\xd800z"), "a\xef\xbf\xbdz");
  EXPECT_EQ(plat::FromUtf8("a\xffz"), std::u16string(u"a\xfffdz"));
}

TEST(BoundedStrings, CopyAppendAndFormatCutAndTerminateAtTheBufferSize) {
  WCHAR buffer[6];
  EXPECT_TRUE(StringCchCopyW(buffer, 6, u"Vesk"));
  EXPECT_FALSE(StringCchCatW(buffer, 6, u"Player"));
  EXPECT_EQ(std::u16string(buffer), u"VeskP");
  EXPECT_FALSE(StringCchCopyW(buffer, 6, u"Much too long"));
  EXPECT_EQ(lstrlenW(buffer), 5);
  WCHAR formatted[32];
  StringCchPrintfW(formatted, 32, u"%d:%02d %s 100%%", -1, 7, u"left");
  EXPECT_EQ(std::u16string(formatted), u"-1:07 left 100%");
  EXPECT_FALSE(StringCchPrintfW(buffer, 4, u"%d", 123456));
  EXPECT_EQ(std::u16string(buffer), u"123");
}

TEST(SortOrder, BaseLettersFirstThenAccentsAndNeverCase) {
  const std::tuple<const char16_t*, const char16_t*, int> cases[] = {
      {u"ÉTÉ", u"été", 0},
      {u"ΑΘΗΝΑ", u"αθηνα", 0},
      {u"МОСКВА Ёж", u"москва ёж", 0},
      {u"Ängel", u"Apfel", -1},
      {u"Straße", u"Strasse", 1},  // the same letters: the accent decides
      {u"Straße", u"Strasze", -1},
      {u"ёлка", u"жук", -1},
      {u"_x", u"0", -1},  // signs before digits, digits before letters
      {u"9", u"a", -1},
      {u"東京", u"Zürich", 1},
  };
  for (const auto& [a, b, sign] : cases) {
    int got = lstrcmpiW(a, b);
    EXPECT_EQ((got > 0) - (got < 0), sign) << plat::ToUtf8(a) << " : " << plat::ToUtf8(b);
    EXPECT_EQ(lstrcmpiW(b, a) > 0, sign < 0) << "the reverse order";
  }
}

TEST(TimeFormat, MinutesAndTwoDigitSecondsWithQuotedLiterals) {
  WCHAR buffer[16];
  SYSTEMTIME t{};
  t.wMinute = 3, t.wSecond = 7;
  ASSERT_GT(GetTimeFormatW(0, 0, &t, u"'-'m':'ss", buffer, 16), 0);
  EXPECT_EQ(std::u16string(buffer), u"-3:07");
  t.wMinute = 61;  // an hour and more stays whole minutes
  GetTimeFormatW(0, 0, &t, u"m':'ss", buffer, 16);
  EXPECT_EQ(std::u16string(buffer), u"61:07");
  EXPECT_EQ(GetTimeFormatW(0, 0, &t, u"m':'ss", buffer, 5), 0) << "does not fit";
}
