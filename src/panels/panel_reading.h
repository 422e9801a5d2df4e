// The panel's reading rules, apart from its window: the samples kept between
// two refreshes, the reading shown and whether it raises the channel's output.
#pragma once

#include <cstdint>

// Keeps one sample. Once the buffer is full (a very long interval), the
// oldest is overwritten in turn, so the newest samples are the ones kept.
void keepSample(float* samples, int32_t capacity, int32_t& count, int32_t& overwrite, float value);

// The reading relative to the reference while the reference is on.
inline float shownReading(float mean, bool refActive, float ref) { return refActive ? mean - ref : mean; }

// Only with an output assigned and both limits shown; a reading equal to a limit is in range.
bool raisesOutput(float reading, int32_t output, bool limitsShown, float low, float high);
