#include "recording/record_interval.h"

bool readRecordInterval(const char* text, int32_t* ms) {
  const char* p = text;
  while (*p == ' ') ++p;
  int64_t value = 0;
  const char* digits = p;
  for (; *p >= '0' && *p <= '9'; ++p)
    if (value <= RECORD_INTERVAL_MAX_MS) value = value * 10 + (*p - '0');
  while (*p == ' ') ++p;
  if (p == digits || *p != '\0' || value == 0) return false;
  *ms = static_cast<int32_t>(value < RECORD_INTERVAL_MAX_MS ? value : RECORD_INTERVAL_MAX_MS);
  return true;
}
