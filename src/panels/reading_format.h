// The short number text that every panel field shows.
#pragma once

#include <cstddef>

// Writes the text for x into buffer (always terminated when size > 0).
// Returns the length of the text written.
size_t formatReading(float x, char* buffer, size_t size);
