#include "panels/limit_bar.h"

#include <algorithm>
#include <cmath>

namespace {
// Scaled offsets beyond this are far off the bar either way; clamping keeps
// the conversion to an integer defined for huge values, infinities and NaN.
constexpr float OFFSET_CLAMP = 1.0e8f;
}  // namespace

void LimitBar::setBarLow(float v) {
  if (v < highLimit) lowLimit = v;
  recomputeScale();
}

void LimitBar::setBarHigh(float v) {
  if (v > lowLimit) highLimit = v;
  recomputeScale();
}

void LimitBar::recomputeScale() {
  const float centre = (highLimit + lowLimit) * 0.5f;
  const float spread = (highLimit - lowLimit) * 0.7f;
  scaleLow = centre - spread;
  scaleHigh = centre + spread;
}

int32_t LimitBar::position(float u) const {
  const float height = static_cast<float>(barArea.bottom - barArea.top);
  float offset = height * (u - scaleLow) / (scaleHigh - scaleLow);
  if (std::isnan(offset)) offset = -OFFSET_CLAMP;  // never drawn
  offset = std::clamp(offset, -OFFSET_CLAMP, OFFSET_CLAMP);
  return barArea.bottom - static_cast<int32_t>(offset);
}

BarPlan LimitBar::planBar(float v) {
  BarPlan plan;
  const int32_t left = barArea.left, top = barArea.top;
  const int32_t right = barArea.right, bottom = barArea.bottom;

  if (!limitsShown) {
    plan.add(barArea, BarFill::Frame);
    seenMin = BAR_SEEN_MIN_RESET;
    seenMax = BAR_SEEN_MAX_RESET;
    return plan;
  }

  const int32_t yHigh = std::max(position(highLimit), top);
  const int32_t yLow = std::min(position(lowLimit), bottom);
  plan.add({left, yHigh, right, yLow}, BarFill::InRange);
  plan.add({left, top, right, yHigh}, BarFill::OutOfRange);
  plan.add({left, yLow, right, bottom}, BarFill::OutOfRange);

  BarRect band;
  band.left = (left + right) / 3 + 1;
  band.right = (left + right) * 2 / 3 - 1;
  band.top = std::max(position(seenMax), top + 1);
  band.bottom = std::min(position(seenMin), bottom - 1);
  if (top < band.bottom && band.top < bottom) plan.add(band, BarFill::SeenBand);

  if (lastMarker.top >= top && lastMarker.bottom <= bottom && lastMarker.bottom > lastMarker.top)
    plan.add(lastMarker, BarFill::SeenBand);

  const int32_t m = position(v);
  if (m - 1 >= top && m + 1 <= bottom) plan.add({left, m - 1, right, m + 1}, BarFill::Marker);
  lastMarker = {left, m, right, m + 1};
  return plan;
}
