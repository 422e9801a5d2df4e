// The server's two documents on a snapshot.
//
// /api/values, JSON (UTF-8):
//   {"time": seconds since 1970 (UTC) of the latest block, or null before the first,
//    "board": "KV310" | "KV320" | "none", "rate": Hz, "recording": bool,
//    "output_word": the relay-command outputs as last written, "output_bits": 8 | 16 | 32,
//    "ticks": blocks processed, "blocks_lost": blocks that never reached the program,
//    "channels": [ one per shown channel, in panel order:
//      {"channel": 1-32, "panel": position 1-32 (column (p-1)/8, row (p-1)%8),
//       "name", "unit", "value": K x volts + B of the latest block,
//       "low", "high", "ref": limits and reference level or null when off,
//       "state": "none" | "normal" | "reference" | "out_of_range" (the panel's colour),
//       "out_of_range": bool, "output": relay-command output number (0 = none),
//       "output_on": bool, the panel raises its output,
//       "shown": the panel's texts {"reading", "low", "high", "ref", "absolute"},
//                each null while the panel does not show it}]}
//
// /metrics, Prometheus text exposition format 0.0.4: per shown channel
// skalenor_channel_value, skalenor_channel_out_of_range and, when set,
// skalenor_channel_limit_low and skalenor_channel_limit_high, labelled
// channel, name and unit; then skalenor_output_word, skalenor_recording,
// skalenor_ticks_total, skalenor_blocks_lost_total and skalenor_info{version, board}.
#pragma once

#include "network/meter_snapshot.h"
#include "network/text_buffer.h"

const char* boardName(int32_t boardType);

void renderValuesJson(const MeterSnapshot& snapshot, TextBuffer& out);
void renderMetrics(const MeterSnapshot& snapshot, const char* version, TextBuffer& out);

// Largest document either gives: 32 channels with names and units of 63
// characters that each need the longest escape.
inline constexpr size_t METER_DOCUMENT_CAPACITY = 96 * 1024;
