// The recording interval as typed in the channels-and-recording dialog.
#pragma once

#include <cstdint>

// One row an hour at the longest: larger numbers (up to 2^32 and beyond) would
// turn negative in the settings' 32 bits and be recorded as 1 ms.
inline constexpr int32_t RECORD_INTERVAL_MAX_MS = 3600000;

// An unsigned decimal number of milliseconds, leading and trailing blanks
// allowed, clamped to RECORD_INTERVAL_MAX_MS. False when the text is empty,
// 0 or not such a number: the interval then stays as it was.
bool readRecordInterval(const char* text, int32_t* ms);
