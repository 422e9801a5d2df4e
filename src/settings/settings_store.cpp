// The program's own configuration, skalenor.cfg in the current directory.
#include <cstdio>

#include "settings/platform_file.h"
#include "settings/settings_file.h"

void (*settingsNoticeHook)(void* ownerWindow, const char* textCp1251) = nullptr;
bool (*windowRectHook)(void* ownerWindow, int32_t rect[4]) = nullptr;

namespace {
// "Не найден файл конфигурации skalenor.cfg" in Windows-1251.
constexpr char kMissingConfigNotice[] =
    "\xCD\xE5 \xED\xE0\xE9\xE4\xE5\xED \xF4\xE0\xE9\xEB \xEA\xEE\xED\xF4\xE8\xE3\xF3\xF0\xE0\xF6\xE8\xE8 skalenor.cfg";
}  // namespace

void readSettings(MeterSettings& settings) {
  if (!readSettingsFile(settings, SETTINGS_FILE_NAME) && settingsNoticeHook)
    settingsNoticeHook(settings.ownerWindow, kMissingConfigNotice);
}

void writeSettings(MeterSettings& settings) {
  int32_t rect[4];
  if (windowRectHook && windowRectHook(settings.ownerWindow, rect))
    for (int i = 0; i < 4; ++i) settings.rWnd[i] = rect[i];

  FILE* in = std::fopen(SETTINGS_FILE_NAME, "rb");
  if (!in) return;
  FILE* out = std::fopen(SETTINGS_TEMP_NAME, "wb");
  if (!out) {
    std::fclose(in);
    return;
  }
  bool ok = rewriteSettingsStream(settings, in, out);
  std::fclose(in);
  ok = ok && flushFileToDisk(out);
  ok = std::fclose(out) == 0 && ok;
  // skalenor.cfg is replaced only by a complete file, and never deleted first.
  if (!ok || !replaceFileAtomically(SETTINGS_TEMP_NAME, SETTINGS_FILE_NAME)) std::remove(SETTINGS_TEMP_NAME);
}
