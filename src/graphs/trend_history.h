// The history of a graph's eight traces and its time axis: which point is due
// when, where it lands, when the axis scrolls by one label step, and which
// history row a column shows.
#pragma once

#include <cstdint>

#include "graphs/trend_scale.h"

// What a sampling step asks to be repainted.
struct SampleRepaint {
  bool whole = false;   // first tick: the whole plot, without erasing
  bool scrolled = false;  // the axis moved: the whole window, erased
  bool column = false;  // a point was taken: the one-pixel column below
  int columnLeft = 0;   // x of that column (right edge excluded: columnLeft + 1)
};

class TrendHistory {
 public:
  // A fresh history: zero rows, nothing shown, time scale `secondsPerPoint`,
  // started at millisecond tick `nowTick`, left edge labelled hour:minute.
  void init(int secondsPerPoint, uint32_t nowTick, int axisHour, int axisMinute);

  // One tick of the sampling timer. `secondOfMinute` is the local clock's
  // second; `values` the 32 channels' current values; `channels` the channel
  // (1-32, 0 none) of each trace; the curve area starts at x = plotLeft and is
  // plotWidth wide.
  SampleRepaint takeSample(uint32_t nowTick, int secondOfMinute, const float values[INPUT_CHANNELS],
                           const int channels[TRACE_COUNT], int plotLeft, int plotWidth);

  // History row of trace t shown by point j (0 at the left edge), or -1 when
  // the point is not drawn: at or right of the newest point, or older than the
  // history holds.
  int rowOf(int trace, int j) const;

  // "hh:mm" of time label k (k = 0 at the left edge), over midnight.
  void labelText(int k, char out[8]) const;

  float history[HISTORY_POINTS][TRACE_COUNT] = {};
  int32_t writePos[TRACE_COUNT] = {};
  int32_t shownPoints = 0;
  int32_t secondsPerPoint = 1;
  int32_t axisHour = 0, axisMinute = 0;  // time under the left edge
  uint32_t startTick = 0;
  uint32_t lastTick = 0;       // tick of the latest sampling step
  uint64_t elapsedMs = 0;      // since startTick, summed step by step so tick wrap-around does no harm
  int32_t samplesTaken = 0;    // 0 before the first tick, then points taken + 1
  int32_t firstSecond = 0;     // the clock's second at the first tick
};
