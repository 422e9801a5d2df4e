#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>

#include "acquisition/trace_log.h"
#include "controls/control_styler_win.h"
#include "panels/channel_panel_win.h"
#include "panels/channel_settings_dialog_win.h"
#include "panels/reading_font_win.h"
#include "recording/recorder_link.h"
#include "resources/resource.h"
#include "settings/meter_settings.h"
#include "settings/settings_file.h"
#include "win_test_support.h"

namespace {

constexpr int CHANNEL_A = 3;  // no limits stored, output 2, recorded
constexpr int CHANNEL_B = 5;  // limits -1 and 1 stored, no output

const char CONFIG_TEXT[] =
    "; panel test\r\n"
    "Interval03 = 100\r\n"
    "Interval05 = 100\r\n"
    "NPK03 = 2\r\n"
    "NPK05 = 0\r\n"
    "FlagRec03 = 1\r\n"
    "ACmode03 = 0\r\n"
    "MinMaxRef03 = 1e+10|1e+10|1e+10\r\n"
    "MinMaxRef05 = -1|1|1e+10\r\n";

class RecordingRecorder : public RecorderLink {
 public:
  bool isRecording() const override { return true; }
  void clearMarkerText() override {}
  void addMarker(float, int, int) override {}
  void appendRows(const float*, uint32_t) override {}
};

HWND parentWindow = nullptr;

// "low|high|ref" of the channel's MinMaxRefNN line as the file holds it.
std::string storedLimits(int channel) {
  char key[32];
  std::snprintf(key, sizeof key, "MinMaxRef%02d", channel);
  return valueOf(driver::readFile(L"skalenor.cfg"), key);
}

std::wstring controlText(ChannelPanel* panel, int id) { return driver::itemText(panel->window(), id); }

class PanelTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    EXPECT_TRUE(registerReadingFont());
    EXPECT_STREQ(readingFontFace(), L"DSEG7 Classic");  // nothing called SevenSeg32 here
    SetCurrentDirectoryW(driver::makeWorkFolder(L"panels").c_str());
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"PanelTestParent";
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    RegisterClassW(&wc);
    parentWindow = CreateWindowW(L"PanelTestParent", L"panels", WS_POPUP | WS_VISIBLE, 0, 0, 1280, 1000, nullptr,
                                 nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(parentWindow, nullptr);
  }

  static void TearDownTestSuite() { DestroyWindow(parentWindow); }

  void SetUp() override {
    ASSERT_TRUE(driver::writeFile(L"skalenor.cfg", CONFIG_TEXT));
    parseSettingsText(settings, CONFIG_TEXT, sizeof CONFIG_TEXT - 1);
    std::strcpy(settings.unitText[CHANNEL_A], "\xC2");                // "В"
    std::strcpy(settings.channelName[CHANNEL_A], "\xD2\xE5\xF1\xF2");  // "Тест"
    settings.loadedMarker = SETTINGS_LOADED_MARK;
    meterSettings = &settings;
    traceLogSetPath("Trace");
  }

  void TearDown() override {
    for (auto*& entry : panelTable) {
      delete static_cast<ChannelPanel*>(entry);
      entry = nullptr;
    }
    meterSettings = nullptr;
  }

  ChannelPanel* makePanel(int position, int channel) {
    ChannelPanel* panel = createPanel(GetModuleHandleW(nullptr), parentWindow);
    panelTable[position - 1] = panel;
    EXPECT_NE(panel->window(), nullptr);
    panel->placePanel(panelColumn(position), panelRow(position), channel);
    return panel;
  }

  // Hands the panel one value per engine tick and waits for its refresh.
  void feed(ChannelPanel* panel, std::initializer_list<float> values) {
    for (float v : values) {
      currentValues[panel->channel - 1] = v;
      SendMessageW(panel->window(), WM_USER, PANEL_SAMPLES, reinterpret_cast<LPARAM>(currentValues));
    }
    ASSERT_TRUE(pumpUntil([&] { return panel->sampleCount == 0; }));
  }

  void press(ChannelPanel* panel, int id) {
    SendMessageW(panel->window(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(panel->window(), id)));
  }

  COLORREF entryColour(ControlStyler& styler, ChannelPanel* panel, int id) {
    styleDialogMessage(panel->window(), WM_NULL, 0, 0);
    const int entry = styler.findEntry(id);
    return entry < styler.entryCount() ? styler.entryTextColour(entry) : CLR_INVALID;
  }

  MeterSettings settings;
  std::atomic<float> currentValues[32] = {};
};

TEST_F(PanelTest, ShowsTheMeanOfItsSamplesAfterItsIntervalAndBlinksWhileRecording) {
  ChannelPanel* panel = makePanel(2, CHANNEL_A);
  EXPECT_EQ(controlText(panel, IDC_PANEL_NUMBER), L"3");
  RECT r;
  GetWindowRect(panel->window(), &r);
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, panel->screenHeight / 8);

  feed(panel, {1.0f, 2.0f, 3.0f});
  EXPECT_FLOAT_EQ(panel->mean, 2.0f);
  EXPECT_EQ(controlText(panel, IDC_PANEL_VALUE), L"2.0000");
  EXPECT_EQ(controlText(panel, IDC_PANEL_UNIT), L"\u0412");
  EXPECT_EQ(controlText(panel, IDC_PANEL_NAME), L"\u0422\u0435\u0441\u0442");
  EXPECT_EQ(controlText(panel, IDC_PANEL_OUTPUT), L"02");
  // One trace line per placement.
  const std::string trace = driver::readFile(L"Trace");
  EXPECT_EQ(trace.substr(0, 1), ">");
  EXPECT_EQ(std::count(trace.begin(), trace.end(), '>'), 1);

  // While recording the indicator blinks.
  RecordingRecorder recorder;
  theRecorder = &recorder;
  COLORREF seen[3];
  for (COLORREF& colour : seen) {
    feed(panel, {1.0f});
    colour = entryColour(staticStyler, panel, IDC_PANEL_REC);
  }
  theRecorder = nullptr;
  EXPECT_NE(seen[0], seen[1]);
  EXPECT_EQ(seen[0], seen[2]);

  // The settings button names the panel's position to the dialog.
  toolsPanelIndex = -1;
  press(panel, IDC_PANEL_SETTINGS);
  EXPECT_EQ(toolsPanelIndex, 1);
}

TEST_F(PanelTest, LimitButtonsStoreReadingsRelativeToTheReference) {
  ChannelPanel* panel = makePanel(1, CHANNEL_A);
  feed(panel, {2.0f});
  press(panel, IDC_PANEL_MAX);
  feed(panel, {1.0f});
  press(panel, IDC_PANEL_MIN);
  EXPECT_EQ(storedLimits(CHANNEL_A), "1|2|1e+10");

  // The reference switches both limits off, in the record and in the file.
  feed(panel, {4.0f});
  SendDlgItemMessageW(panel->window(), IDC_PANEL_REF, BM_CLICK, 0, 0);
  pumpUntil([&] { return panel->refActive != 0; }, 1000);
  EXPECT_EQ(panel->refActive, 1);
  EXPECT_EQ(panel->minActive, 0);
  EXPECT_EQ(panel->maxActive, 0);
  EXPECT_EQ(storedLimits(CHANNEL_A), "1e+10|1e+10|4");
  EXPECT_GE(settings.minLimit[CHANNEL_A], LIMIT_UNSET);

  feed(panel, {5.0f});
  EXPECT_EQ(controlText(panel, IDC_PANEL_VALUE), L"1.0000");
  EXPECT_EQ(controlText(panel, IDC_PANEL_REF_FIELD), L"4.0000");
  EXPECT_EQ(controlText(panel, IDC_PANEL_ABS_FIELD), L"5.0000");
  EXPECT_EQ(panel->lastValueColour, RGB(255, 192, 0));
  press(panel, IDC_PANEL_MAX);
  feed(panel, {3.5f});
  press(panel, IDC_PANEL_MIN);
  EXPECT_EQ(storedLimits(CHANNEL_A), "-0.5|1|4");

  // Max pressed again switches the upper limit off.
  press(panel, IDC_PANEL_MAX);
  EXPECT_EQ(storedLimits(CHANNEL_A), "-0.5|1e+10|4");

  // "~" flips the channel's AC mode and saves it.
  press(panel, IDC_PANEL_AC);
  EXPECT_NE(driver::readFile(L"skalenor.cfg").find("ACmode03 = 1"), std::string::npos);
  press(panel, IDC_PANEL_AC);
  EXPECT_EQ(settings.ACmode[CHANNEL_A], 0);
}

TEST_F(PanelTest, ReadingBelowTheLowerLimitTurnsRedAndRaisesTheOutput) {
  settings.minLimit[CHANNEL_A] = 0.0f;
  settings.maxLimit[CHANNEL_A] = 10.0f;
  ChannelPanel* panel = makePanel(1, CHANNEL_A);
  feed(panel, {-1.0f});
  EXPECT_EQ(panel->lastValueColour, RGB(255, 0, 0));
  driver::pump(50);
  EXPECT_GT(Pixels(GetDlgItem(panel->window(), IDC_PANEL_VALUE)).count(RGB(255, 0, 0)), 0);
  feed(panel, {-1.0f});  // the bar's limits are those of the previous refresh
  EXPECT_EQ(panel->outOfRange, 1);
  EXPECT_EQ(controlText(panel, IDC_PANEL_OUTPUT), L"02");

  // No output assigned: red reading, but nothing raised.
  settings.NPK[CHANNEL_A] = 0;
  feed(panel, {-1.0f});
  EXPECT_EQ(panel->outOfRange, 0);
  EXPECT_EQ(controlText(panel, IDC_PANEL_OUTPUT), L"-");

  // A reading equal to a limit is in range.
  settings.NPK[CHANNEL_A] = 2;
  feed(panel, {0.0f});
  feed(panel, {0.0f});
  EXPECT_EQ(panel->outOfRange, 0);

  // With one limit only, never red and never raised.
  SendMessageW(panel->window(), WM_USER, panelCommandParam(PANEL_SET_MAX, 0), floatArgument(0.0f));
  EXPECT_EQ(panel->maxActive, 0);
  feed(panel, {-3.0f});
  feed(panel, {-3.0f});
  EXPECT_EQ(panel->outOfRange, 0);
  EXPECT_EQ(panel->bar->limitsShown, 0);

  // Both on again through the commands.
  SendMessageW(panel->window(), WM_USER, panelCommandParam(PANEL_SET_MAX, 1), floatArgument(10.0f));
  feed(panel, {-3.0f});
  feed(panel, {-3.0f});
  EXPECT_EQ(panel->outOfRange, 1);
}

TEST_F(PanelTest, HiddenPanelKeepsItsOutputAndPlacingAgainGivesAFreshBarAndItsLimits) {
  settings.minLimit[CHANNEL_A] = 0.0f;
  settings.maxLimit[CHANNEL_A] = 10.0f;
  ChannelPanel* panel = makePanel(1, CHANNEL_A);
  feed(panel, {20.0f});
  feed(panel, {20.0f});
  ASSERT_EQ(panel->outOfRange, 1);

  // Hidden, it collects nothing and its output stays raised.
  panel->hidePanel();
  EXPECT_FALSE(IsWindowVisible(panel->window()));
  for (int i = 0; i < 5; ++i)
    SendMessageW(panel->window(), WM_USER, PANEL_SAMPLES, reinterpret_cast<LPARAM>(currentValues));
  EXPECT_EQ(panel->sampleCount, 0);
  driver::pump(400);
  EXPECT_EQ(panel->outOfRange, 1);
  EXPECT_FLOAT_EQ(panel->mean, 20.0f);

  // Placed again: a fresh bar and the new channel's stored limits.
  panel->placePanel(1, 2, CHANNEL_B);
  EXPECT_FLOAT_EQ(panel->bar->seenMax, -1.0e9f);
  EXPECT_EQ(panel->bar->lastMarker, BarRect{});
  EXPECT_EQ(controlText(panel, IDC_PANEL_NUMBER), L"5");
  feed(panel, {0.5f});
  EXPECT_EQ(controlText(panel, IDC_PANEL_VALUE), L".50000");
  EXPECT_EQ(controlText(panel, IDC_PANEL_MIN_FIELD), L"-1.0000");
  EXPECT_EQ(controlText(panel, IDC_PANEL_MAX_FIELD), L"1.0000");
  EXPECT_EQ(controlText(panel, IDC_PANEL_OUTPUT), L"-");
  // Neither channel lost its stored limits.
  EXPECT_EQ(storedLimits(CHANNEL_A), "0|10|1e+10");
  EXPECT_EQ(storedLimits(CHANNEL_B), "-1|1|1e+10");

  // The bar survives a repaint of the panel: red zone at the bottom, green zone in the middle.
  const BarRect area = panel->bar->barArea;
  RedrawWindow(panel->window(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  driver::pump(50);
  const Pixels screen(panel->window());
  EXPECT_EQ(screen.at(area.left + 1, area.bottom - 2), RGB(255, 0, 0));
  EXPECT_EQ(screen.at(area.left + 1, (area.top + area.bottom) / 2 + 4), RGB(64, 128, 64));
}

TEST_F(PanelTest, FullSampleBufferKeepsTheNewestSamples) {
  ChannelPanel* panel = makePanel(1, CHANNEL_A);
  currentValues[CHANNEL_A - 1] = 100.0f;
  for (int i = 0; i < 100; ++i)
    SendMessageW(panel->window(), WM_USER, PANEL_SAMPLES, reinterpret_cast<LPARAM>(currentValues));
  currentValues[CHANNEL_A - 1] = 1.0f;
  for (int i = 0; i < PANEL_SAMPLE_CAPACITY; ++i)
    SendMessageW(panel->window(), WM_USER, PANEL_SAMPLES, reinterpret_cast<LPARAM>(currentValues));
  EXPECT_EQ(panel->sampleCount, PANEL_SAMPLE_CAPACITY);
  ASSERT_TRUE(pumpUntil([&] { return panel->sampleCount == 0; }));
  EXPECT_FLOAT_EQ(panel->mean, 1.0f);
}

}  // namespace
