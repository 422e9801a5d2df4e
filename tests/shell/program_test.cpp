// The whole program under Wine: start, find its window from this second
// process, close it; the missing-configuration notice; resources.
#include <gtest/gtest.h>

#include "win_driver.h"

namespace {

const char kSmallConfig[] =
    "; test configuration\r\n"
    "FreqStream = 1000\r\n"
    "Ftime = 100\r\n"
    "nDO = 8\r\n"
    "rWnd = 10,20,300,200\r\n";

}  // namespace

TEST(Program, StartsWithItsMenuAndTitleAndEndsWithZeroOnClose) {
  const std::wstring dir = driver::makeWorkFolder(L"start-close");
  ASSERT_TRUE(driver::writeFile(dir + L"\\skalenor.cfg", kSmallConfig));
  driver::Program p;
  ASSERT_TRUE(driver::start(p, dir));
  HWND main = driver::findWindow(p.pi.dwProcessId, L"SKALENOR", nullptr, 20000);
  ASSERT_NE(main, nullptr);
  // The title is set last in start-up: wait for the board and rate to appear.
  std::wstring title;
  for (int i = 0; i < 200 && title.find(L"Hz") == std::wstring::npos; ++i) {
    driver::pump(50);
    title = driver::text(main);
  }
  EXPECT_EQ(title.rfind(L"32-канальный вольтметр(KV3", 0), 0u) << std::string(title.begin(), title.end());
  EXPECT_NE(title.find(L",частота сбора 1000 Hz"), std::wstring::npos);
  EXPECT_NE(GetMenu(main), nullptr);
  EXPECT_TRUE(IsWindowVisible(main));
  PostMessageW(main, WM_CLOSE, 0, 0);
  EXPECT_EQ(p.waitExit(20000), 0);
}

TEST(Program, MissingConfigurationIsReportedAndEndsTheProgram) {
  const std::wstring dir = driver::makeWorkFolder(L"missing-config");
  driver::Program p;
  ASSERT_TRUE(driver::start(p, dir));
  HWND box = driver::findWindow(p.pi.dwProcessId, L"#32770", L"Ошибка", 20000);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(driver::messageBoxText(box), L"Не найден файл конфигурации skalenor.cfg");
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(p.waitExit(20000), 0);
  // Nothing of the program is left on the screen.
  EXPECT_EQ(driver::findWindow(p.pi.dwProcessId, nullptr, nullptr, 0), nullptr);
}

TEST(Program, ResourcesCarryTheirCyrillicTexts) {
  HMODULE exe = LoadLibraryExW(driver::programPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(exe, nullptr);
  wchar_t text[128];
  ASSERT_GT(LoadStringW(exe, 103, text, 128), 0);
  EXPECT_STREQ(text, L"32-канальный вольтметр");
  ASSERT_GT(LoadStringW(exe, 106, text, 128), 0);
  EXPECT_STREQ(text, L"Отображение каналов");
  ASSERT_GT(LoadStringW(exe, 109, text, 128), 0);
  EXPECT_STREQ(text, L"SKALENOR");

  HMENU menu = LoadMenuW(exe, MAKEINTRESOURCEW(109));
  ASSERT_NE(menu, nullptr);
  HMENU file = GetSubMenu(menu, 0);
  ASSERT_NE(file, nullptr);
  const struct { UINT id; const wchar_t* text; } items[] = {
      {32773, L"Открыть..."}, {32774, L"Сохранить..."}, {32771, L"Каналы..."}, {32772, L"График"}, {105, L"Выход"}};
  for (const auto& item : items) {
    ASSERT_GT(GetMenuStringW(file, item.id, text, 128, MF_BYCOMMAND), 0) << item.id;
    EXPECT_STREQ(text, item.text);
  }
  ASSERT_GT(GetMenuStringW(menu, 1, text, 128, MF_BYPOSITION), 0);
  EXPECT_STREQ(text, L"&Help");
  EXPECT_NE(LoadAcceleratorsW(exe, MAKEINTRESOURCEW(109)), nullptr);
  EXPECT_NE(FindResourceW(exe, L"LAUNCH", MAKEINTRESOURCEW(5)), nullptr);  // RT_DIALOG
  EXPECT_NE(LoadImageW(exe, MAKEINTRESOURCEW(107), IMAGE_ICON, 32, 32, 0), nullptr);
  EXPECT_NE(LoadImageW(exe, MAKEINTRESOURCEW(108), IMAGE_ICON, 16, 16, 0), nullptr);
  DestroyMenu(menu);
  FreeLibrary(exe);
}
