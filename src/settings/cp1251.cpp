#include "settings/cp1251.h"

#include "settings/cp1251_literal.h"

namespace {

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

uint32_t cp1251ToCodePoint(unsigned char byte) { return cp1251ToUnicode(byte); }

int codePointToCp1251(uint32_t codePoint) { return unicodeToCp1251(codePoint); }

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
