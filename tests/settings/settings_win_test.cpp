// writeSettings and readSettings on Windows: the replace through MoveFileExA and
// the hooks that reach a real main window.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "settings/platform_file.h"
#include "settings_test_support.h"

namespace {

std::string noticeText;

LRESULT CALLBACK ownerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_USER && wParam == 1024) {
    noticeText = reinterpret_cast<const char*>(lParam);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

class SettingsWin : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = ownerProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"SkalenorSettingsTestOwner";
    RegisterClassW(&wc);
    window_ = CreateWindowExW(0, wc.lpszClassName, L"owner", WS_OVERLAPPEDWINDOW, 50, 60, 300, 200, nullptr, nullptr,
                              wc.hInstance, nullptr);
    ASSERT_NE(window_, nullptr);
    installSettingsHooks();
  }
  void TearDown() override {
    settingsNoticeHook = nullptr;
    windowRectHook = nullptr;
    if (window_) DestroyWindow(window_);
  }

  ScratchDir dir_;
  HWND window_ = nullptr;
};

}  // namespace

TEST_F(SettingsWin, NoticeAndWindowRectangleReachTheMainWindow) {
  auto s = std::make_unique<MeterSettings>();
  s->ownerWindow = window_;
  readSettings(*s);  // no file yet
  EXPECT_EQ(noticeText,
            "\xCD\xE5 \xED\xE0\xE9\xE4\xE5\xED \xF4\xE0\xE9\xEB \xEA\xEE\xED\xF4\xE8\xE3\xF3\xF0\xE0\xF6\xE8\xE8 "
            "skalenor.cfg");

  writeBytes("skalenor.cfg", "; keep\r\nrWnd = 0,0,0,0\r\nFtime = 10\r\n");
  readSettings(*s);
  s->Ftime = 300;
  writeSettings(*s);
  RECT r;
  GetWindowRect(window_, &r);
  char expected[200];
  std::snprintf(expected, sizeof expected, "; keep\r\nrWnd = %ld,%ld,%ld,%ld\r\nFtime = 300\r\n",
                static_cast<long>(r.left), static_cast<long>(r.top), static_cast<long>(r.right),
                static_cast<long>(r.bottom));
  EXPECT_EQ(readBytes("skalenor.cfg"), expected);
  EXPECT_EQ(GetFileAttributesA("skalenor.out"), INVALID_FILE_ATTRIBUTES);

  // A second write replaces the existing file again.
  s->Ftime = 400;
  writeSettings(*s);
  EXPECT_NE(readBytes("skalenor.cfg").find("Ftime = 400\r\n"), std::string::npos);
}

TEST_F(SettingsWin, ReplaceAndFlushPrimitives) {
  writeBytes("a.tmp", "new");
  writeBytes("b.cfg", "old");
  EXPECT_TRUE(replaceFileAtomically("a.tmp", "b.cfg"));
  EXPECT_EQ(readBytes("b.cfg"), "new");
  EXPECT_FALSE(replaceFileAtomically("missing.tmp", "b.cfg"));
  EXPECT_EQ(readBytes("b.cfg"), "new");
  FILE* f = std::fopen("c.tmp", "wb");
  ASSERT_NE(f, nullptr);
  std::fputs("x", f);
  EXPECT_TRUE(flushFileToDisk(f));
  std::fclose(f);
}
