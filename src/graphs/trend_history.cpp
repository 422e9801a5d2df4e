#include "graphs/trend_history.h"

#include "graphs/plot_labels.h"

void TrendHistory::init(int q, uint32_t nowTick, int hour, int minute) {
  for (auto& row : history)
    for (float& v : row) v = 0.0f;
  for (int32_t& p : writePos) p = 0;
  shownPoints = 0;
  samplesTaken = 0;
  startTick = lastTick = nowTick;
  elapsedMs = 0;
  secondsPerPoint = q > 0 ? q : 1;
  axisHour = hour;
  axisMinute = minute;
  firstSecond = 0;
}

SampleRepaint TrendHistory::takeSample(uint32_t now, int second, const float values[INPUT_CHANNELS],
                                       const int channels[TRACE_COUNT], int plotLeft, int plotWidth) {
  SampleRepaint r;
  const int q = secondsPerPoint;
  if (samplesTaken == 0) {
    // The first point lands in the column of the current second on an axis
    // labelled in whole minutes.
    samplesTaken = 1;
    firstSecond = second;
    for (int32_t& p : writePos) p = (second / q) % HISTORY_POINTS;
    shownPoints = second / q;
    r.whole = true;
  }
  elapsedMs += static_cast<uint32_t>(now - lastTick);
  lastTick = now;
  // Point k falls due k * q seconds after the start; one point per tick at most.
  if (elapsedMs < static_cast<uint64_t>(samplesTaken) * static_cast<uint64_t>(q) * 1000u) return r;
  ++samplesTaken;
  for (int t = 0; t < TRACE_COUNT; ++t) {
    const int c = channels[t];
    if (c >= 1 && c <= INPUT_CHANNELS) history[writePos[t]][t] = values[c - 1];
    writePos[t] = (writePos[t] + 1) % HISTORY_POINTS;
  }
  ++shownPoints;
  if (plotWidth > LABEL_STEP) {
    while (shownPoints >= plotWidth) {
      shownPoints -= LABEL_STEP;
      const int total = axisHour * 60 + axisMinute + q;
      axisHour = (total / 60) % 24;
      axisMinute = total % 60;
      r.scrolled = true;
    }
  }
  r.column = true;
  r.columnLeft = plotLeft + shownPoints - 1;
  return r;
}

int TrendHistory::rowOf(int t, int j) const {
  const int age = shownPoints - j;  // 1 for the newest point
  if (j < 0 || age < 1 || age > HISTORY_POINTS) return -1;
  int u = writePos[t] - age;
  if (u < 0) u += HISTORY_POINTS;
  return u;
}

void TrendHistory::labelText(int k, char out[8]) const {
  const long long total = (static_cast<long long>(axisHour) * 60 + axisMinute +
                           static_cast<long long>(k) * secondsPerPoint) % (24 * 60);
  timeLabelText(static_cast<int>(total / 60), static_cast<int>(total % 60), out);
}
