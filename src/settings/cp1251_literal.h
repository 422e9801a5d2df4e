// Windows-1251 byte strings from UTF-8 source literals, converted at compile
// time: cp1251<"Ошибка">() is a NUL-terminated Windows-1251 string. Texts that
// go into files or that the board notices carry stay in that code page.
#pragma once

#include <cstddef>
#include <cstdint>

namespace cp1251_detail {

// Unicode code points of the bytes 0x80-0xBF (0xC0-0xFF are U+0410-U+044F);
// the unassigned 0x98 maps to U+0098 so that every byte survives a round trip.
inline constexpr char32_t kHighHalf[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
};

constexpr int byteOf(char32_t c) {
  if (c < 0x80) return static_cast<int>(c);
  if (c >= 0x0410 && c <= 0x044F) return static_cast<int>(c - 0x0410 + 0xC0);
  for (int i = 0; i < 64; ++i)
    if (kHighHalf[i] == c) return 0x80 + i;
  return -1;
}

}  // namespace cp1251_detail

// Code point of a Windows-1251 byte.
constexpr char32_t cp1251ToUnicode(unsigned char b) {
  if (b < 0x80) return b;
  if (b >= 0xC0) return 0x0410 + (b - 0xC0);
  return cp1251_detail::kHighHalf[b - 0x80];
}

// Windows-1251 byte of a code point, or -1 when the code page lacks it.
constexpr int unicodeToCp1251(char32_t c) { return cp1251_detail::byteOf(c); }

template <std::size_t N>
struct Cp1251Literal {
  char text[N] = {};
  consteval Cp1251Literal(const char (&utf8)[N]) {
    std::size_t out = 0;
    for (std::size_t i = 0; i < N && utf8[i];) {
      auto b = static_cast<unsigned char>(utf8[i]);
      char32_t c;
      int len;
      if (b < 0x80) { c = b; len = 1; }
      else if ((b & 0xE0) == 0xC0) { c = b & 0x1F; len = 2; }
      else if ((b & 0xF0) == 0xE0) { c = b & 0x0F; len = 3; }
      else { c = b & 0x07; len = 4; }
      for (int k = 1; k < len; ++k) c = (c << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
      int mapped = cp1251_detail::byteOf(c);
      if (mapped < 0) throw "character not in Windows-1251";  // compile-time error
      text[out++] = static_cast<char>(mapped);
      i += len;
    }
    text[out] = 0;
  }
};

template <Cp1251Literal S>
constexpr const char* cp1251() { return S.text; }
