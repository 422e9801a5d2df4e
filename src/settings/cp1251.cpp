#include "settings/cp1251.h"

namespace {

// Code points of bytes 0x80-0xFF.
constexpr uint16_t kHighHalf[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

size_t encodeUtf8(uint32_t cp, char* out) {
  if (cp < 0x80) {
    out[0] = static_cast<char>(cp);
    return 1;
  }
  if (cp < 0x800) {
    out[0] = static_cast<char>(0xC0 | (cp >> 6));
    out[1] = static_cast<char>(0x80 | (cp & 0x3F));
    return 2;
  }
  out[0] = static_cast<char>(0xE0 | (cp >> 12));
  out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
  out[2] = static_cast<char>(0x80 | (cp & 0x3F));
  return 3;
}

// Decodes one UTF-8 character at s; *length gets the bytes used (at least 1).
// Returns 0xFFFFFFFF for a malformed sequence.
uint32_t decodeUtf8(const unsigned char* s, size_t* length) {
  const unsigned char c = s[0];
  *length = 1;
  if (c < 0x80) return c;
  int extra;
  uint32_t cp;
  if ((c & 0xE0) == 0xC0) {
    extra = 1;
    cp = c & 0x1F;
  } else if ((c & 0xF0) == 0xE0) {
    extra = 2;
    cp = c & 0x0F;
  } else if ((c & 0xF8) == 0xF0) {
    extra = 3;
    cp = c & 0x07;
  } else {
    return 0xFFFFFFFFu;
  }
  for (int i = 1; i <= extra; ++i) {
    if ((s[i] & 0xC0) != 0x80) return 0xFFFFFFFFu;  // also stops at the NUL
    cp = (cp << 6) | (s[i] & 0x3F);
  }
  *length = static_cast<size_t>(extra) + 1;
  static constexpr uint32_t kMinimum[4] = {0, 0x80, 0x800, 0x10000};
  if (cp < kMinimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0xFFFFFFFFu;
  return cp;
}

}  // namespace

uint32_t cp1251ToCodePoint(unsigned char byte) {
  return byte < 0x80 ? byte : kHighHalf[byte - 0x80];
}

int codePointToCp1251(uint32_t codePoint) {
  if (codePoint < 0x80) return static_cast<int>(codePoint);
  for (int i = 0; i < 128; ++i)
    if (kHighHalf[i] == codePoint) return 0x80 + i;
  return -1;
}

size_t cp1251ToUtf8(const char* in, char* out, size_t outSize) {
  if (outSize == 0) return 0;
  size_t used = 0;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(in); *p; ++p) {
    char bytes[4];
    const size_t n = encodeUtf8(cp1251ToCodePoint(*p), bytes);
    if (used + n + 1 > outSize) break;
    for (size_t i = 0; i < n; ++i) out[used++] = bytes[i];
  }
  out[used] = '\0';
  return used;
}

size_t utf8ToCp1251(const char* in, char* out, size_t outSize) {
  if (outSize == 0) return 0;
  size_t used = 0;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(in);
  while (*p && used + 1 < outSize) {
    size_t length;
    const uint32_t cp = decodeUtf8(p, &length);
    const int byte = cp == 0xFFFFFFFFu ? -1 : codePointToCp1251(cp);
    out[used++] = byte < 0 ? '?' : static_cast<char>(byte);
    p += length;
  }
  out[used] = '\0';
  return used;
}

std::string cp1251ToUtf8(std::string_view in) {
  std::string out;
  out.reserve(in.size() * 2);
  for (unsigned char c : in) {
    char bytes[4];
    out.append(bytes, encodeUtf8(cp1251ToCodePoint(c), bytes));
  }
  return out;
}

std::string utf8ToCp1251(std::string_view in) {
  std::string text(in);  // NUL-terminated copy for the decoder's look-ahead
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    size_t length;
    const uint32_t cp = decodeUtf8(reinterpret_cast<const unsigned char*>(text.c_str()) + i, &length);
    const int byte = cp == 0xFFFFFFFFu ? -1 : codePointToCp1251(cp);
    out.push_back(byte < 0 ? '?' : static_cast<char>(byte));
    i += length;
  }
  return out;
}
