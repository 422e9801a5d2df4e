#include <windows.h>

#include "settings/settings_file.h"
#include "shell/window_place_win.h"

namespace {

// The error notice of the main window (WM_USER, 1024, text).
constexpr WPARAM NOTICE_ERROR = 1024;

void sendNotice(void* ownerWindow, const char* textCp1251) {
  if (ownerWindow)
    SendMessageA(static_cast<HWND>(ownerWindow), WM_USER, NOTICE_ERROR, reinterpret_cast<LPARAM>(textCp1251));
}

bool mainWindowRect(void* ownerWindow, int32_t rect[4]) {
  return ownerWindow && storedWindowRect(static_cast<HWND>(ownerWindow), rect);
}

}  // namespace

void installSettingsHooks() {
  settingsNoticeHook = sendNotice;
  windowRectHook = mainWindowRect;
}
