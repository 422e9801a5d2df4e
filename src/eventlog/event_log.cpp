#include "eventlog/event_log.h"

#include <cstdio>
#include <cstring>

#include "recording/csv_export.h"

const char EVENT_FILE_HEADER[] = "\xEF\xBB\xBF" "Время,Канал,Имя,Показание,Единица,Предел,Выход,Событие\r\n";

namespace {

const char* kindText(EventKind kind) {
  switch (kind) {
    case EventKind::LimitLeft: return "Выход за пределы";
    case EventKind::LimitBack: return "Возврат в пределы";
    case EventKind::RecordingStarted: return "Запись начата";
    case EventKind::RecordingStopped: return "Запись остановлена";
    case EventKind::BoardSilent: return "Нет данных от платы";
    case EventKind::BoardBack: return "Данные от платы поступают снова";
    case EventKind::Notice: break;
  }
  return "";
}

// Line breaks of a notice become blanks: one event, one line.
std::string oneLine(const char* text) {
  std::string s(text);
  for (char& c : s)
    if (c == '\r' || c == '\n') c = ' ';
  return s;
}

}  // namespace

void eventFields(const MeterEvent& e, std::string f[EVENT_FIELD_COUNT]) {
  char time[48];
  std::snprintf(time, sizeof time, "%04d-%02d-%02d %02d:%02d:%02d.%03d", e.time.year, e.time.month, e.time.day,
                e.time.hour, e.time.minute, e.time.second, e.time.millisecond);
  f[0] = time;
  f[1] = e.channel > 0 ? std::to_string(e.channel) : "";
  f[2] = e.name;
  f[3] = e.reading;
  f[4] = e.unit;
  f[5] = e.limit == LimitSide::Low ? "нижний" : e.limit == LimitSide::High ? "верхний" : "";
  f[6].clear();
  if (e.output > 0) {
    char output[32];
    std::snprintf(output, sizeof output, "РК%02d %s", e.output, e.kind == EventKind::LimitLeft ? "выдан" : "снят");
    f[6] = output;
  }
  const std::string text = oneLine(e.text);
  const char* kind = kindText(e.kind);
  f[7] = !*kind ? text : text.empty() ? kind : std::string(kind) + ": " + text;
}

std::string csvLine(const std::string fields[EVENT_FIELD_COUNT]) {
  std::string line;
  for (size_t i = 0; i < EVENT_FIELD_COUNT; ++i) {
    if (i) line += ',';
    appendCsvField(line, fields[i], ',');
  }
  return line + "\r\n";
}

bool parseEventLine(std::string_view line, std::string fields[EVENT_FIELD_COUNT]) {
  size_t n = 0, at = 0;
  for (;;) {
    if (n == EVENT_FIELD_COUNT) return false;
    std::string& field = fields[n++];
    field.clear();
    if (at < line.size() && line[at] == '"') {
      for (++at;; ++at) {
        if (at >= line.size()) return false;  // an unclosed quote
        if (line[at] != '"') {
          field += line[at];
        } else if (at + 1 < line.size() && line[at + 1] == '"') {
          field += '"';
          ++at;
        } else {
          ++at;
          break;
        }
      }
      if (at < line.size() && line[at] != ',') return false;
    } else {
      const size_t end = std::min(line.find(',', at), line.size());
      field.assign(line.substr(at, end - at));
      if (field.find('"') != std::string::npos) return false;
      at = end;
    }
    if (at >= line.size()) return n == EVENT_FIELD_COUNT;
    ++at;  // the comma
  }
}

std::string eventFileName(const ClockTime& day, char separator) {
  char name[48];
  std::snprintf(name, sizeof name, "Data%cevents-%04d%02d%02d.csv", separator, day.year, day.month, day.day);
  return name;
}

bool EventLog::post(const MeterEvent& event) {
  const uint32_t tail = tail_.load(std::memory_order_relaxed);
  if (tail - head_.load(std::memory_order_acquire) >= EVENT_QUEUE_SIZE) {
    dropped_.fetch_add(1, std::memory_order_relaxed);
    return false;
  }
  ring_[tail % EVENT_QUEUE_SIZE] = event;
  tail_.store(tail + 1, std::memory_order_release);
  return true;
}

bool EventLog::writePending() {
  bool ok = true;
  for (uint32_t head = head_.load(std::memory_order_relaxed); head != tail_.load(std::memory_order_acquire);
       head_.store(++head, std::memory_order_release))
    ok = append(ring_[head % EVENT_QUEUE_SIZE]) && ok;
  return ok;
}

bool EventLog::append(const MeterEvent& event) {
  const char separator = files_.pathSeparator();
  char path[1280];
  if (!files_.currentDirectory(path, sizeof path - 48)) return false;
  const size_t folder = std::strlen(path);
  std::snprintf(path + folder, sizeof path - folder, "%c%s", separator, eventFileName(event.time, separator).c_str());
  std::string fields[EVENT_FIELD_COUNT];
  eventFields(event, fields);
  std::string text = csvLine(fields);

  FileHandle file = files_.openExisting(path);
  if (file == NO_FILE) {
    path[folder + 5] = 0;  // the Data folder
    files_.createDirectory(path);
    path[folder + 5] = separator;
    file = files_.createNew(path);
    text = EVENT_FILE_HEADER + text;
  }
  FileFailure why;
  const bool ok = file != NO_FILE ? appendWhole(files_, file, text.data(), static_cast<uint32_t>(text.size()), 0, 0, &why)
                                  : (why = files_.lastFailure(), false);
  files_.close(file);
  if (ok) {
    failing_ = false;
  } else if (!failing_) {
    failing_ = true;
    char words[512] = "Нет доступа к файлу";
    if (why.kind == FileError::DiskFull) std::snprintf(words, sizeof words, "Диск заполнен:");
    else if (why.kind != FileError::AccessDenied) files_.describeError(why.code, words, sizeof words - 1), std::strcat(words, ":");
    std::snprintf(notice_, sizeof notice_, "Журнал событий не записан.\n%s %s", words, path);
    if (watcher_) watcher_->eventLogFailed();
  }
  return ok;
}
