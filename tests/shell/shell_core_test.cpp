#include <gtest/gtest.h>

#include <cwchar>

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

namespace {
struct Grid {
  PanelState panels[PANEL_COUNT];
  PanelState* table[PANEL_COUNT];
  Grid() {
    for (int j = 0; j < PANEL_COUNT; ++j) {
      table[j] = &panels[j];
      panels[j].screenWidth = 1278;
      panels[j].screenHeight = 955;
      panels[j].column = panelColumn(j + 1);
      panels[j].row = panelRow(j + 1);
    }
  }
};
const ScreenMetrics kScreen{1280, 979, 1, 1, 23, 20, 3};
}  // namespace

TEST(WindowFit, GrowsWithTheShownPanelsAndMovesToTheEdges) {
  Grid g;
  // No panel shown: a fifth by a tenth of the screen, plus the dialog frame.
  WindowPlace p = fitMainWindow(kScreen, g.table, 100, 50);
  EXPECT_EQ(p.width, 1280 / 5);
  EXPECT_EQ(p.height, 979 / 10 + 3);
  EXPECT_EQ(p.left, 100);
  EXPECT_EQ(p.top, 50);

  // Position 11 (column 1, row 2).
  g.panels[10].visible = 1;
  p = fitMainWindow(kScreen, g.table, 100, 50);
  EXPECT_EQ(p.width, 2 * 1278 / 4 + 2);
  EXPECT_EQ(p.height, 20 + 2 + 23 + 3 * 955 / 8 + 3);
  EXPECT_EQ(p.left, 100);

  // All shown: wider than 3/4 and taller than 7/8 of the screen.
  for (auto& panel : g.panels) panel.visible = 1;
  p = fitMainWindow(kScreen, g.table, 100, 50);
  EXPECT_EQ(p.width, 1278 + 2);
  EXPECT_EQ(p.height, 20 + 2 + 23 + 955 + 3);
  EXPECT_EQ(p.left, 0);
  EXPECT_EQ(p.top, 0);

  // A hidden panel does not count; a null table entry is skipped.
  for (auto& panel : g.panels) panel.visible = 0;
  g.table[0] = nullptr;
  p = fitMainWindow(kScreen, g.table, 7, 8);
  EXPECT_EQ(p.width, 1280 / 5);
}
