// The bytes of a recording: the sample file's header, the text description
// for the viewing application and its marker entries. Pure functions so that
// both the recorder and the tests can reach them.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "recording/recorder_files.h"

struct MeterSettings;
struct PanelState;

inline constexpr int MAX_RECORDED_CHANNELS = 32;
inline constexpr size_t BLOCK_NAME_SIZE = 24;
inline constexpr size_t CHANNEL_ENTRY_SIZE = 20;  // int32 channel, float64 low, float64 high
inline constexpr size_t SAMPLE_HEADER_FIXED_SIZE = 240;
inline constexpr size_t SAMPLE_HEADER_MAX_SIZE =
    SAMPLE_HEADER_FIXED_SIZE + CHANNEL_ENTRY_SIZE * MAX_RECORDED_CHANNELS;
inline constexpr size_t ROWS_PER_SECOND_OFFSET = 72;
inline constexpr size_t CHANNEL_ENTRIES_OFFSET = 168;

// The channels of a recording in the order of the row columns, with the
// displayed range of each, taken when the recording starts.
struct RecordedChannels {
  int count = 0;
  int32_t channel[MAX_RECORDED_CHANNELS] = {};
  float low[MAX_RECORDED_CHANNELS] = {};
  float high[MAX_RECORDED_CHANNELS] = {};
};

// The panels that are visible, show a channel and have FlagRec of it set, in
// panel order, one entry per such panel: the tick gives each of them a row
// column in the same order, so a channel shown on two panels has two. Null
// panels are skipped.
RecordedChannels selectRecordedChannels(const MeterSettings& settings, PanelState* const panels[],
                                        int panelCount, const std::atomic<int32_t> gainFactor[]);

// Writes the sample file header into out (SAMPLE_HEADER_MAX_SIZE bytes);
// returns its size, 240 + 20 N. A non-positive interval counts as 1 ms.
size_t buildSampleHeader(const RecordedChannels& channels, int32_t intervalMs, uint8_t* out);

// Where the text goes; put returns false once a write has failed.
class TextSink {
 public:
  virtual ~TextSink() = default;
  virtual bool put(const char* text, size_t size) = 0;
};

// The text description up to the open marker list: head, channel list, chart
// task, chart channels and the marker task. False when a write failed.
bool writeDescriptionHead(TextSink& out, const RecordedChannels& channels, const MeterSettings& settings);

// Closes the blocks the head left open.
extern const char DESCRIPTION_CLOSING[];

// One marker entry. The longest possible entry, whatever the arguments.
inline constexpr size_t MARKER_MAX_LENGTH = 256;
// Formats one entry into out (at least MARKER_MAX_LENGTH + 1 bytes); returns its length.
size_t formatMarker(char* out, int typeIndex, double timePos, int number);

// A file time moved to the start of a local day: the UTC time of day is set to
// the hour at which local time reads 00:00 (24 - offset, taken modulo 24 so
// that a zone at or west of UTC, or a date line between the two readings,
// still gives a valid hour), minutes and below to 0. offsetHours is local
// hour minus UTC hour.
FileTime midnightFileTime(FileTime time, int offsetHours);
