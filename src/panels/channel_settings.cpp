#include "panels/channel_settings.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

std::string printed(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

bool isBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// The file's reader ends a unit or name at its first blank and splits it at "|".
void storeText(char (&field)[SETTINGS_TEXT_SIZE], const std::string& text) {
  size_t from = 0, to = text.size();
  while (from < to && isBlank(text[from])) ++from;
  while (to > from && isBlank(text[to - 1])) --to;
  char cut[SETTINGS_TEXT_SIZE] = {};
  for (size_t i = 0; i < CHANNEL_TEXT_LENGTH && from + i < to; ++i) {
    const char c = text[from + i];
    cut[i] = isBlank(c) || c == '|' ? '_' : c;
  }
  for (size_t i = 0; i < SETTINGS_TEXT_SIZE; ++i) sharedStore(field[i], cut[i]);
}

}  // namespace

std::string formatK(float k) { return printed("%g", k); }

std::string formatB(float b) {
  int reference = 0;
  if (isChannelReference(b, &reference)) {
    char text[8];
    std::snprintf(text, sizeof text, "K%02d", reference);
    return text;
  }
  return printed("%g", b);
}

std::string formatLimit(float value) { return printed("%lg", value); }

std::string keypadAppend(const std::string& text, char key) {
  return text.size() >= KEYPAD_MAX_LENGTH ? text : text + key;
}

std::string keypadBackspace(const std::string& text) { return text.empty() ? text : text.substr(0, text.size() - 1); }

float readK(const std::string& text, float old) {
  float value = old;
  std::sscanf(text.c_str(), "%g", &value);
  return value;
}

float readB(const std::string& text, float old) {
  if (!text.empty() && text[0] == 'K') {
    int n = 0;
    if (std::sscanf(text.c_str() + 1, "%2d", &n) != 1 || n < 1 || n > CHANNEL_COUNT) return old;
    return static_cast<float>(CHANNEL_REF_BASE + n);
  }
  float value = old;
  std::sscanf(text.c_str(), "%g", &value);
  return value;
}

int32_t readInterval(const std::string& text) {
  uint64_t value = 0;
  if (text.empty()) return CHANNEL_INTERVAL_MIN_MS;
  for (char c : text) {
    if (c < '0' || c > '9') return CHANNEL_INTERVAL_MIN_MS;
    if (value <= CHANNEL_INTERVAL_MAX_MS) value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  if (value < CHANNEL_INTERVAL_MIN_MS) return CHANNEL_INTERVAL_MIN_MS;
  return static_cast<int32_t>(value > CHANNEL_INTERVAL_MAX_MS ? CHANNEL_INTERVAL_MAX_MS : value);
}

bool readLimit(const std::string& text, const std::string& shown, float old, float* value) {
  float read = old;
  if ((shown.empty() || text != shown) && std::sscanf(text.c_str(), "%g", &read) != 1) return false;
  if (!std::isfinite(read) || read >= LIMIT_UNSET) return false;
  *value = read;
  return true;
}

bool storableText(const std::string& text) { return text.find('|') == std::string::npos; }

bool applyChannelForm(MeterSettings& s, int n, const ChannelForm& form) {
  if (n < 1 || n > CHANNEL_COUNT) return false;
  if (form.gainCode >= 1 && form.gainCode <= GAIN_BUTTONS) sharedStore(s.Kadc[n], static_cast<int32_t>(form.gainCode));
  const float oldK = sharedLoad(s.channelK[n]);
  const float k = form.k == form.shownK ? oldK : readK(form.k, oldK);
  sharedStore(s.channelK[n], k);
  const float oldB = sharedLoad(s.channelB[n]);
  const float b = form.b == form.shownB ? oldB : readB(form.b, oldB);
  sharedStore(s.channelB[n], b);
  storeText(s.unitText[n], form.unit);
  storeText(s.channelName[n], form.name);
  sharedStore(s.NPK[n], static_cast<int32_t>(form.output));
  sharedStore(s.Interval[n], readInterval(form.interval));
  return k != oldK || b != oldB;
}
