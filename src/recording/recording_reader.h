// The one reader of a recording's file pair, used by the viewer, the export
// tool and the tests. It reads in pieces: the header once, rows by number on
// demand, the description line by line as it grows. Positions are 64-bit.
//
// Sample file ".qmr", little-endian. A block name is 24 bytes: the name padded
// with blanks, no NUL.
//
//   offset      size   content
//   0           24     "QUORMAFFS", then int32 0, int32 0
//   32          24     "SAMPLES_FORMAT", then int32 20, int32 0, int32 7,
//                      int32 N (channels), float64 rows per second,
//                      uint8 1, three bytes 0
//   84          24     "CHANNELS_INFO_HEADER", then int32 20, int32 0,
//                      int32 7, float64 -10, float64 10
//   136         24     "CHANNELS_INFO", then int64 20 N (the entries' size)
//   168         20 N   per channel: int32 channel number, float64 low and
//                      float64 high end of its displayed range
//   168 + 20 N  24     "SAMPLES_RECORD_INFO", then int32 8, three int32 0
//   208 + 20 N  24     "SAMPLES_RECORD", then 8 bytes 0xFF
//   240 + 20 N  ...    rows to the end of the file: N float32 values each,
//                      in the order of the entries
//
// The file grows by appended rows only. Row j (from 0) stands at (j + 1) /
// rows per second seconds. A last row cut short (an interrupted recording, or
// a row being written) is not read.
//
// Description ".sreccfg" beside it (same base name): Windows-1251 text lines
// "Key = value", "#", "{", "}" and section names. Before "TasksList" the
// channel list: "ID = n" followed by "Name = "text"". After "Labels" one entry
// per output switching: "TypeIndex = t" (0 off, 1 on), "TimePos = seconds"
// (from the start, or from midnight for a clock-time recording) and
// "Description = "K<output>"". A finished recording's description ends with
// the closing lines "    }\r\n  }\r\n }\r\n}\r\n".
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "recording/byte_source.h"

struct RecordingChannel {
  int32_t number = 0;
  double low = 0.0, high = 0.0;
  std::string name;  // UTF-8; empty when the description has none
};

struct RecordingMarker {
  double timePos = 0.0;
  int typeIndex = 0;
  int number = 0;  // the digital output, from "K<number>"
};

enum class RecordingProblem {
  NONE,
  CANNOT_OPEN,      // the sample file cannot be opened
  NOT_A_RECORDING,  // no "QUORMAFFS" at its start
  HEADER_CUT,       // the header is shorter than it says, or a block name is wrong
  CHANNEL_COUNT,    // the channel count and the entries' size disagree, or the count is impossible
  ROW_RATE,         // rows per second not a positive number
};
// In English, for the command-line tool.
const char* recordingProblemText(RecordingProblem problem);

enum class DescriptionState {
  MISSING,      // no description beside the sample file
  COMPLETE,     // ends with the closing lines
  INTERRUPTED,  // no closing lines yet: being written, or the recording was cut off
};

// Rows of a sample file by number.
class RowReader {
 public:
  RowReader(std::unique_ptr<ByteSource> source, uint64_t dataOffset, size_t columns);
  // Whole rows the file holds now, and the bytes of a row cut short after them.
  uint64_t rowCount(uint32_t* partialBytes = nullptr);
  // Rows first .. first + count - 1 into out (count * columns values); the
  // number of whole rows read, fewer at the end of the file.
  size_t read(uint64_t first, size_t count, float* out);
  size_t columns() const { return columns_; }

 private:
  std::unique_ptr<ByteSource> source_;
  uint64_t dataOffset_;
  size_t columns_;
};

// The description's lines, fed as they are read.
class DescriptionParser {
 public:
  DescriptionParser(std::vector<RecordingChannel>* channels, std::vector<RecordingMarker>* markers)
      : channels_(channels), markers_(markers) {}
  // Takes the complete lines; a line without its end waits for the next feed.
  void feed(const char* data, size_t size);
  // Takes a last line that has no line end (a description cut off).
  void finish();
  // The first line that is not what our recorder writes (0: none); the
  // lines are still read as far as they make sense.
  int damagedLine() const { return damagedLine_; }

 private:
  void line(const std::string& text, bool complete);
  void take(const char* data, size_t size);

  // A line this long is no line of ours (a binary file): it is dropped, not held.
  static constexpr size_t LONGEST_LINE = 1 << 16;

  std::vector<RecordingChannel>* channels_;
  std::vector<RecordingMarker>* markers_;
  std::string pending_;
  bool overlong_ = false;
  int lineNumber_ = 0, damagedLine_ = 0, depth_ = 0;
  bool inTasks_ = false, inLabels_ = false;
  int pendingId_ = -1;
  RecordingMarker marker_;
  bool haveType_ = false, haveTime_ = false;
};

// The description that belongs to a sample file: same base name, ".sreccfg".
std::string descriptionPathFor(const std::string& samplePath);

class RecordingFile {
 public:
  RecordingFile() = default;
  // The description's parser keeps pointers into this object.
  RecordingFile(const RecordingFile&) = delete;
  RecordingFile& operator=(const RecordingFile&) = delete;

  // Reads the header and the description; NONE when it is a recording.
  RecordingProblem open(const std::string& samplePath);
  // The same on given bytes (no description: pass null).
  RecordingProblem open(std::unique_ptr<ByteSource> sample, std::unique_ptr<ByteSource> description);
  // Looks at both files again: rows and markers added since. True when
  // anything changed.
  bool refresh();
  // Takes a description's last line that has no line end.
  void finishDescription() { parser_->finish(); }

  const std::vector<RecordingChannel>& channels() const { return channels_; }
  const std::vector<RecordingMarker>& markers() const { return markers_; }
  double rowsPerSecond() const { return rowsPerSecond_; }
  uint64_t rowCount() const { return rowCount_; }
  uint32_t partialRowBytes() const { return partialRowBytes_; }
  uint64_t dataOffset() const { return dataOffset_; }
  size_t rowBytes() const { return 4 * channels_.size(); }
  DescriptionState descriptionState() const { return descriptionState_; }
  int descriptionDamagedLine() const { return parser_ ? parser_->damagedLine() : 0; }
  const std::string& samplePath() const { return samplePath_; }
  const std::string& descriptionPath() const { return descriptionPath_; }

  // Rows of the sample file (this reader's own handle; UI thread).
  RowReader& rows() { return *rows_; }
  // Another reader of the same rows with a handle of its own, for another
  // thread; null when the file cannot be opened again.
  std::unique_ptr<RowReader> openRows() const;

  // What a careful user should know, in English, for the command-line tool:
  // a cut-off row, a missing, unfinished or damaged description.
  std::vector<std::string> warnings() const;

 private:
  RecordingProblem readHeader();
  void readDescription();

  std::string samplePath_, descriptionPath_;
  std::unique_ptr<ByteSource> description_;
  std::unique_ptr<RowReader> rows_;
  std::vector<RecordingChannel> channels_;
  std::vector<RecordingMarker> markers_;
  std::unique_ptr<DescriptionParser> parser_;
  double rowsPerSecond_ = 0.0;
  uint64_t dataOffset_ = 0, rowCount_ = 0, descriptionRead_ = 0;
  uint32_t partialRowBytes_ = 0;
  DescriptionState descriptionState_ = DescriptionState::MISSING;
};
