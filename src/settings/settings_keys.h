// Shared by the configuration reader and writer: the keys, how a line is matched
// to one, and how the file is cut into lines.
#pragma once

#include <cstddef>

enum class SettingsKey {
  KB,          // K<n>B
  Channel,     // <n>Channel
  NPK,
  MinMaxRef,
  FlagRec,
  ACmode,
  Interval,
  Kadc,
  ScaleY,
  ColPlot,
  PlotName,
  ChPlot,
  ScPlot,
  LrScale,
  RPlot,
  RWnd,
  Ftime,
  FreqStream,
  NDO,
  TimeType,
  CheckLabel,
  WebPort,
  WebAddress,
  Device,
};

struct SettingsKeyMatch {
  SettingsKey key;
  int number;  // channel 1-32 or graph 1-4; 0 for single keys
};

inline constexpr int SETTINGS_KEY_NAME_SIZE = 16;

// The key the line begins with (each key compared over its own length), tried in
// the reader's order. No key is a prefix of another, so the order never decides.
bool matchSettingsKey(const char* line, SettingsKeyMatch* match);

// The key's text, such as "Kadc07" or "K7B".
void settingsKeyName(SettingsKeyMatch match, char name[SETTINGS_KEY_NAME_SIZE]);

// Every key of the table, numbered 0 .. settingsKeyCount() - 1 in the reader's
// order (K1B..K32B, 1Channel..32Channel, NPK01.., ..., CheckLabel, Device): the
// order of a full file written from nothing.
inline constexpr int SETTINGS_KEY_LIMIT = 512;  // at least settingsKeyCount()
int settingsKeyCount();
SettingsKeyMatch settingsKeyAt(int ordinal);
int settingsKeyOrdinal(SettingsKeyMatch match);

// True when the line begins like a numbered key (Kadc, NPK, K<digits>B,
// <digits>Channel, ...) that matchSettingsKey did not accept.
bool looksLikeNumberedKey(const char* line);

// Cuts file bytes into lines the way a 255-byte fgets does: a line ends after
// '\n' or after SETTINGS_LINE_LIMIT characters. In text mode CR LF becomes LF
// first, as a text-mode read on Windows sees it.
class SettingsLineSplitter {
 public:
  explicit SettingsLineSplitter(bool textMode) : textMode_(textMode) {}

  // onLine(const char* line, size_t length, int fileLine, bool cut): cut is true
  // when the limit ended the line before its line end. Returns false to stop.
  template <typename OnLine>
  bool feed(const char* data, size_t size, OnLine&& onLine) {
    for (size_t i = 0; i < size; ++i) {
      const char c = data[i];
      if (pendingCr_) {
        pendingCr_ = false;
        if (c != '\n' && !put('\r', onLine)) return false;
      }
      if (textMode_ && c == '\r') {
        pendingCr_ = true;
        continue;
      }
      if (!put(c, onLine)) return false;
    }
    return true;
  }

  template <typename OnLine>
  bool finish(OnLine&& onLine) {
    if (pendingCr_) {
      pendingCr_ = false;
      if (!put('\r', onLine)) return false;
    }
    if (length_ == 0) return true;
    const size_t length = length_;
    length_ = 0;
    return onLine(buffer_, length, lineStart_, false);
  }

 private:
  template <typename OnLine>
  bool put(char c, OnLine& onLine) {
    if (length_ == 0) lineStart_ = fileLine_;
    buffer_[length_++] = c;
    if (c == '\n') {
      ++fileLine_;
    } else if (length_ < kLimit) {
      return true;
    }
    const size_t length = length_;
    length_ = 0;
    return onLine(buffer_, length, lineStart_, c != '\n');
  }

  static constexpr size_t kLimit = 254;
  bool textMode_;
  bool pendingCr_ = false;
  char buffer_[kLimit + 2] = {};
  size_t length_ = 0;
  int fileLine_ = 1;
  int lineStart_ = 1;
};
