#include "graphs/plot_labels.h"

#include <cmath>
#include <cstdio>

ValueLabels valueLabels(double low, double high, const char* name, const char* unit) {
  ValueLabels labels;
  for (int i = 0; i <= VERTICAL_DIVISIONS; ++i) {
    double v = low + (high - low) * i / VERTICAL_DIVISIONS;
    if (std::fabs(v) < 1e-8) v = 0.0;
    // The name and unit are the user's text: printed as data, never as a format.
    if (i < VERTICAL_DIVISIONS)
      std::snprintf(labels.text[i], LABEL_TEXT_SIZE, "%g", v);
    else
      std::snprintf(labels.text[i], LABEL_TEXT_SIZE, "%.63s,%.63s %g", name ? name : "", unit ? unit : "", v);
  }
  return labels;
}

void timeLabelText(int hour, int minute, char out[8]) {
  std::snprintf(out, 8, "%02d:%02d", ((hour % 24) + 24) % 24, ((minute % 60) + 60) % 60);
}
