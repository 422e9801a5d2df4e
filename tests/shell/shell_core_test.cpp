#include <gtest/gtest.h>

#include <cwchar>
#include <tuple>
#include <vector>

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
  const int32_t area[4] = {0, 30, 1280, 1024};  // a task bar along the top
  const struct {
    int32_t rect[4], want[4];
  } cases[] = {
      {{100, 100, 400, 300}, {100, 100, 400, 300}},        // held whole: as stored
      {{0, 1000, 321, 1296}, {0, 728, 321, 1024}},         // hanging off the bottom
      {{-32000, -32000, -31840, -31976}, {0, 30, 160, 54}},  // a minimised window's place
      {{1200, 0, 1600, 200}, {880, 30, 1280, 230}},
      {{500, 500, 2500, 2000}, {0, 30, 2000, 1530}},       // larger than the area: at its left and top edges
      {{0, 0, 0, 0}, {0, 30, 0, 30}},                      // no rectangle stored: the fit sizes it later
  };
  for (const auto& c : cases) {
    int32_t rect[4] = {c.rect[0], c.rect[1], c.rect[2], c.rect[3]};
    keepInsideWorkArea(rect, area);
    EXPECT_EQ(std::vector<int32_t>(rect, rect + 4), std::vector<int32_t>(c.want, c.want + 4)) << c.rect[0];
  }
}
