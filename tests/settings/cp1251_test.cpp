#include <gtest/gtest.h>

#include <string>

#include "settings/cp1251.h"

TEST(Cp1251, ConvertsCyrillicAndSymbolsBothWays) {
  // Byte values straight from the code page chart; every byte survives a round trip.
  const std::pair<std::string, std::string> cases[] = {
      {"АяЁё°№ A", "\xC0\xFF\xA8\xB8\xB0\xB9 A"},
      {"Давление, кПа °C", "\xC4\xE0\xE2\xEB\xE5\xED\xE8\xE5, \xEA\xCF\xE0 \xB0" "C"},
      {"€‰—", "\x88\x89\x97"}};
  for (const auto& [utf8, bytes] : cases)
    EXPECT_EQ(std::make_pair(utf8ToCp1251(utf8), cp1251ToUtf8(bytes)), std::make_pair(bytes, utf8));
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(utf8ToCp1251(cp1251ToUtf8(all)), all);
}

TEST(Cp1251, UnknownAndMalformedBecomeQuestionMarks) {
  // CJK character, no byte for it; truncated sequence; overlong NUL; emoji
  for (const char* text : {"a\xE4\xB8\x80" "b", "a\xC3" "b", "a\xC0\x80" "b", "a\xF0\x9F\x98\x80" "b"})
    EXPECT_EQ(utf8ToCp1251(text), "a?b") << text;
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
