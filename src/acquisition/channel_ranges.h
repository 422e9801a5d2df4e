// The displayed range of a channel: what K x volts + B can reach over the
// channel's input range (+-10 V divided by its amplification). The recorder
// writes it into the sample file, the graphs use it as a trace's value range.
#pragma once

#include <atomic>
#include <cstdint>

#include "settings/meter_settings.h"

inline constexpr int GAIN_TABLE_SIZE = 8;
inline constexpr double INPUT_FULL_SCALE_VOLTS = 10.0;

// Upper and lower end of channel n's displayed range (n = 1-32). Channel 0 -
// a graph trace without a channel - and any other number outside 1-32 give
// +10 / -10. A gain code outside the table or a non-positive amplification
// counts as amplification 1. A B above 1000000 follows one level of channel
// reference; one that names no channel 1-32 is taken as a plain offset, as the
// tick does. Only reads; any thread.
float channelRangeHigh(const MeterSettings& settings, const std::atomic<int32_t> gainFactor[GAIN_TABLE_SIZE], int n);
float channelRangeLow(const MeterSettings& settings, const std::atomic<int32_t> gainFactor[GAIN_TABLE_SIZE], int n);

// Half the input range of channel n in displayed volts before K: 10 / gain.
float channelSpan(const MeterSettings& settings, const std::atomic<int32_t> gainFactor[GAIN_TABLE_SIZE], int n);
