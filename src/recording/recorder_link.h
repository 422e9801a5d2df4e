// What the engine's tick needs of the recorder. The recorder implements it;
// tests give the tick a small fake.
#pragma once

#include <cstdint>

class RecorderLink {
 public:
  virtual ~RecorderLink() = default;
  virtual bool isRecording() const = 0;  // the recorder's `recording` flag
  virtual void clearMarkerText() = 0;    // emptied by the tick before each block's markers
  virtual void addMarker(float timeSeconds, int typeIndex, int number) = 0;
  virtual void appendRows(const float* values, uint32_t count) = 0;
};

// The program's one recorder, published by start-up (null before and after).
#include <atomic>
extern std::atomic<RecorderLink*> theRecorder;
