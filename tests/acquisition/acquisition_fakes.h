// Small stand-ins for the recorder and the port used by the acquisition tests.
#pragma once

#include <cmath>
#include <cstdint>
#include <ostream>
#include <tuple>
#include <vector>

#include "acquisition/output_port.h"
#include "acquisition/port_decoder.h"
#include "recording/recorder_link.h"
#include "test_files.h"

using Marker = std::tuple<long, int, int>;  // time in ms, type, output number

class FakeRecorder : public RecorderLink {
 public:
  bool recording = false;
  int markerClears = 0;
  std::vector<Marker> markers;
  std::vector<std::vector<float>> appended;  // one entry per appendRows call

  bool isRecording() const override { return recording; }
  void clearMarkerText() override { ++markerClears; }
  void addMarker(float timeSeconds, int typeIndex, int number) override {
    markers.emplace_back(std::lround(timeSeconds * 1000.0f), typeIndex, number);
  }
  void appendRows(const float* values, uint32_t count) override { appended.emplace_back(values, values + count); }
};

class FakePortSink : public PortSink {
 public:
  std::vector<uint8_t> bytes;
  void writeByte(uint8_t value) override { bytes.push_back(value); }
};

using Words = std::vector<PortWord>;

inline bool operator==(const PortWord& x, const PortWord& y) { return x.value == y.value && x.bits == y.bits; }
inline std::ostream& operator<<(std::ostream& out, const PortWord& w) {
  return out << std::hex << "0x" << w.value << std::dec << "/" << w.bits;
}

// The words the port bytes carry: direct bytes, or the serial protocol's words.
inline Words decodeWords(const std::vector<uint8_t>& bytes, bool direct = false) {
  Words words(bytes.size() + 1);
  words.resize(decodePortBytes(bytes.data(), bytes.size(), direct, words.data(), static_cast<int>(words.size())));
  return words;
}
