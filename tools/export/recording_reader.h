// Reads a recording's file pair for export: the sample file (header and rows)
// and, beside it, the text description (channel names and markers).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct RecordingChannel {
  int32_t number = 0;
  double low = 0.0;
  double high = 0.0;
  std::string name;  // UTF-8
};

struct RecordingMarker {
  double timePos = 0.0;
  int typeIndex = 0;
  int number = 0;  // the digital output, from "K<number>"
};

struct Recording {
  std::vector<RecordingChannel> channels;  // in column order
  double rowsPerSecond = 0.0;
  size_t rowCount = 0;
  std::vector<float> values;  // rowCount rows of channels.size() values
  std::vector<RecordingMarker> markers;
  std::vector<std::string> warnings;  // an interrupted or incomplete pair
};

// The description that belongs to a sample file: same base name, ".sreccfg".
std::string descriptionPathFor(const std::string& samplePath);

// Parses a sample file image; false with a message when it is no recording.
bool parseSampleFile(const std::string& bytes, Recording* out, std::string* error);
// Takes the channel names and markers from a description's text.
void parseDescription(const std::string& text, Recording* recording);

// Reads both files; false with a message when the sample file cannot be read
// or is no recording. A missing description only adds a warning.
bool readRecording(const std::string& samplePath, Recording* out, std::string* error);
