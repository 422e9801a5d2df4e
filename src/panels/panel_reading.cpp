#include "panels/panel_reading.h"

void keepSample(float* samples, int32_t capacity, int32_t& count, int32_t& overwrite, float value) {
  if (count < capacity) {
    samples[count++] = value;
    return;
  }
  samples[overwrite] = value;
  overwrite = (overwrite + 1) % capacity;
}

bool raisesOutput(float reading, int32_t output, bool limitsShown, float low, float high) {
  return output != 0 && limitsShown && (reading < low || reading > high);
}
