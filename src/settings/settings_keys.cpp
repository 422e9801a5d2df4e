#include "settings/settings_keys.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "settings/meter_settings.h"

namespace {

struct Family {
  SettingsKey key;
  const char* format;  // with %d or %02d for numbered keys
  int count;           // 1 for single keys
};

// The reader's order.
constexpr Family kFamilies[] = {
    {SettingsKey::KB, "K%dB", CHANNEL_COUNT},
    {SettingsKey::Channel, "%dChannel", CHANNEL_COUNT},
    {SettingsKey::NPK, "NPK%02d", CHANNEL_COUNT},
    {SettingsKey::MinMaxRef, "MinMaxRef%02d", CHANNEL_COUNT},
    {SettingsKey::FlagRec, "FlagRec%02d", CHANNEL_COUNT},
    {SettingsKey::ACmode, "ACmode%02d", CHANNEL_COUNT},
    {SettingsKey::Interval, "Interval%02d", CHANNEL_COUNT},
    {SettingsKey::Kadc, "Kadc%02d", CHANNEL_COUNT},
    {SettingsKey::ScaleY, "scaleY%d", GRAPH_SLOTS},
    {SettingsKey::ColPlot, "colPlot%d", GRAPH_SLOTS},
    {SettingsKey::PlotName, "plotName%d", GRAPH_SLOTS},
    {SettingsKey::ChPlot, "chPlot", 1},
    {SettingsKey::ScPlot, "scPlot", 1},
    {SettingsKey::LrScale, "lrScale", 1},
    {SettingsKey::RPlot, "rPlot", 1},
    {SettingsKey::RWnd, "rWnd", 1},
    {SettingsKey::Ftime, "Ftime", 1},
    {SettingsKey::FreqStream, "FreqStream", 1},
    {SettingsKey::NDO, "nDO", 1},
    {SettingsKey::TimeType, "TimeType", 1},
    {SettingsKey::CheckLabel, "CheckLabel", 1},
    {SettingsKey::WebPort, "WebPort", 1},
    {SettingsKey::WebAddress, "WebAddress", 1},
    {SettingsKey::Device, "Device", 1},
};
constexpr int kFamilyCount = static_cast<int>(sizeof kFamilies / sizeof kFamilies[0]);
constexpr int kKeyCount = [] {
  int n = 0;
  for (const Family& family : kFamilies) n += family.count;
  return n;
}();
static_assert(kKeyCount <= SETTINGS_KEY_LIMIT);

// Every key spelled out once, in the reader's order.
struct KeyTable {
  char names[kFamilyCount][CHANNEL_COUNT][SETTINGS_KEY_NAME_SIZE];
  size_t lengths[kFamilyCount][CHANNEL_COUNT];
  KeyTable() {
    for (int f = 0; f < kFamilyCount; ++f)
      for (int n = 1; n <= kFamilies[f].count; ++n) {
        std::snprintf(names[f][n - 1], SETTINGS_KEY_NAME_SIZE, kFamilies[f].format, n);
        lengths[f][n - 1] = std::strlen(names[f][n - 1]);
      }
  }
};

const KeyTable& keyTable() {
  static const KeyTable table;
  return table;
}

int familyIndex(SettingsKey key) {
  for (int f = 0; f < kFamilyCount; ++f)
    if (kFamilies[f].key == key) return f;
  return 0;
}

bool startsWith(const char* line, const char* prefix) {
  return std::strncmp(line, prefix, std::strlen(prefix)) == 0;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// True when line begins with the key's length bytes of key.
bool beginsWith(const char* line, const char* key, size_t length) {
  for (size_t i = 0; i < length; ++i)
    if (line[i] != key[i]) return false;  // also stops at the line's NUL
  return true;
}

}  // namespace

bool matchSettingsKey(const char* line, SettingsKeyMatch* match) {
  const KeyTable& table = keyTable();
  for (int f = 0; f < kFamilyCount; ++f)
    for (int n = 0; n < kFamilies[f].count; ++n)
      if (table.names[f][n][0] == line[0] && beginsWith(line, table.names[f][n], table.lengths[f][n])) {
        match->key = kFamilies[f].key;
        match->number = kFamilies[f].count == 1 ? 0 : n + 1;
        return true;
      }
  return false;
}

void settingsKeyName(SettingsKeyMatch match, char name[SETTINGS_KEY_NAME_SIZE]) {
  const int f = familyIndex(match.key);
  const int n = kFamilies[f].count == 1 ? 0 : match.number - 1;
  std::memcpy(name, keyTable().names[f][n < 0 ? 0 : n], SETTINGS_KEY_NAME_SIZE);
}

int settingsKeyCount() { return kKeyCount; }

SettingsKeyMatch settingsKeyAt(int ordinal) {
  for (const Family& family : kFamilies) {
    if (ordinal < family.count) return {family.key, family.count == 1 ? 0 : ordinal + 1};
    ordinal -= family.count;
  }
  return {SettingsKey::Device, 0};
}

int settingsKeyOrdinal(SettingsKeyMatch match) {
  int ordinal = 0;
  for (const Family& family : kFamilies) {
    if (family.key == match.key) return ordinal + (family.count == 1 ? 0 : match.number - 1);
    ordinal += family.count;
  }
  return 0;
}

bool looksLikeNumberedKey(const char* line) {
  static constexpr const char* kPrefixes[] = {"NPK", "MinMaxRef", "FlagRec", "ACmode", "Interval",
                                              "Kadc", "scaleY", "colPlot", "plotName"};
  for (const char* prefix : kPrefixes)
    if (startsWith(line, prefix)) return true;
  const char* p = line;
  if (*p == 'K' && isDigit(p[1])) {  // K<digits>B
    ++p;
    while (isDigit(*p)) ++p;
    return *p == 'B';
  }
  p = line;
  while (isDigit(*p)) ++p;
  return p != line && startsWith(p, "Channel");
}
