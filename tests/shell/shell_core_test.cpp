#include <gtest/gtest.h>

#include <cwchar>
#include <algorithm>
#include <tuple>

#include "shell/command_line.h"
#include "shell/window_fit.h"

TEST(CommandLine, ProgramPathWithAndWithoutQuotes) {
  wchar_t path[64];
  programPathFromCommandLine(L"\"C:\\Program Files\\skalenor.exe\" -x", path, 64);
  EXPECT_STREQ(path, L"C:\\Program Files\\skalenor.exe");
  programPathFromCommandLine(L"C:\\meter\\skalenor.exe", path, 64);
  EXPECT_STREQ(path, L"C:\\meter\\skalenor.exe");
  programPathFromCommandLine(L"\"C:\\a\\b.exe", path, 64);  // no closing quote
  EXPECT_STREQ(path, L"C:\\a\\b.exe");
  programPathFromCommandLine(L"\"C:\\a\\very-long-name.exe\"", path, 8);  // cut, still terminated
  EXPECT_EQ(std::wcslen(path), 7u);
}

TEST(CommandLine, TitleNamesBoardAndRate) {
  wchar_t title[128];
  formatMainTitle(L"32-канальный вольтметр", 1, 1000.0, title, 128);
  EXPECT_STREQ(title, L"32-канальный вольтметр(KV310),частота сбора 1000 Hz");
  formatMainTitle(L"T", 2, 2500.5, title, 128);
  EXPECT_STREQ(title, L"T(KV320),частота сбора 2500.5 Hz");
  formatMainTitle(L"T", 0, 1e6, title, 128);  // no board yet: the second form
  EXPECT_STREQ(title, L"T(KV320),частота сбора 1e+06 Hz");
}

TEST(WindowFit, GrowsWithTheShownPanelsAndMovesToTheEdges) {
  PanelState panels[PANEL_COUNT];
  PanelState* table[PANEL_COUNT] = {nullptr};  // position 1 has no panel: skipped
  for (int j = 1; j < PANEL_COUNT; ++j) {
    table[j] = &panels[j];
    panels[j].screenWidth = 1278;
    panels[j].screenHeight = 955;
    panels[j].column = panelColumn(j + 1);
    panels[j].row = panelRow(j + 1);
  }
  const ScreenMetrics screen{1280, 979, 1, 1, 23, 20, 3};
  const struct {
    int shown, width, height, left, top;
  } cases[] = {
      {0, 1280 / 5, 979 / 10 + 3, 100, 50},  // none: a fifth by a tenth of the screen, plus the dialog frame
      {11, 2 * 1278 / 4 + 2, 20 + 2 + 23 + 3 * 955 / 8 + 3, 100, 50},  // column 1, row 2; the others hidden
      {PANEL_COUNT, 1278 + 2, 20 + 2 + 23 + 955 + 3, 0, 0},  // all: wider than 3/4, taller than 7/8 of the screen
  };
  for (const auto& c : cases) {
    for (int j = 1; j < PANEL_COUNT; ++j) panels[j].visible = c.shown == PANEL_COUNT || j + 1 == c.shown;
    const WindowPlace p = fitMainWindow(screen, table, 100, 50);
    EXPECT_EQ(std::tie(p.width, p.height, p.left, p.top), std::tie(c.width, c.height, c.left, c.top)) << c.shown;
  }
}

TEST(WindowFit, StoredRectanglesComeBackOntoTheWorkArea) {
  const int32_t area[4] = {0, 30, 1280, 1024}, held[4] = {100, 100, 400, 300};  // a task bar along the top
  int32_t same[4] = {100, 100, 400, 300}, off[4] = {0, 1000, 321, 1296}, large[4] = {500, 0, 2500, 200};
  for (int32_t* rect : {same, off, large}) keepInsideWorkArea(rect, area);
  EXPECT_TRUE(std::equal(same, same + 4, held) && off[1] == 728 && off[3] == 1024 && large[0] == 0 && large[1] == 30);
}
