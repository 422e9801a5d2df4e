#include "panels/reading_format.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// Removes the character at index i of a terminated text.
void eraseAt(char* text, size_t i) {
  std::memmove(text + i, text + i + 1, std::strlen(text + i + 1) + 1);
}

// Drops up to two '0' digits right after the last occurrence of sign,
// unless the sign is the first character ("e-004" and "e-04" become "e-4").
void trimExponent(char* text, char sign) {
  const char* last = std::strrchr(text, sign);
  if (last == nullptr || last == text) return;
  size_t at = static_cast<size_t>(last - text) + 1;
  for (int i = 0; i < 2 && text[at] == '0'; ++i) eraseAt(text, at);
}

}  // namespace

size_t formatReading(float x, char* buffer, size_t size) {
  if (buffer == nullptr || size == 0) return 0;
  const double value = static_cast<double>(x);
  const double a = std::fabs(value);
  char text[64];
  if (a > 9.99999) {
    std::snprintf(text, sizeof text, "%5g", value);
  } else if (a > 0.999999) {
    std::snprintf(text, sizeof text, "%.4f", value);
  } else if (a > 0.0999999) {
    std::snprintf(text, sizeof text, "%.5f", value);
  } else if (a > 0.000999999) {
    std::snprintf(text, sizeof text, "%.6f", value);
  } else if (value == 0.0) {
    std::snprintf(text, sizeof text, "0.0");
  } else {
    std::snprintf(text, sizeof text, "%4.2e", value);
  }

  if (text[0] == '0') eraseAt(text, 0);
  if (text[0] == '-' && text[1] == '0') eraseAt(text, 1);
  trimExponent(text, '-');
  trimExponent(text, '+');

  size_t length = std::strlen(text);
  if (length >= size) length = size - 1;
  std::memcpy(buffer, text, length);
  buffer[length] = '\0';
  return length;
}
