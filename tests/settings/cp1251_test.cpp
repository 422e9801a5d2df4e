#include <gtest/gtest.h>

#include <string>

#include "settings/cp1251.h"

TEST(Cp1251, ConvertsCyrillicAndSymbolsBothWays) {
  // Byte values straight from the code page chart.
  EXPECT_EQ(cp1251ToUtf8(std::string("\xC0\xFF\xA8\xB8\xB0\xB9 A", 8)), "АяЁё°№ A");
  EXPECT_EQ(utf8ToCp1251("Давление, кПа °C"), "\xC4\xE0\xE2\xEB\xE5\xED\xE8\xE5, \xEA\xCF\xE0 \xB0" "C");
  EXPECT_EQ(utf8ToCp1251("€‰—"), "\x88\x89\x97");

  // Every byte survives a round trip.
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(utf8ToCp1251(cp1251ToUtf8(all)), all);
}

TEST(Cp1251, UnknownAndMalformedBecomeQuestionMarks) {
  EXPECT_EQ(utf8ToCp1251("a\xE4\xB8\x80" "b"), "a?b");    // CJK character, no byte for it
  EXPECT_EQ(utf8ToCp1251("a\xC3" "b"), "a?b");            // truncated sequence
  EXPECT_EQ(utf8ToCp1251("a\xC0\x80" "b"), "a?b");        // overlong NUL
  EXPECT_EQ(utf8ToCp1251("\xF0\x9F\x98\x80"), "?");       // emoji
  EXPECT_EQ(codePointToCp1251(0x4E00), -1);
  EXPECT_EQ(codePointToCp1251(0x0416), 0xC6);  // Ж
}

TEST(Cp1251, FixedBuffersStayTerminatedAndWholeCharacters) {
  char out[6];
  // "Жук" is 6 bytes of UTF-8: only two letters fit with the NUL.
  EXPECT_EQ(cp1251ToUtf8("\xC6\xF3\xEA", out, sizeof out), 4u);
  EXPECT_STREQ(out, "Жу");
  char narrow[3];
  EXPECT_EQ(utf8ToCp1251("Жука", narrow, sizeof narrow), 2u);
  EXPECT_STREQ(narrow, "\xC6\xF3");
  EXPECT_EQ(cp1251ToUtf8("x", out, 0), 0u);
}
