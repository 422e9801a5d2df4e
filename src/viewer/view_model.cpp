#include "viewer/view_model.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr double SECONDS_PER_DAY = 86400.0;
constexpr double MARKER_SLACK_SECONDS = 2.0;  // a marker may come a little after the last whole row

// Steps a tick may take, in seconds: 1-2-5 below a second, then clock-friendly ones.
constexpr double STEPS[] = {0.001, 0.002, 0.005, 0.01, 0.02, 0.05, 0.1, 0.2, 0.5, 1, 2, 5, 10, 15, 30,
                            60, 120, 300, 600, 900, 1800, 3600, 7200, 10800, 21600, 43200, 86400};

}  // namespace

void ViewModel::setRowCount(uint64_t rows) {
  const bool whole = view_.span.first <= 0.0 && view_.span.first + view_.span.rows >= wholeRows() - 1e-9;
  const bool follow = atEnd();
  const double grown = static_cast<double>(rows) - static_cast<double>(rows_);
  rows_ = rows;
  View next = view_;
  if (whole) {
    next.span = {0.0, wholeRows()};
  } else if (follow && grown > 0) {
    next.span.first += grown;
  }
  view_ = clamped(next);
}

bool ViewModel::atEnd() const { return view_.span.first + view_.span.rows >= wholeRows() - 0.5; }

View ViewModel::clamped(View v) const {
  const double whole = wholeRows();
  v.span.rows = std::clamp(v.span.rows, std::min(MIN_ROWS, whole), whole);
  v.span.first = std::clamp(v.span.first, 0.0, whole - v.span.rows);
  double height = std::max(v.top - v.bottom, MIN_VALUE_SHARE);
  if (!std::isfinite(height)) height = 1.0;
  v.bottom = std::isfinite(v.bottom) ? v.bottom : 0.0;
  v.top = v.bottom + height;
  return v;
}

bool ViewModel::apply(View next, bool remember) {
  next = clamped(next);
  if (next == view_) return false;
  if (remember) undo_.push_back(view_);
  view_ = next;
  return true;
}

bool ViewModel::showAll() { return apply(View{{0.0, wholeRows()}, 0.0, 1.0}, true); }

bool ViewModel::zoomTime(double factor, double anchor, bool remember) {
  if (!(factor > 0)) return false;
  View next = view_;
  next.span.rows = std::clamp(view_.span.rows * factor, std::min(MIN_ROWS, wholeRows()), wholeRows());
  next.span.first = view_.span.first + anchor * (view_.span.rows - next.span.rows);
  return apply(next, remember);
}

bool ViewModel::zoomTo(double x0, double x1, double y0, double y1) {
  View next = view_;
  const double h = view_.top - view_.bottom;
  next.span.first = view_.span.first + std::min(x0, x1) * view_.span.rows;
  next.span.rows = std::fabs(x1 - x0) * view_.span.rows;
  next.bottom = view_.bottom + std::min(y0, y1) * h;
  next.top = view_.bottom + std::max(y0, y1) * h;
  // Zoomed in further than the deepest zoom allows: centred on the rectangle.
  if (next.span.rows < MIN_ROWS) {
    next.span.first += (next.span.rows - std::min(MIN_ROWS, wholeRows())) / 2;
    next.span.rows = MIN_ROWS;
  }
  return apply(next, true);
}

bool ViewModel::scrollTime(double share) {
  View next = view_;
  next.span.first += share * view_.span.rows;
  return apply(next, false);
}

bool ViewModel::scrollValues(double share) {
  View next = view_;
  const double shift = share * (view_.top - view_.bottom);
  next.bottom += shift;
  next.top += shift;
  return apply(next, false);
}

bool ViewModel::centreOn(double position) {
  View next = view_;
  next.span.first = position - view_.span.rows / 2;
  return apply(next, false);
}

bool ViewModel::undo() {
  if (undo_.empty()) return false;
  view_ = clamped(undo_.back());
  undo_.pop_back();
  return true;
}

std::vector<TimeTick> timeTicks(double start, double end, int width, int minSpacing, bool clock,
                                double secondOfDay) {
  std::vector<TimeTick> ticks;
  if (!(end > start) || width <= 0) return ticks;
  const double wanted = (end - start) * minSpacing / width;
  double step = 0;
  for (double s : STEPS)
    if (s >= wanted) {
      step = s;
      break;
    }
  if (step == 0) step = std::ceil(wanted / SECONDS_PER_DAY) * SECONDS_PER_DAY;
  // Clock labels stand at round times of day; others at round times from the start.
  const double origin = clock ? secondOfDay : 0.0;
  for (double k = std::ceil((start + origin) / step); k * step - origin <= end; k += 1) {
    TimeTick t{};
    t.seconds = k * step - origin;
    const double shown = clock ? std::fmod(k * step, SECONDS_PER_DAY) : t.seconds;
    const int decimals = step >= 1 ? 0 : step >= 0.1 ? 1 : step >= 0.01 ? 2 : 3;
    const long long whole = static_cast<long long>(std::floor(shown + 0.5 * std::pow(10.0, -decimals)));
    const double fraction = shown - static_cast<double>(whole);
    char fractionText[8] = "";
    if (decimals)
      std::snprintf(fractionText, sizeof fractionText, "%.*f", decimals, std::max(0.0, fraction));
    if (clock || (step >= 60 && end >= 3600)) {
      std::snprintf(t.label, sizeof t.label, clock ? "%02lld:%02lld:%02lld%s" : "%lld:%02lld:%02lld%s", whole / 3600,
                    whole / 60 % 60, whole % 60, decimals ? fractionText + 1 : "");
    } else {
      std::snprintf(t.label, sizeof t.label, "%.*f", decimals, shown);
    }
    ticks.push_back(t);
    if (ticks.size() > static_cast<size_t>(width)) break;
  }
  return ticks;
}

void timeText(double seconds, bool clock, double secondOfDay, char* out, size_t size) {
  double shown = clock ? std::fmod(seconds + secondOfDay, SECONDS_PER_DAY) : seconds;
  const long long ms = std::llround(shown * 1000);
  const long long s = ms / 1000;
  if (clock)
    std::snprintf(out, size, "%02lld:%02lld:%02lld.%03lld", s / 3600 % 24, s / 60 % 60, s % 60, ms % 1000);
  else if (s >= 3600)
    std::snprintf(out, size, "%lld:%02lld:%02lld.%03lld", s / 3600, s / 60 % 60, s % 60, ms % 1000);
  else
    std::snprintf(out, size, "%.3f", static_cast<double>(ms) / 1000);
}

double startSecondOfDay(const char* fileName) {
  const char* base = fileName;
  for (const char* p = fileName; *p; ++p)
    if (*p == '/' || *p == '\\') base = p + 1;
  int y, mo, d, h, mi, s;
  char tail = 0;
  if (std::strlen(base) < 13 || std::sscanf(base, "%2d%2d%2d_%2d%2d%2d%c", &y, &mo, &d, &h, &mi, &s, &tail) != 7 ||
      tail != '.' || h > 23 || mi > 59 || s > 59 || mo < 1 || mo > 12 || d < 1 || d > 31)
    return -1.0;
  return h * 3600.0 + mi * 60.0 + s;
}

double markerSeconds(double timePos, bool clockMarkers, double secondOfDay) {
  return clockMarkers ? timePos - secondOfDay : timePos;
}

bool markersInClockTime(const std::vector<double>& timePos, double lengthSeconds, double secondOfDay) {
  if (secondOfDay < 0 || timePos.empty()) return false;
  bool beyond = false;
  for (double t : timePos) {
    if (t < secondOfDay - MARKER_SLACK_SECONDS) return false;
    beyond = beyond || t > lengthSeconds + MARKER_SLACK_SECONDS;
  }
  return beyond;
}
