#include "acquisition/port_decoder.h"

#include "acquisition/output_port.h"

int decodePortBytes(const uint8_t* bytes, size_t count, bool direct, PortWord* words, int maxWords) {
  int stored = 0;
  if (bytes == nullptr || words == nullptr) return 0;
  if (direct) {
    for (size_t i = 0; i < count && stored < maxWords; ++i) words[stored++] = PortWord{bytes[i], 8};
    return stored;
  }
  uint8_t previous = 0;
  uint32_t shift = 0, selected = 0;
  int bits = 0, selectRises = 0;
  for (size_t i = 0; i < count && stored < maxWords; ++i) {
    const uint8_t b = bytes[i];
    if ((b & PORT_SELECT_BIT) && !(previous & PORT_SELECT_BIT)) ++selectRises;
    if ((b & PORT_CLOCK_BIT) && !(previous & PORT_CLOCK_BIT)) {
      shift = (shift << 1) | (b & PORT_DATA_BIT);
      selected = (selected << 1) | ((b & PORT_SELECT_BIT) ? 1u : 0u);
      ++bits;
    }
    if ((b & PORT_LATCH_BIT) && !(previous & PORT_LATCH_BIT)) {
      words[stored++] = PortWord{shift, bits, selected, selectRises};
      shift = selected = 0;
      bits = selectRises = 0;
    }
    previous = b;
  }
  return stored;
}

namespace {
int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
}  // namespace

int parsePortLog(const char* text, uint8_t* bytes, int maxBytes) {
  int stored = 0;
  if (text == nullptr || bytes == nullptr) return 0;
  const char* p = text;
  while (*p != '\0' && stored < maxBytes) {
    if (*p == '\r' || *p == '\n' || *p == ' ' || *p == '\t') {
      ++p;
      continue;
    }
    const int hi = hexDigit(p[0]);
    const int lo = hi < 0 ? -1 : hexDigit(p[1]);
    if (lo < 0) break;
    bytes[stored++] = static_cast<uint8_t>(hi * 16 + lo);
    p += 2;
    if (*p != '\0' && *p != '\r' && *p != '\n' && *p != ' ' && *p != '\t') break;
  }
  return stored;
}
