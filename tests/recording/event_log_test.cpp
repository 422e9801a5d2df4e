// The event log's files, read back from their layout: a file a day, the header, whole lines, quoting; a disk
// that fills; the queue's bound; and the background thread that writes them.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "eventlog/disk_thread.h"
#include "eventlog/event_log.h"
#include "recording_fixture.h"

namespace {

using Fields = std::vector<std::string>;

MeterEvent limitEvent(ClockTime t, EventKind kind, const char* name) {
  MeterEvent e;
  e.time = t;
  e.kind = kind;
  e.channel = 31;
  std::snprintf(e.name, sizeof e.name, "%s", name);
  std::snprintf(e.reading, sizeof e.reading, "-1.0000");
  std::snprintf(e.unit, sizeof e.unit, "В");
  e.limit = LimitSide::Low;
  e.output = 4;
  return e;
}

// The lines of a file after its byte-order mark, each split into its fields.
std::vector<Fields> linesOf(const std::string& path) {
  const std::string text = readFile(path);
  EXPECT_EQ(text.rfind("\xEF\xBB\xBF", 0), 0u) << path;
  std::vector<Fields> lines;
  for (size_t at = 3, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) {
    std::string f[EVENT_FIELD_COUNT];
    EXPECT_TRUE(parseEventLine(std::string_view(text).substr(at, end - at), f)) << text.substr(at, end - at);
    lines.emplace_back(f, f + EVENT_FIELD_COUNT);
  }
  return lines;
}

class EventLogTest : public RecordingTest {
 protected:
  struct Watcher : EventLogWatcher {
    int failures = 0;
    void eventLogFailed() override { ++failures; }
  } watcher;
  EventLog log{files, &watcher};
  std::string day(const char* date) const { return dir + "/Data/events-" + date + ".csv"; }
};

const Fields HEADER = {"Время", "Канал", "Имя", "Показание", "Единица", "Предел", "Выход", "Событие"};

TEST_F(EventLogTest, OneFileADayWholeLinesQuotedFields) {
  // Across midnight: the event's own date names its file.
  log.post(limitEvent({2026, 12, 6, 23, 59, 59, 900}, EventKind::LimitLeft, "Ток, \"фаза\" A"));
  MeterEvent notice;
  notice.time = {2026, 12, 7, 0, 0, 0, 100};
  std::snprintf(notice.text, sizeof notice.text, "Запись остановлена.\nДиск заполнен: D:\\Data\\x.qmr");
  log.post(notice);
  MeterEvent started;
  started.time = {2026, 12, 7, 0, 0, 1, 5};
  started.kind = EventKind::RecordingStarted;
  std::snprintf(started.text, sizeof started.text, "D:\\Data\\261207_000001.qmr");
  log.post(started);
  log.post(limitEvent({2026, 12, 7, 0, 0, 2, 0}, EventKind::LimitBack, "Ток"));
  EXPECT_TRUE(log.writePending());
  EXPECT_FALSE(log.pending());

  EXPECT_EQ(linesOf(day("20261206")),
            (std::vector<Fields>{HEADER, {"2026-12-06 23:59:59.900", "31", "Ток, \"фаза\" A", "-1.0000", "В", "нижний",
                                          "РК04 выдан", "Выход за пределы"}}));
  EXPECT_EQ(linesOf(day("20261207")),
            (std::vector<Fields>{HEADER,
                                 {"2026-12-07 00:00:00.100", "", "", "", "", "", "",
                                  "Запись остановлена. Диск заполнен: D:\\Data\\x.qmr"},
                                 {"2026-12-07 00:00:01.005", "", "", "", "", "", "", "Запись начата: D:\\Data\\261207_000001.qmr"},
                                 {"2026-12-07 00:00:02.000", "31", "Ток", "-1.0000", "В", "нижний", "РК04 снят",
                                  "Возврат в пределы"}}));

  // Lines that are not the file's: quotes out of place, too few or too many fields.
  std::string f[EVENT_FIELD_COUNT];
  for (const char* bad : {"a,b,c", "1,2,3,4,5,6,7,8,9", "\"open,2,3,4,5,6,7,8", "a\"b,2,3,4,5,6,7,8", "\"a\"b,2,3,4,5,6,7,8"})
    EXPECT_FALSE(parseEventLine(bad, f)) << bad;
}

TEST_F(EventLogTest, AFullDiskIsToldOnceAndLeavesWholeLines) {
  const ClockTime t{2026, 12, 6, 12, 0, 0, 0};
  log.post(limitEvent(t, EventKind::LimitLeft, "U"));
  ASSERT_TRUE(log.writePending());
  const std::string before = readFile(day("20261206"));
  files.room = 10;
  for (int i = 0; i < 3; ++i) log.post(limitEvent(t, EventKind::LimitBack, "U"));
  EXPECT_FALSE(log.writePending());
  EXPECT_EQ(readFile(day("20261206")), before);
  EXPECT_EQ(watcher.failures, 1);
  EXPECT_EQ(std::string(log.notice()), "Журнал событий не записан.\nДиск заполнен: " + day("20261206"));

  files.room = UINT64_MAX;  // room again: lines go on, and the next failure is told again
  log.post(limitEvent(t, EventKind::LimitLeft, "U"));
  EXPECT_TRUE(log.writePending());
  EXPECT_EQ(linesOf(day("20261206")).size(), 3u);
  files.failOpen = ".csv";
  files.failCreate = ".csv";
  log.post(limitEvent(t, EventKind::LimitLeft, "U"));
  EXPECT_FALSE(log.writePending());
  EXPECT_EQ(watcher.failures, 2);
  EXPECT_EQ(std::string(log.notice()), "Журнал событий не записан.\nНет доступа к файлу " + day("20261206"));

  // The ring holds what the disk has not taken yet; beyond it events are counted, not kept.
  files.failOpen = files.failCreate = nullptr;
  for (size_t i = 0; i < EVENT_QUEUE_SIZE + 5; ++i) log.post(limitEvent(t, EventKind::LimitLeft, "U"));
  EXPECT_EQ(log.dropped(), 5u);
  EXPECT_TRUE(log.writePending());
  EXPECT_EQ(linesOf(day("20261206")).size(), 3 + EVENT_QUEUE_SIZE);
}

// The background thread writes what is posted without being asked twice, and what is still queued when it ends.
TEST_F(EventLogTest, TheDiskThreadWritesAsEventsCome) {
  const ClockTime t{2026, 12, 6, 12, 0, 0, 0};
  {
    DiskThread thread(log, &rec);
    log.post(limitEvent(t, EventKind::LimitLeft, "U"));
    thread.wake();
    for (int i = 0; i < 200 && log.pending(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_FALSE(log.pending());
    log.post(limitEvent(t, EventKind::LimitBack, "U"));
  }
  EXPECT_EQ(linesOf(day("20261206")).size(), 3u);
}

}  // namespace
