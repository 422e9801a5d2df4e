// Small stand-ins for the recorder and the port used by the acquisition tests.
#pragma once

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "acquisition/output_port.h"
#include "recording/recorder_link.h"

struct Marker {
  float time;
  int type;
  int number;
};

class FakeRecorder : public RecorderLink {
 public:
  bool recording = false;
  int markerClears = 0;
  std::vector<Marker> markers;
  std::vector<std::vector<float>> appended;  // one entry per appendRows call

  bool isRecording() const override { return recording; }
  void clearMarkerText() override { ++markerClears; }
  void addMarker(float timeSeconds, int typeIndex, int number) override {
    markers.push_back({timeSeconds, typeIndex, number});
  }
  void appendRows(const float* values, uint32_t count) override { appended.emplace_back(values, values + count); }
};

class FakePortSink : public PortSink {
 public:
  std::vector<uint8_t> bytes;
  void writeByte(uint8_t value) override { bytes.push_back(value); }
};

inline std::vector<std::string> readLines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

inline std::string readWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}
