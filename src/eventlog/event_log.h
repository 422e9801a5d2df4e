// The event log of an unattended run: what happened and when, for the user
// who comes back after the weekend.
//
// File: Data/events-YYYYMMDD.csv in the working folder, one file per local
// day (the event's date), appended one line per event. UTF-8 with a
// byte-order mark (as the CSV export, so a spreadsheet reads the Cyrillic),
// CR LF line ends, comma-separated, RFC 4180 quoting. A new day's file starts
// with the byte-order mark and the header line
//   Время,Канал,Имя,Показание,Единица,Предел,Выход,Событие
// and every event is one line, for example
//   2026-12-08 14:03:07.250,31,ch31,-1.0000,V,нижний,РК04 выдан,Выход за пределы
// Время: local date and time to the millisecond. Канал, Имя, Показание (as
// the panel showed it), Единица: empty for events of the whole meter.
// Предел: "нижний" or "верхний", the limit left (or, coming back, the one
// that had been left). Выход: the relay-command output raised ("выдан") or
// cleared ("снят"). Событие: what happened, or the notice the user was shown.
//
// Threads: post() on the user-interface thread (the one producer),
// writePending() on one background thread (the one consumer); they share a
// fixed ring and nothing else, so the disk never holds up the user interface
// and, through it, the meter's ticks. Writes follow the recorder's rules: the
// file is opened, appended and closed per batch, a line is written whole or
// not at all, and a failure is told once (until a write succeeds again).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "recording/recorder_files.h"

enum class EventKind : int32_t { LimitLeft, LimitBack, RecordingStarted, RecordingStopped, Notice, BoardSilent, BoardBack };
enum class LimitSide : int32_t { None, Low, High };

inline constexpr size_t EVENT_TEXT_SIZE = 1024;
inline constexpr size_t EVENT_FIELD_COUNT = 8;
inline constexpr size_t EVENT_QUEUE_SIZE = 256;  // events waiting for the disk; beyond, new ones are dropped

struct MeterEvent {
  ClockTime time;
  EventKind kind = EventKind::Notice;
  int32_t channel = 0;  // 1-32; 0 for the whole meter
  char name[64] = {};   // UTF-8
  char reading[32] = {};
  char unit[64] = {};  // UTF-8
  LimitSide limit = LimitSide::None;
  int32_t output = 0;  // relay-command output 1-32; 0 for none
  char text[EVENT_TEXT_SIZE] = {};  // UTF-8: the notice shown, or the recording's file
};

// The eight column texts of an event, as the file and the event window show them.
void eventFields(const MeterEvent& event, std::string fields[EVENT_FIELD_COUNT]);
// The CSV line of the fields (with its CR LF).
std::string csvLine(const std::string fields[EVENT_FIELD_COUNT]);
// Splits one line of the file (without its line end) into its fields; false
// when it does not hold exactly EVENT_FIELD_COUNT well-formed fields.
bool parseEventLine(std::string_view line, std::string fields[EVENT_FIELD_COUNT]);
// The file of a day, relative to the working folder: Data/events-YYYYMMDD.csv.
std::string eventFileName(const ClockTime& day, char separator);
extern const char EVENT_FILE_HEADER[];  // the byte-order mark and the header line

// Told once, on the writer's thread, that lines could not be written.
class EventLogWatcher {
 public:
  virtual ~EventLogWatcher() = default;
  virtual void eventLogFailed() = 0;
};

class EventLog {
 public:
  EventLog(RecorderFiles& files, EventLogWatcher* watcher = nullptr) : files_(files), watcher_(watcher) {}

  // Queues the event; false (the event lost, counted) when the ring is full.
  bool post(const MeterEvent& event);
  // Writes every queued event to its day's file; false when a write failed.
  bool writePending();
  bool pending() const { return head_.load() != tail_.load(); }
  uint32_t dropped() const { return dropped_.load(); }
  // Why the last write failed, for the user (UTF-8); written before the watcher hears of it.
  const char* notice() const { return notice_; }

 private:
  bool append(const MeterEvent& event);

  RecorderFiles& files_;
  EventLogWatcher* watcher_;
  MeterEvent ring_[EVENT_QUEUE_SIZE];
  std::atomic<uint32_t> head_{0}, tail_{0};  // head: next to write to the disk; tail: next free slot
  std::atomic<uint32_t> dropped_{0};
  bool failing_ = false;  // the writer's: a failure was told and no write has succeeded since
  char notice_[EVENT_TEXT_SIZE + 256] = {};
};
