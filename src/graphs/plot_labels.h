// Label texts of a graph: the value labels of a scale side and the time labels.
// Names and units are Windows-1251 bytes and are copied as they are.
#pragma once

#include <cstddef>

#include "graphs/trend_scale.h"

inline constexpr int LABEL_TEXT_SIZE = 160;  // a name and a unit of 63 bytes each and a number

struct ValueLabels {
  char text[VERTICAL_DIVISIONS + 1][LABEL_TEXT_SIZE] = {};  // bottom to top
};

// The N + 1 labels from low to high; the top one reads "name,unit value".
// Values within 1e-8 of zero read 0.
ValueLabels valueLabels(double low, double high, const char* name, const char* unit);

// "hh:mm" (always five characters and a NUL).
void timeLabelText(int hour, int minute, char out[8]);
