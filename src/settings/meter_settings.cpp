#include "settings/meter_settings.h"

std::atomic<MeterSettings*> meterSettings{nullptr};

bool parseIpv4(const char* text, size_t length, uint8_t bytes[4]) {
  size_t i = 0;
  for (int part = 0; part < 4; ++part) {
    if (part > 0 && (i >= length || text[i++] != '.')) return false;
    int value = 0;
    size_t digits = 0;
    while (i < length && text[i] >= '0' && text[i] <= '9' && digits < 4) {
      value = value * 10 + (text[i++] - '0');
      ++digits;
    }
    if (digits == 0 || digits > 3 || value > 255) return false;
    if (bytes) bytes[part] = static_cast<uint8_t>(value);
  }
  return i == length;
}
