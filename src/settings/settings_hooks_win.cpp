#include <windows.h>

#include "settings/settings_file.h"

namespace {

// The error notice of the main window (WM_USER, 1024, text).
constexpr WPARAM NOTICE_ERROR = 1024;

void sendNotice(void* ownerWindow, const char* textCp1251) {
  if (ownerWindow)
    SendMessageA(static_cast<HWND>(ownerWindow), WM_USER, NOTICE_ERROR, reinterpret_cast<LPARAM>(textCp1251));
}

bool mainWindowRect(void* ownerWindow, int32_t rect[4]) {
  RECT r;
  if (!ownerWindow || !GetWindowRect(static_cast<HWND>(ownerWindow), &r)) return false;
  rect[0] = r.left;
  rect[1] = r.top;
  rect[2] = r.right;
  rect[3] = r.bottom;
  return true;
}

}  // namespace

void installSettingsHooks() {
  settingsNoticeHook = sendNotice;
  windowRectHook = mainWindowRect;
}
