// The whole program on the simulated board, worked as a user would: menu
// commands and dialog controls sent from this second process, effects read
// back from the screen, the configuration file and the recording files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <tuple>

#include <winsock2.h>

#include "eventlog/event_log.h"
#include "recording/channels_dialog_win.h"
#include "resource.h"
#include "version.h"
#include "win_driver.h"
#include <winspool.h>  // after windows.h
#include <commctrl.h>
#include "workflow_support.h"

namespace {

const wchar_t kChannelsCaption[] = L"Отображение и запись каналов";

// The panel showing channel n (its number field).
HWND panelOf(HWND main, int n) {
  for (HWND w = GetWindow(main, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) {
    BOOL ok = FALSE;
    if (IsWindowVisible(w) && GetDlgItemInt(w, IDC_PANEL_NUMBER, &ok, FALSE) == static_cast<UINT>(n) && ok) return w;
  }
  return nullptr;
}

// The pixels the screen shows of a child of the main window, read through the main window (a child cannot be
// read across processes).
std::vector<uint32_t> shownPixels(HWND main, HWND child) {
  RECT r;
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&r), 2);
  const driver::Picture shot = driver::capture(main);
  std::vector<uint32_t> pixels;
  for (int y = std::max(0L, r.top); y < std::min<long>(r.bottom, shot.height); ++y)
    for (int x = std::max(0L, r.left); x < std::min<long>(r.right, shot.width); ++x) pixels.push_back(shot.at(x, y));
  return pixels;
}

// The text of the process's error box, which is then closed with OK.
// A second notice may open over the first: its text can come a moment after the box shows.
std::wstring answerNotice(DWORD pid) {
  HWND box = driver::findWindow(pid, L"#32770", L"Ошибка", 30000);
  if (!box) return L"(no notice)";
  std::wstring text;
  for (int i = 0; i < 40 && (text = driver::itemText(box, 0xFFFF)).empty(); ++i) driver::pump(50);  // its text
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  driver::pump(200);  // gone before the next look
  return text;
}

class Workflow : public ::testing::Test {
 protected:
  std::wstring dir;
  driver::Program program;
  HWND main = nullptr;
  const char* exe = "SKALENOR_EXE";  // SKALENOR_GUARDED_EXE: uses of deleted objects fault

  void startIn(const wchar_t* name, const std::string& config,
               const std::string& sim = workflow::simulatorConfiguration()) {
    startAt(driver::makeWorkFolder(name), config, sim);
  }
  void startAt(const std::wstring& folder, const std::string& config, const std::string& sim) {
    dir = folder;
    ASSERT_TRUE(writeFile(dir + L"\\skalenor.cfg", config));
    ASSERT_TRUE(writeFile(dir + L"\\kvsim.cfg", sim));
    ASSERT_TRUE(driver::start(program, dir, exe));
    main = find(L"SKALENOR", nullptr, 30000);
    // Start-up is over once the title names the board.
    for (int i = 0; i < 400 && driver::text(main).find(L"Hz") == std::wstring::npos; ++i) driver::pump(25);
  }
  void TearDown() override {
    if (program.running()) {
      PostMessageW(main, WM_CLOSE, 0, 0);
      program.waitExit(20000);
    }
  }
  std::string config() { return readFile(dir + L"\\skalenor.cfg"); }
  // Each key's value in the configuration file as it is now.
  void expectConfig(const std::vector<std::pair<std::string, std::string>>& values) {
    const std::string cfg = config();
    for (const auto& [k, v] : values) EXPECT_EQ(valueOf(cfg, k), v) << k;
  }

  // A window of the program; one that does not show ends the test.
  HWND find(const wchar_t* className, const wchar_t* caption, DWORD timeoutMs = 10000) {
    HWND w = driver::findWindow(program.pi.dwProcessId, className, caption, timeoutMs);
    if (!w) {
      ADD_FAILURE() << "no window " << (caption ? caption : className);
      throw std::runtime_error("a window did not show");
    }
    return w;
  }
  // A menu command (or a posted button click) and the dialog it opens.
  HWND command(HWND window, int id, const wchar_t* caption, const wchar_t* className = L"#32770") {
    PostMessageW(window, WM_COMMAND, id, 0);
    return find(className, caption);
  }
  HWND openChannels() { return command(main, IDM_CHANNELS, kChannelsCaption); }
  // Whether the window has closed half a second later.
  static bool gone(HWND window) {
    driver::pump(500);
    return !IsWindow(window);
  }
  static void click(HWND dialog, int id) { SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
  static void choose(HWND dialog, int id, int item) {
    HWND box = GetDlgItem(dialog, id);
    SendMessageW(box, CB_SETCURSEL, item, 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(box));
  }
  static int chosen(HWND dialog, int id) {
    return static_cast<int>(SendMessageW(GetDlgItem(dialog, id), CB_GETCURSEL, 0, 0));
  }
  std::wstring findFile(const wchar_t* pattern) { return driver::newestFile(dir + L"\\Data", pattern); }
};

}  // namespace

TEST_F(Workflow, ShowAllRecordAllThenRecordAndStop) {
  startIn(L"record", workflow::configuration(4));
  HWND dialog = openChannels();
  EXPECT_EQ(chosen(dialog, selectorId(5)), 0);  // "Нет"

  driver::pump(1500);  // past the hidden panels' first refresh: their timers rest
  click(dialog, IDC_SHOW_ALL);
  for (int p = 1; p <= 32; ++p) EXPECT_EQ(chosen(dialog, selectorId(p)), p);
  EXPECT_EQ(driver::itemText(dialog, selectorId(32)), L"32");
  expectConfig({{"32Channel", "32"}, {"17Channel", "17"}});

  click(dialog, IDC_RECORD_ALL);
  const std::string cfg = config();
  for (int n : {1, 9, 32}) {
    EXPECT_EQ(valueOf(cfg, (n < 10 ? "FlagRec0" : "FlagRec") + std::to_string(n)), "1") << n;
    EXPECT_EQ(IsDlgButtonChecked(dialog, recordBoxId(n)), BST_CHECKED);
  }

  // 32 ms: two 16 ms frames of the KV320 at 1000 Hz per row.
  SetDlgItemTextW(dialog, IDC_INTERVAL, L"32");
  const DWORD started = GetTickCount();
  click(dialog, IDC_RECORD_STOP);
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_SHOW_ALL)));  // frozen while recording
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, selectorId(3))));
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_WIDTH16)));
  EXPECT_EQ(valueOf(config(), "Ftime"), "32");
  const char* length = std::getenv("SKALENOR_RECORD_SECONDS");  // 3 s unless set
  // Meanwhile a recording panel's "R" blinks: both of its colours reach the screen (the last panel: the
  // channels dialog covers the first).
  bool dark = false, light = false;
  HWND indicator = GetDlgItem(panelOf(main, 32), IDC_PANEL_REC);
  for (int ms = (length && std::atoi(length) > 0 ? std::atoi(length) : 3) * 1000; ms > 0; ms -= 100) {
    driver::pump(100);
    for (uint32_t px : shownPixels(main, indicator)) {
      dark = dark || px == 0xA00000;
      light = light || px == 0xC0C0C0;
    }
  }
  EXPECT_TRUE(dark && light) << dark << light;
  click(dialog, IDC_RECORD_STOP);
  const double seconds = (GetTickCount() - started) / 1000.0;
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_SHOW_ALL)));
  // A panel placed after it had been hidden refreshes again.
  EXPECT_NE(driver::itemText(panelOf(main, 32), IDC_PANEL_VALUE), L"*");

  const workflow::Rows rec = workflow::readSampleFile(readFile(findFile(L"*.qmr")));
  ASSERT_EQ(rec.channels.size(), 32u);
  EXPECT_DOUBLE_EQ(rec.rowsPerSecond, 1000.0 / 32);
  for (int c = 0; c < 32; ++c) EXPECT_EQ(rec.channels[c].number, c + 1);
  for (size_t r = 0; r < rec.rowCount; ++r)
    for (int c = 0; c < 31; ++c) {
      if (c + 1 == workflow::SWITCHING_CHANNEL) continue;
      ASSERT_EQ(rec.values[r * 32 + c], workflow::dcVolts(c + 1)) << r << "," << c;
    }

  // No row lost: the ramp on channel 32 climbs by exactly one interval per row
  // (the first row also takes the frame at time 0, so its centre lies earlier).
  const double step = 0.032 * workflow::RAMP_SLOPE;
  ASSERT_GT(rec.rowCount, 2u);
  for (size_t r = 2; r < rec.rowCount; ++r) {
    const double d = rec.values[r * 32 + 31] - rec.values[(r - 1) * 32 + 31];
    ASSERT_NEAR(d, step, step * 0.01) << "row " << r;
  }
  // The rows span the signal time recorded, within one block (160 ms).
  const double span = (rec.values[(rec.rowCount - 1) * 32 + 31] - rec.values[31]) / workflow::RAMP_SLOPE;
  EXPECT_NEAR((rec.rowCount - 1) * 0.032, span, 0.160);
  // ... and that time is the time between the two clicks, give or take the
  // blocks the board had buffered before the program's ticks began (at most 16).
  EXPECT_NEAR(rec.rowCount * 0.032, seconds, 16 * 0.160 + 0.5) << rec.rowCount << " rows in " << seconds << " s";
  std::printf("recorded %zu rows of 32 channels in %.3f s (%.3f s of rows)\n", rec.rowCount, seconds,
              rec.rowCount * 0.032);

  const std::wstring description = findFile(L"*.sreccfg");
  ASSERT_FALSE(description.empty());
  const std::string text = readFile(description);
  EXPECT_EQ(text.substr(text.size() - 19), "    }\r\n  }\r\n }\r\n}\r\n");
  EXPECT_NE(text.find("ID = 32\r\nName = \"ch32\""), std::string::npos);
  // The switching channel's output went on and off while recording: both markers.
  EXPECT_NE(text.find("TypeIndex = 1\r\n         TimePos = "), std::string::npos);
  EXPECT_NE(text.find("TypeIndex = 0\r\n         TimePos = "), std::string::npos);
  EXPECT_NE(text.find("Description = \"K3\""), std::string::npos);

  // "Просмотр записей..." starts the viewer on the Data folder: the recording is chosen there by its name alone.
  PostMessageW(main, WM_COMMAND, IDM_VIEW_RECORDINGS, 0);
  HWND open = driver::findWindow(0, L"#32770", L"Открытие записи", 20000);
  ASSERT_NE(open, nullptr);
  const std::wstring qmr = findFile(L"*.qmr"), name = qmr.substr(qmr.find_last_of(L'\\') + 1);
  SendMessageW(GetDlgItem(open, 0x47c), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
  PostMessageW(open, WM_COMMAND, IDOK, 0);
  HWND view = driver::findWindow(0, L"SKALENORVIEW", (name + L" - Просмотр записей").c_str(), 20000);
  ASSERT_NE(view, nullptr);
  HWND list = GetDlgItem(view, IDC_VIEW_CHANNELS);
  EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 32);
  EXPECT_EQ(driver::listText(list, 31, 1), L"ch32");
  std::wstring rows = driver::statusText(GetDlgItem(view, IDC_VIEW_STATUS), 0);
  rows = rows.substr(0, rows.find(L" ·"));
  std::erase(rows, L' ');
  EXPECT_EQ(rows, L"Строк:" + std::to_wstring(rec.rowCount));
  DWORD viewerPid = 0;
  GetWindowThreadProcessId(view, &viewerPid);
  driver::Program viewer;
  viewer.pi.hProcess = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, viewerPid);
  PostMessageW(view, WM_CLOSE, 0, 0);
  EXPECT_EQ(viewer.waitExit(10000), 0);
}

// KV310 rates whose 160 ms block is cut to whole frames: each block counts
// the signal time it holds, so rows keep their interval in signal time and
// come at the header's rate in wall time. An interval typed below the frame
// time is raised to it (rounded up), shown so, and the header tells it.
TEST_F(Workflow, CutBlocksKeepTheirSignalTime) {
  struct Case {
    const char* rate;
    int ftime;
    const wchar_t* typed;  // into the dialog before recording
    int interval;          // the one used
    double frameSeconds;   // at 3000 Hz plus two counts of the ramp (10 V / 32768 each)
  };
  for (const Case& c : {Case{"500", 128, nullptr, 128, 0.064}, Case{"210", 200, nullptr, 200, 32 / 210.0},
                        Case{"3000", 200, L"10", 11, 32 / 3000.0 + 2 * 10.0 / 32768 / workflow::RAMP_SLOPE}}) {
    SCOPED_TRACE(c.rate);
    startIn((L"cut-" + std::wstring(c.rate, c.rate + std::strlen(c.rate))).c_str(),
            workflow::configuration(32, {{"FreqStream = 1000", std::string("FreqStream = ") + c.rate},
                                         {"Ftime = 100", "Ftime = " + std::to_string(c.ftime)},
                                         {"FlagRec32 = 0", "FlagRec32 = 1"}}),
            workflow::simulatorConfiguration("KV310"));
    HWND dialog = openChannels();
    if (c.typed) SetDlgItemTextW(dialog, IDC_INTERVAL, c.typed);
    click(dialog, IDC_RECORD_STOP);
    EXPECT_EQ(driver::itemText(dialog, IDC_INTERVAL), std::to_wstring(c.interval));
    // Rows per second of wall time from the file's growth, once the blocks the
    // board buffered during start-up have been read.
    driver::pump(7000);
    const std::wstring qmr = findFile(L"*.qmr");
    const double size1 = driver::fileSize(qmr);
    const DWORD t1 = GetTickCount();
    driver::pump(5000);
    const double rowsPerSecond = (driver::fileSize(qmr) - size1) / 4 / ((GetTickCount() - t1) / 1000.0);
    click(dialog, IDC_RECORD_STOP);
    const workflow::Rows rec = workflow::readSampleFile(readFile(qmr));
    ASSERT_EQ(rec.channels.size(), 1u);
    const double interval = c.interval / 1000.0;
    EXPECT_DOUBLE_EQ(rec.rowsPerSecond, 1 / interval);
    ASSERT_GT(rec.rowCount, 10u);
    // A row is the mean of whole frames: one interval after the last, within a frame.
    for (size_t r = 2; r < rec.rowCount; ++r)
      ASSERT_NEAR((rec.values[r] - rec.values[r - 1]) / workflow::RAMP_SLOPE, interval, c.frameSeconds) << r;
    const double span = (rec.values[rec.rowCount - 1] - rec.values[1]) / workflow::RAMP_SLOPE;
    EXPECT_NEAR(span, (rec.rowCount - 2) * interval, 1.5 * c.frameSeconds);
    EXPECT_NEAR(rowsPerSecond * interval, 1.0, 0.12) << rowsPerSecond << " rows per second";
    std::printf("KV310 %s Hz: %zu rows, %.3f rows/s (header %.3f), %.3f s of signal over %zu intervals\n", c.rate,
                rec.rowCount, rowsPerSecond, rec.rowsPerSecond, span, rec.rowCount - 2);
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.waitExit(20000), 0);
  }
}

// The configuration lacks nDO and places the window far right of the screen.
TEST_F(Workflow, ChannelChoicesFlagsAndSwitchesReachTheConfiguration) {
  startIn(L"choices", workflow::configuration(8, {{"FlagRec05 = 0", "FlagRec05 = 1"},
                                                  {"nDO = 8\r\n", ""},
                                                  {"rWnd = 0,0,0,0", "rWnd = 5000,40,5300,240"}}));
  HWND dialog = openChannels();

  // A second "Каналы..." leaves only the first dialog.
  PostMessageW(main, WM_COMMAND, IDM_CHANNELS, 0);
  driver::pump(500);
  EXPECT_EQ(find(L"#32770", kChannelsCaption, 0), dialog);
  EXPECT_TRUE(IsWindow(dialog));

  // Channel 5 chosen for position 1 leaves position 5 empty; its flag stays.
  choose(dialog, selectorId(1), 5);
  EXPECT_EQ(chosen(dialog, selectorId(5)), 0);
  EXPECT_EQ(chosen(dialog, selectorId(1)), 5);
  EXPECT_EQ(IsDlgButtonChecked(dialog, recordBoxId(1)), BST_CHECKED);
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, recordBoxId(5))));
  expectConfig({{"1Channel", "5"}, {"5Channel", "0"}, {"FlagRec05", "1"}});

  // A record box sets its channel's flag; "Не записывать ни одного" clears them.
  click(dialog, recordBoxId(2));
  EXPECT_EQ(valueOf(config(), "FlagRec02"), "1");
  click(dialog, IDC_RECORD_NONE);
  expectConfig({{"FlagRec02", "0"}, {"FlagRec05", "0"}});

  // Width, time base and marking: in the file at the next refresh or on close.
  click(dialog, IDC_WIDTH16);
  choose(dialog, IDC_TIME_BASE, 1);
  click(dialog, IDC_MARK_SWITCHINGS);  // was on
  click(dialog, recordBoxId(3));
  expectConfig({{"nDO", "16"}, {"TimeType", "1"}, {"CheckLabel", "0"}});

  // Enter in the interval field takes what was typed (the stored interval must not
  // come back over it), clamped to the longest interval, an hour.
  SetDlgItemTextW(dialog, IDC_INTERVAL, L"4294967297");
  PostMessageW(GetDlgItem(dialog, IDC_INTERVAL), WM_KEYDOWN, VK_RETURN, 0);  // through the program's loop
  driver::pump(300);
  EXPECT_EQ(valueOf(config(), "Ftime") + " " + std::to_string(GetDlgItemInt(dialog, IDC_INTERVAL, nullptr, FALSE)),
            "3600000 3600000");

  // A recording that cannot start says why: here "Data" is a file, not a folder. The event log cannot write
  // that notice either, and says so once (its box may come over the first).
  ASSERT_TRUE(writeFile(dir + L"\\Data", ""));
  PostMessageW(GetDlgItem(dialog, IDC_RECORD_STOP), BM_CLICK, 0, 0);
  std::wstring why = answerNotice(program.pi.dwProcessId), log = answerNotice(program.pi.dwProcessId);
  if (why.starts_with(L"Журнал")) std::swap(why, log);
  EXPECT_EQ(why.rfind(L"Запись не начата.\n", 0), 0u) << why;
  EXPECT_NE(why.find(L": " + dir + L"\\Data\\"), std::wstring::npos) << why;  // the system's words, then the file
  EXPECT_TRUE(why.ends_with(L".qmr")) << why;
  EXPECT_EQ(log.rfind(L"Журнал событий не записан.\n", 0), 0u) << log;
  EXPECT_NE(log.find(dir + L"\\Data\\events-"), std::wstring::npos) << log;
  DeleteFileW((dir + L"\\Data").c_str());

  // "Спрятать все" hides every position and clears every record flag.
  click(dialog, IDC_HIDE_ALL);
  const std::string cfg = config();
  for (int n = 1; n <= 32; ++n) {
    EXPECT_EQ(valueOf(cfg, std::to_string(n) + "Channel"), "0") << n;
    EXPECT_EQ(valueOf(cfg, (n < 10 ? "FlagRec0" : "FlagRec") + std::to_string(n)), "0") << n;
  }

  // Recording with nothing chosen: the notice, and the program goes on.
  PostMessageW(GetDlgItem(dialog, IDC_RECORD_STOP), BM_CLICK, 0, 0);
  EXPECT_EQ(answerNotice(program.pi.dwProcessId), L"Не выбраны каналы для записи");
  driver::pump(500);
  EXPECT_TRUE(program.running());
  EXPECT_TRUE(findFile(L"*.qmr").empty());

  // Esc closes the dialog, which writes the settings with the window's place;
  // the window is at its minimum, and was brought onto the screen at start.
  PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  EXPECT_TRUE(gone(dialog));
  RECT r;
  GetWindowRect(main, &r);
  EXPECT_EQ(r.right - r.left, GetSystemMetrics(SM_CXFULLSCREEN) / 5);
  EXPECT_TRUE(r.left >= 0 && r.right <= GetSystemMetrics(SM_CXSCREEN)) << r.left;
  EXPECT_EQ(valueOf(config(), "rWnd"), std::to_string(r.left) + "," + std::to_string(r.top) + "," +
                                           std::to_string(r.right) + "," + std::to_string(r.bottom));
}

namespace {
void clickAt(HWND control) {  // a mouse click: the control gets the focus as from a user
  PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  PostMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
  driver::pump(150);
}
void keys(HWND dialog, const char* typed) {
  for (const char* k = typed; *k; ++k) {
    const int id = *k == '<' ? IDC_TOOLS_BACKSPACE : *k == '.' ? IDC_TOOLS_POINT : *k == '-' ? IDC_TOOLS_MINUS
                                                                                           : IDC_TOOLS_KEY0 + (*k - '0');
    SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
  }
}
}  // namespace

TEST_F(Workflow, ChannelSettingsFromThePanel) {
  // Channel 2 refreshes so seldom that no refresh puts the bar back.
  startIn(L"tools", workflow::configuration(32, {{"MinMaxRef02 = 1e+10", "MinMaxRef02 = 0|5"},
                                                 {"Interval02 = 500", "Interval02 = 3000"}}));
  HWND panel = panelOf(main, 1), square = panelOf(main, workflow::SWITCHING_CHANNEL);
  ASSERT_NE(panel, nullptr);
  PostMessageW(GetDlgItem(panel, IDC_PANEL_SETTINGS), BM_CLICK, 0, 0);
  HWND dialog = find(L"#32770", L"Настройка канала 1");
  EXPECT_EQ(driver::itemText(dialog, IDC_TOOLS_K), L"1");
  EXPECT_EQ(driver::itemText(dialog, IDC_TOOLS_GAIN2), L"10");  // the simulator's gains
  // A limit field that is off looks off: greyed like every disabled control.
  POINT ref{2, 2};
  MapWindowPoints(GetDlgItem(dialog, IDC_TOOLS_REF_FIELD), dialog, &ref, 1);
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  EXPECT_EQ(driver::capture(dialog).at(ref.x, ref.y), (face & 0xFF) << 16 | (face & 0xFF00) | (face >> 16 & 0xFF));

  // Panels keep refreshing under the modal dialog.
  const std::wstring before = driver::itemText(square, IDC_PANEL_VALUE);
  driver::pump(1300);
  EXPECT_NE(driver::itemText(square, IDC_PANEL_VALUE), before);

  keys(dialog, "12");  // no active field: nothing
  click(dialog, IDC_TOOLS_MAX);
  keys(dialog, "123456789");
  EXPECT_EQ(driver::itemText(dialog, IDC_TOOLS_MAX_FIELD), L"12345678");
  keys(dialog, "<<<<<<<0");
  click(dialog, IDC_TOOLS_MIN);
  keys(dialog, "-5");
  clickAt(GetDlgItem(dialog, IDC_TOOLS_K));
  keys(dialog, "<<.5");
  clickAt(GetDlgItem(dialog, IDC_TOOLS_INTERVAL));
  keys(dialog, "<<<50");
  EXPECT_EQ(driver::itemText(dialog, IDC_TOOLS_INTERVAL), L"50");
  SendDlgItemMessageW(dialog, IDC_TOOLS_B, CB_SETCURSEL, 6, 0);
  SetDlgItemTextW(dialog, IDC_TOOLS_NAME, L" Нап ряжение");  // the file ends a name at a blank
  SetDlgItemTextW(dialog, IDC_TOOLS_UNIT, L"милливольт");
  // "OK" refuses what the file cannot keep, a "|" in the unit, a limit that is on
  // without a number: a notice, the dialog stays, nothing is applied.
  const std::string unapplied = config();
  const std::tuple<int, const wchar_t*, const wchar_t*> refusals[] = {
      {IDC_TOOLS_UNIT, L"мВ|с", L"Символ «|» в единице измерения недопустим."},
      {IDC_TOOLS_MIN_FIELD, L"", L"В поле «Min» должно быть число меньше 1e+10."}};
  for (const auto& [id, typed, notice] : refusals) {
    const std::wstring before = driver::itemText(dialog, id);
    SetDlgItemTextW(dialog, id, typed);
    PostMessageW(GetDlgItem(dialog, IDC_TOOLS_OK), BM_CLICK, 0, 0);
    EXPECT_EQ(answerNotice(program.pi.dwProcessId), notice);
    EXPECT_FALSE(gone(dialog));
    SetDlgItemTextW(dialog, id, before.c_str());
  }
  EXPECT_EQ(config(), unapplied);
  click(dialog, IDC_TOOLS_OK);
  EXPECT_TRUE(gone(dialog));
  const std::string cfg = config();
  expectConfig({{"K1B", "0.5|K07|\xEC\xE8\xEB\xEB\xE8\xE2|\xCD\xE0\xEF_\xF0\xFF"},
                {"Interval01", "200"},
                {"MinMaxRef01", "-5|10|1e+10"}});
  EXPECT_EQ(driver::itemText(panel, IDC_PANEL_NAME), L"Нап_ря");
  EXPECT_EQ(driver::itemText(panel, IDC_PANEL_UNIT), L"миллив");
  std::wstring max = driver::itemText(panel, IDC_PANEL_MAX_FIELD);
  EXPECT_EQ(max.substr(max.find_first_not_of(L' ')), L"10");

  // The close box applies nothing.
  PostMessageW(GetDlgItem(panel, IDC_PANEL_SETTINGS), BM_CLICK, 0, 0);
  dialog = find(L"#32770", L"Настройка канала 1");
  EXPECT_EQ(driver::itemText(dialog, IDC_TOOLS_B), L"K07");
  click(dialog, IDC_TOOLS_MAX);
  SetDlgItemTextW(dialog, IDC_TOOLS_NAME, L"другое");
  PostMessageW(dialog, WM_CLOSE, 0, 0);
  EXPECT_TRUE(gone(dialog));
  EXPECT_EQ(config(), cfg);

  // "~" switches AC on, and off again.
  click(panel, IDC_PANEL_AC);
  EXPECT_EQ(valueOf(config(), "ACmode01"), "1");
  click(panel, IDC_PANEL_AC);
  EXPECT_EQ(valueOf(config(), "ACmode01"), "0");

  // Placed on channel 2, the panel shows that channel's lower limit, and its
  // bar (in-range zone) survives a repaint of the panel between two refreshes.
  dialog = openChannels();
  choose(dialog, selectorId(1), 2);
  PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  driver::pump(3600);
  EXPECT_EQ(driver::itemText(panel, IDC_PANEL_MIN_FIELD), L".0");
  RedrawWindow(main, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  driver::pump(500);
  int green = 0;
  for (uint32_t px : shownPixels(main, panel)) green += px == 0x408040u;
  EXPECT_GT(green, 0);
}

// A panel hidden while it held samples, and shown again after its channel's K
// changed, reads only what came after: K x the input, not a mix with the old K.
TEST_F(Workflow, PanelShownAgainReadsFreshSamples) {
  startIn(L"reshown", workflow::configuration(2, {{"Interval01 = 500", "Interval01 = 3000"}}));
  HWND first = panelOf(main, 1);
  driver::pump(1500);  // samples of channel 1 at K = 1
  HWND dialog = openChannels();
  choose(dialog, selectorId(2), 1);  // position 1 hides; its refresh timer then rests
  driver::pump(3500);
  PostMessageW(GetDlgItem(panelOf(main, 1), IDC_PANEL_SETTINGS), BM_CLICK, 0, 0);
  HWND tools = find(L"#32770", L"Настройка канала 1");
  SetDlgItemTextW(tools, IDC_TOOLS_K, L"100");
  click(tools, IDC_TOOLS_OK);
  ASSERT_TRUE(gone(tools));
  const std::wstring before = driver::itemText(first, IDC_PANEL_VALUE);
  choose(dialog, selectorId(1), 1);
  std::wstring shown = before;
  for (int i = 0; i < 50 && shown == before; ++i) {
    driver::pump(100);
    shown = driver::itemText(first, IDC_PANEL_VALUE);
  }
  EXPECT_NEAR(std::wcstod(shown.c_str(), nullptr), 100 * workflow::dcVolts(1), 0.01) << shown;
}

namespace {

constexpr uint32_t RED = 0xFF0000, GREEN = 0x00FF00, GRID = 0xE0E0E0;

// Top and bottom row of the curves: the first and the last heavy (doubled)
// grid line in a column free of vertical grid lines and traces.
struct Band {
  int top = -1, bottom = -1;
  int rowOf(double v) const { return bottom - static_cast<int>((v + 10) * (bottom - top) / 20); }  // range -10..10
};
Band curveBand(const driver::Picture& p) {
  Band b;
  for (int x = p.width - 60; x > p.width / 2; --x) {
    int grid = 0;
    for (int y = 0; y < p.height; ++y) grid += p.at(x, y) == GRID;
    if (grid > p.height / 2) continue;  // a vertical line
    for (int y = 0; y + 1 < p.height; ++y) {
      if (p.at(x, y) != GRID || p.at(x, y + 1) != GRID) continue;
      if (b.top < 0) b.top = y;
      b.bottom = y++;
    }
    return b;
  }
  return b;
}

// Columns in which the colour shows within one row of y.
int columnsAt(const driver::Picture& p, uint32_t colour, int y) {
  int n = 0;
  for (int x = 0; x < p.width; ++x) {
    bool seen = false;
    for (int row = std::max(0, y - 1); row <= std::min(y + 1, p.height - 1); ++row) seen |= p.at(x, row) == colour;
    n += seen;
  }
  return n;
}

}  // namespace

// About box; graph windows from "График" to a restart that brings them back.
// The program guards deleted objects: the graph closes under its colour dialog.
TEST_F(Workflow, AboutGraphsAndRestart) {
  exe = "SKALENOR_GUARDED_EXE";
  // Graph 1: channel 8 (-2 V) in red on trace 1, channel 24 (+2 V) in green on trace 2.
  startIn(L"graphs", workflow::configuration(2, {{"chPlot = 0,0", "chPlot = 8,24"}, {"lrScale = 0", "lrScale = 1"}}));
  HWND about = command(main, IDM_ABOUT, L"О программе");
  EXPECT_EQ(driver::itemText(about, IDC_ABOUT_VERSION), L"Версия " SKALENOR_VERSION_WSTRING);
  PostMessageW(about, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(gone(about));

  // "График" fills the four slots in order, each window titled with its slot's
  // name; a fifth opens nothing. Closing frees a slot and forgets it.
  HWND graphs[4] = {};
  for (int i = 0; i < 5; ++i) PostMessageW(main, WM_COMMAND, IDM_GRAPH, 0);
  for (int g = 0; g < 4; ++g) graphs[g] = find(L"#32770", (L"Тренд " + std::to_wstring(g + 1)).c_str());
  driver::pump(500);
  EXPECT_EQ(driver::windows(program.pi.dwProcessId, L"#32770", nullptr).size(), 4u);
  for (int g = 3; g >= 1; --g) PostMessageW(graphs[g], WM_CLOSE, 0, 0);
  driver::pump(1000);
  expectConfig({{"plotName2", "'\xC3\xF0\xE0\xF4\xE8\xEA 1'"}, {"colPlot2", "0,0,0,0,0,0,0,0"}});  // "График 1"
  const std::string rects = valueOf(config(), "rPlot");
  EXPECT_EQ(rects.substr(rects.find(", ")), ", 0,0,0,0, 0,0,0,0, 0,0,0,0");

  // DC inputs: each trace at its value's height, in its colour.
  HWND graph = graphs[0];
  MoveWindow(graph, 360, 60, 700, 420, TRUE);  // clear of the main window: read back whole
  driver::pump(4500);  // four points at one per second
  driver::Picture shot = driver::capture(graph);
  const Band band = curveBand(shot);
  ASSERT_GT(band.bottom - band.top, 200);
  EXPECT_GE(columnsAt(shot, RED, band.rowOf(-2.0)), 4);
  EXPECT_GE(columnsAt(shot, GREEN, band.rowOf(2.0)), 4);
  EXPECT_LT(columnsAt(shot, GREEN, band.rowOf(-2.0)), 2);

  // A drag around the green trace zooms x5 about it; the scroll bar follows.
  HWND bar = GetDlgItem(graph, IDC_GRAPH_VSCROLL);
  const int y = band.rowOf(2.0);
  PostMessageW(graph, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, y - 20));
  PostMessageW(graph, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(300, y + 20));
  PostMessageW(graph, WM_LBUTTONUP, 0, MAKELPARAM(300, y + 20));
  driver::pump(700);
  EXPECT_EQ(GetScrollPos(bar, SB_CTL), 6);  // x5: 17 positions, view centred at 600 of 1000
  shot = driver::capture(graph);
  const int zoomedRow = band.bottom - (band.bottom - band.top) / 2;  // +2 V now sits mid-band
  EXPECT_GE(columnsAt(shot, GREEN, zoomedRow), 4);

  // Another time scale empties the plot and restarts it, keeping the zoom.
  choose(graph, IDC_GRAPH_SCALE, 1);
  driver::pump(300);
  expectConfig({{"scPlot", "1,0,0,0"}, {"scaleY1", "2,600"}});
  EXPECT_EQ(GetScrollPos(bar, SB_CTL), 6);
  shot = driver::capture(graph);
  EXPECT_LT(columnsAt(shot, GREEN, zoomedRow), 2);

  // A right click in the curves undoes the zoom (and opens the menu).
  PostMessageW(graph, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(200, y));
  driver::pump(500);
  PostMessageW(graph, WM_KEYDOWN, VK_ESCAPE, 0);
  PostMessageW(graph, WM_RBUTTONUP, 0, MAKELPARAM(200, y));
  driver::pump(500);
  EXPECT_EQ(GetScrollPos(bar, SB_CTL), 0);

  // Rename.
  HWND rename = command(graph, CMD_RENAME_GRAPH, L"Введите название графика");
  EXPECT_EQ(driver::itemText(rename, IDC_PLOT_NAME), L"Тренд 1");
  SendDlgItemMessageW(rename, IDC_PLOT_NAME, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"Стенд 7"));
  PostMessageW(rename, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(gone(rename));
  EXPECT_EQ(driver::text(graph), L"Стенд 7");
  RECT place, mainPlace;
  GetWindowRect(graph, &place);
  GetWindowRect(main, &mainPlace);

  // "Выход" with the colour dialog of trace 1 open and both windows minimised;
  // a new start brings them back at their places, the graph at its scale and channels.
  RECT selector;  // the swatch lies left of its selector
  GetWindowRect(GetDlgItem(graph, IDC_GRAPH_TRACE1), &selector);
  PostMessageW(graph, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(selector.left - place.left - 2 * GetSystemMetrics(SM_CYDLGFRAME) - 2,
                                                             (selector.bottom - selector.top) / 2));
  driver::pump(1000);
  EXPECT_EQ(driver::windows(program.pi.dwProcessId, L"#32770", nullptr).size(), 2u);  // the graph and the dialog
  ShowWindow(graph, SW_MINIMIZE);
  ShowWindow(main, SW_MINIMIZE);
  driver::pump(300);
  PostMessageW(main, WM_COMMAND, IDM_EXIT, 0);
  EXPECT_EQ(program.waitExit(20000), 0);
  ASSERT_TRUE(driver::start(program, dir, exe));
  graph = find(L"#32770", L"Стенд 7", 30000);
  main = find(L"SKALENOR", nullptr);
  driver::pump(300);
  RECT again, mainAgain;
  GetWindowRect(graph, &again);
  GetWindowRect(main, &mainAgain);
  EXPECT_TRUE(EqualRect(&again, &place));
  EXPECT_TRUE(EqualRect(&mainAgain, &mainPlace));
  EXPECT_EQ(chosen(graph, IDC_GRAPH_SCALE), 1);
  EXPECT_EQ(driver::itemText(graph, IDC_GRAPH_SCALE), L"1мин/дел");
  EXPECT_EQ(chosen(graph, IDC_GRAPH_TRACE1), 8);
  EXPECT_EQ(driver::windows(program.pi.dwProcessId, L"#32770", nullptr).size(), 1u);
}

namespace {
// Types a file name into a common file dialog and presses its OK button.
void answerFileDialog(HWND dialog, const std::wstring& path) {
  HWND name = GetDlgItem(dialog, 0x47c);  // cmb13 (explorer style)
  if (!name) name = GetDlgItem(dialog, 0x480);  // edt1
  ASSERT_NE(name, nullptr);
  SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
  PostMessageW(dialog, WM_COMMAND, IDOK, 0);
}
}  // namespace

TEST_F(Workflow, SaveUnderANameThenOpenItAndRestart) {
  startIn(L"save-open", workflow::configuration(3));
  // No extension: ".cfg" is added.
  answerFileDialog(command(main, IDM_SAVE, L"Сохранение конфигурации", nullptr), dir + L"\\saved");
  driver::pump(1000);
  EXPECT_EQ(readFile(dir + L"\\saved.cfg"), config());

  // Change the live configuration, then open the saved one: the program restarts on it.
  click(openChannels(), IDC_SHOW_ALL);
  EXPECT_EQ(valueOf(config(), "20Channel"), "20");
  answerFileDialog(command(main, IDM_OPEN, L"Открытие конфигурации", nullptr), dir + L"\\saved.cfg");
  EXPECT_EQ(program.waitExit(20000), 0);

  // The first program is gone: any main window now is the restarted one's.
  HWND next = driver::findWindow(0, L"SKALENOR", nullptr, 15000);
  ASSERT_NE(next, nullptr);
  DWORD pid = 0;
  GetWindowThreadProcessId(next, &pid);
  driver::Program restarted;
  restarted.pi.hProcess = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid);
  expectConfig({{"20Channel", "0"}, {"3Channel", "3"}});
  PostMessageW(next, WM_CLOSE, 0, 0);
  EXPECT_EQ(restarted.waitExit(20000), 0);
}

TEST_F(Workflow, NoBoardOrNoConfigurationEndsTheProgramAfterTheNotice) {
  for (const bool configured : {true, false}) {
    driver::Program run;
    dir = driver::makeWorkFolder(configured ? L"no-board" : L"no-config");
    ASSERT_TRUE(!configured || writeFile(dir + L"\\skalenor.cfg", workflow::configuration(2)));
    ASSERT_TRUE(writeFile(dir + L"\\kvsim.cfg", workflow::simulatorConfiguration("none")));
    ASSERT_TRUE(driver::start(run, dir));
    EXPECT_EQ(answerNotice(run.pi.dwProcessId), configured ? L"Устройства KV310/KV320 не найдены!"
                                                           : L"Не найден файл конфигурации skalenor.cfg");
    EXPECT_EQ(run.waitExit(20000), 0);
    EXPECT_EQ(driver::findWindow(run.pi.dwProcessId, nullptr, nullptr, 0), nullptr);
  }
}

// A graph with channel 8 (-2 V, red) and 24 (+2 V, green) saved as pictures,
// and printed when the test command set up a PDF printer.
TEST_F(Workflow, GraphSavedAsPicturesAndPrinted) {
  startIn(L"printing", workflow::configuration(2, {{"chPlot = 0,0", "chPlot = 8,24"}}));
  HWND graph = command(main, IDM_GRAPH, L"Тренд 1");
  MoveWindow(graph, 360, 60, 700, 420, TRUE);
  driver::pump(4500);
  for (const wchar_t* name : {L"\\graph.png", L"\\graph.emf"}) {
    SCOPED_TRACE(name);
    HWND save = command(graph, CMD_SAVE_PICTURE, L"Сохранить как рисунок", nullptr);
    RECT d, g;  // centred on the graph
    GetWindowRect(save, &d), GetWindowRect(graph, &g);
    EXPECT_TRUE(std::abs(d.left + d.right - g.left - g.right) <= 2 && std::abs(d.top + d.bottom - g.top - g.bottom) <= 2);
    answerFileDialog(save, dir + name);
    driver::pump(1500);
    pages::expectGraphPage(pages::load(dir + name));
  }
  const char* pdfs = std::getenv("SKALENOR_PDF_DIR");
  if (!pdfs) GTEST_SKIP() << "no PDF printer set up: the page was checked as pictures only";
  const std::wstring folder = driver::windowsPath(pdfs), before = driver::newestFile(folder, L"Trend*.pdf");
  PostMessageW(GetDlgItem(graph, IDC_GRAPH_PRINT), BM_CLICK, 0, 0);
  std::wstring pdf;
  for (int i = 0; i < 200 && (pdf = driver::newestFile(folder, L"Trend*.pdf")) == before; ++i) driver::pump(100);
  ASSERT_NE(pdf, before);
  driver::waitSteady(pdf, 500, 100);  // the printer writes the file as it goes
  const std::wstring png = pages::pdfToPng(pdf);
  pages::expectGraphPage(pages::load(png));
  DeleteFileW(pdf.c_str());
  DeleteFileW(png.c_str());
}

// No printer: the print button tells so, and the program goes on. Where the
// test command set up a printer, its own run without one does this.
TEST_F(Workflow, PrintWithoutPrinterGivesNotice) {
  wchar_t printer[256];
  DWORD size = 256;
  if (GetDefaultPrinterW(printer, &size)) GTEST_SKIP() << "a printer is set up";
  startIn(L"no-printer", workflow::configuration(2));
  HWND graph = command(main, IDM_GRAPH, L"Тренд 1");
  driver::pump(500);
  PostMessageW(GetDlgItem(graph, IDC_GRAPH_PRINT), BM_CLICK, 0, 0);
  EXPECT_EQ(answerNotice(program.pi.dwProcessId), L"Принтер по умолчанию не задан.");
  driver::pump(500);
  EXPECT_TRUE(program.running());
  EXPECT_TRUE(IsWindowVisible(graph));
}

namespace {

// A Unix program run from here (start.exe hands it over and does not wait).
void runUnix(const std::wstring& commandLine) {
  std::wstring cmd = L"start.exe /wait /unix " + commandLine;
  STARTUPINFOW si{};
  si.cb = sizeof si;
  driver::Program run;
  if (CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &run.pi)) run.waitExit(10000);
}
std::wstring unixPath(std::wstring path) {
  for (wchar_t& c : path) c = c == L'\\' ? L'/' : c;
  return path.substr(path.rfind(L':') + 1);
}
bool writable(const std::wstring& path) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  return h != INVALID_HANDLE_VALUE;
}

// Rows of whole 32-channel rows only, the ramp on channel 32 one step a row: nothing lost before the stop.
void expectWholeRampRows(const std::wstring& qmr) {
  const std::string bytes = readFile(qmr);
  const workflow::Rows rec = workflow::readSampleFile(bytes);
  ASSERT_EQ(rec.channels.size(), 32u);
  EXPECT_EQ((bytes.size() - (240 + 20 * 32)) % (32 * 4), 0u) << bytes.size();
  ASSERT_GT(rec.rowCount, 10u);
  const double step = 0.032 * workflow::RAMP_SLOPE;
  for (size_t r = 2; r < rec.rowCount; ++r)
    ASSERT_NEAR(rec.values[r * 32 + 31] - rec.values[(r - 1) * 32 + 31], step, step * 0.01) << "row " << r;
}

const int winsock = [] {
  WSADATA wsa;
  return WSAStartup(MAKEWORD(2, 2), &wsa);
}();

sockaddr_in loopback(int port) {
  sockaddr_in at{AF_INET, htons(static_cast<u_short>(port)), {}, {}};
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return at;
}

// The status code a GET of path on 127.0.0.1:port answers with; 0 when nothing answers.
int httpStatus(int port, const char* path) {
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in at = loopback(port);
  char answer[16] = {};
  const std::string request = std::string("GET ") + path + " HTTP/1.0\r\n\r\n";
  if (connect(s, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0 &&
      send(s, request.data(), static_cast<int>(request.size()), 0) > 0)
    recv(s, answer, sizeof answer - 1, MSG_WAITALL);
  closesocket(s);
  return std::strncmp(answer, "HTTP/1.1 ", 9) == 0 ? std::atoi(answer + 9) : 0;
}

// A socket listening on a loopback port of the system's choosing.
SOCKET listenOnSomePort(int* port) {
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in at = loopback(0);
  int length = sizeof at;
  bind(s, reinterpret_cast<sockaddr*>(&at), sizeof at);
  listen(s, 1);
  getsockname(s, reinterpret_cast<sockaddr*>(&at), &length);
  *port = ntohs(at.sin_port);
  return s;
}

}  // namespace

// A working folder on a small filesystem of its own (mounted by the workflow_small_disk test): the disk fills
// during a recording, later a recording's file is made unwritable. Each time the recording stops with its notice,
// keeps whole rows, the configuration stays whole, and the meter goes on.
TEST_F(Workflow, FullDiskAndLockedFileEndTheRecordingCleanly) {
  const char* disk = std::getenv("SKALENOR_SMALL_DISK");
  if (!disk) GTEST_SKIP() << "no small filesystem of its own: the workflow_small_disk test mounts one";
  startAt(driver::windowsPath(disk), workflow::configuration(32), workflow::simulatorConfiguration());
  HWND dialog = openChannels();
  click(dialog, IDC_RECORD_ALL);
  SetDlgItemTextW(dialog, IDC_INTERVAL, L"32");
  click(dialog, IDC_RECORD_STOP);
  driver::pump(2000);
  const std::string cfg = config();

  // Fill the disk, in ever smaller pieces, to its last byte.
  const std::wstring filler = dir + L"\\filler.bin";
  HANDLE h = CreateFileW(filler.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  static char block[65536];
  for (DWORD size = sizeof block, written; size > 0; size /= 2)
    while (WriteFile(h, block, size, &written, nullptr) && written == size) {}
  CloseHandle(h);
  // The event log, on the same full disk, may say so in a box of its own, before or after.
  const auto recordingNotice = [&] {
    std::wstring text = answerNotice(program.pi.dwProcessId);
    for (int i = 0; i < 2 && text.starts_with(L"Журнал событий"); ++i) text = answerNotice(program.pi.dwProcessId);
    return text;
  };
  const std::wstring full = recordingNotice();
  EXPECT_EQ(full.rfind(L"Запись остановлена.\nДиск заполнен: " + dir + L"\\Data\\", 0), 0u) << full;
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_SHOW_ALL))) << "the dialog shows the recording stopped";
  expectWholeRampRows(findFile(L"*.qmr"));
  EXPECT_EQ(config(), cfg);
  HWND square = panelOf(main, workflow::SWITCHING_CHANNEL);
  const std::wstring before = driver::itemText(square, IDC_PANEL_VALUE);
  std::wstring now = before;
  for (int i = 0; i < 40 && now == before; ++i) {  // the square wave changes its reading every second
    driver::pump(100);
    now = driver::itemText(square, IDC_PANEL_VALUE);
  }
  EXPECT_NE(now, before) << "the panels keep refreshing";

  // Room again; a new recording whose sample file then refuses writing.
  DeleteFileW(filler.c_str());
  driver::pump(1100);  // a new second: a new pair
  click(dialog, IDC_RECORD_STOP);
  driver::pump(1000);
  const std::wstring qmr = findFile(L"*.qmr");
  runUnix(L"/usr/bin/chattr +i " + unixPath(qmr));
  for (int i = 0; i < 50 && writable(qmr); ++i) driver::pump(100);
  if (writable(qmr)) {
    click(dialog, IDC_RECORD_STOP);
    GTEST_SKIP() << "chattr +i has no effect on this filesystem: the unwritable file is not tried";
  }
  EXPECT_EQ(recordingNotice(), L"Запись остановлена.\nНет доступа к файлу " + qmr);
  runUnix(L"/usr/bin/chattr -i " + unixPath(qmr));
  expectWholeRampRows(qmr);
  EXPECT_TRUE(program.running());
  PostMessageW(main, WM_CLOSE, 0, 0);
  EXPECT_EQ(program.waitExit(20000), 0);
}

// The square wave on channel 31 leaves its limits and comes back every second; the board then falls silent for
// four seconds and comes back. The event window lists it all live, newest first, and the day's event file holds
// the same lines in order.
TEST_F(Workflow, EventsOfLimitsAndOfABoardThatFallsSilent) {
  startIn(L"events", workflow::configuration(32), workflow::simulatorConfiguration() + "stall = 7 4\n");
  HWND events = command(main, IDM_EVENTS, L"Журнал событий");
  HWND list = GetDlgItem(events, IDC_EVENT_LIST);
  driver::pump(3000);
  const LRESULT early = SendMessageW(list, LVM_GETITEMCOUNT, 0, 0);
  EXPECT_GE(early, 2);

  EXPECT_EQ(answerNotice(program.pi.dwProcessId),
            L"Нет данных от платы больше 2 с: показания не обновляются, пока данные не поступят снова.");
  HWND panel = panelOf(main, 1);
  EXPECT_EQ(driver::itemText(panel, IDC_PANEL_VALUE), L"----");
  std::wstring shown;
  for (int i = 0; i < 80 && (shown = driver::itemText(panel, IDC_PANEL_VALUE)) == L"----"; ++i) driver::pump(100);
  EXPECT_NE(shown, L"----") << "readings come back by themselves";
  driver::pump(2500);
  PostMessageW(main, WM_CLOSE, 0, 0);
  EXPECT_EQ(program.waitExit(20000), 0);

  const std::vector<std::wstring> files = [&] {
    std::vector<std::wstring> found;
    for (const auto& e : std::filesystem::directory_iterator(dir + L"\\Data"))
      if (e.path().filename().wstring().rfind(L"events-", 0) == 0) found.push_back(e.path().wstring());
    return found;
  }();
  ASSERT_EQ(files.size(), 1u);
  std::vector<std::vector<std::string>> lines;
  for (const std::string& line : readLines(files[0])) {
    std::string f[EVENT_FIELD_COUNT];
    if (parseEventLine(line, f)) lines.emplace_back(f, f + EVENT_FIELD_COUNT);
  }
  ASSERT_GT(lines.size(), 6u);
  EXPECT_EQ(lines[0][0], "\xEF\xBB\xBF" "Время");
  lines.erase(lines.begin());
  // Channel 31's crossings alternate, a second apart give or take a refresh (200 ms) and a block (160 ms), until
  // the board falls silent (closer at the start, while the blocks the board buffered meanwhile are read faster
  // than they came); then the silence, and later the board again.
  const auto seconds = [](const std::string& time) {
    return std::stoi(time.substr(11, 2)) * 3600 + std::stoi(time.substr(14, 2)) * 60 + std::stod(time.substr(17));
  };
  size_t silent = 0, back = 0, crossings = 0;
  double interval = 0;
  std::vector<std::string> last;  // channel 31's previous crossing
  for (size_t i = 0; i < lines.size(); ++i) {
    const auto& l = lines[i];
    if (i > 0) {
      EXPECT_GE(seconds(l[0]), seconds(lines[i - 1][0])) << i;
    }
    if (l[7] == "Нет данных от платы") silent = i;
    if (l[7] == "Данные от платы поступают снова") back = i;
    if (l[1] != "31" || silent) continue;
    EXPECT_EQ(l[7], crossings % 2 ? "Возврат в пределы" : "Выход за пределы") << i;
    EXPECT_EQ(l[6], crossings % 2 ? "РК04 снят" : "РК04 выдан") << i;
    EXPECT_EQ(l[5], "нижний");
    if (crossings++ > 0) {
      interval = seconds(l[0]) - seconds(last[0]);
      EXPECT_LE(interval, 1.0 + 0.2 + 0.16 + 0.1) << i;  // never later than a refresh and a block
    }
    last = l;
  }
  EXPECT_GE(crossings, 4u);
  EXPECT_NEAR(interval, 1.0, 0.4) << "the last crossing before the silence, long after the start";
  EXPECT_GT(silent, 0u);
  EXPECT_GT(back, silent);
}

// "Доступ по сети...": on for this computer at a port, the server answers at the address the dialog shows. A port
// another program holds gives one notice at the next start, and the meter runs on.
TEST_F(Workflow, NetworkAccessDialogAndTakenPort) {
  int port = 0;
  closesocket(listenOnSomePort(&port));  // a port free a moment ago
  startIn(L"network", workflow::configuration(2));
  HWND dialog = command(main, IDM_NETWORK, L"Доступ по сети");
  EXPECT_EQ(driver::itemText(dialog, IDC_WEB_URL), L"Доступ по сети выключен.");
  click(dialog, IDC_WEB_ENABLE);
  SetDlgItemTextW(dialog, IDC_WEB_PORT, L"70000");
  click(dialog, IDOK);
  EXPECT_TRUE(IsWindowVisible(dialog));  // not taken
  SetDlgItemInt(dialog, IDC_WEB_PORT, port, FALSE);
  EXPECT_EQ(driver::itemText(dialog, IDC_WEB_URL), L"http://127.0.0.1:" + std::to_wstring(port) + L"/");
  click(dialog, IDOK);
  EXPECT_TRUE(gone(dialog));
  expectConfig({{"WebPort", std::to_string(port)}, {"WebAddress", "127.0.0.1"}});
  EXPECT_EQ(httpStatus(port, "/metrics"), 200);
  EXPECT_EQ(httpStatus(port, "/skalenor.cfg"), 404);

  PostMessageW(main, WM_CLOSE, 0, 0);
  ASSERT_EQ(program.waitExit(20000), 0);

  SOCKET taken = listenOnSomePort(&port);
  startIn(L"network-taken", workflow::configuration(2, {{"WebPort = 0", "WebPort = " + std::to_string(port)}}));
  EXPECT_EQ(answerNotice(program.pi.dwProcessId),
            L"Порт " + std::to_wstring(port) + L" уже занят другой программой: доступ по сети выключен.");
  driver::pump(1000);  // the box answered closes
  HWND again = driver::findWindow(program.pi.dwProcessId, L"#32770", L"Ошибка", 2000);
  EXPECT_EQ(again, nullptr) << "a second notice";
  HWND panel = panelOf(main, 1);
  std::wstring reading;
  for (int i = 0; i < 40 && (reading = driver::itemText(panel, IDC_PANEL_VALUE)) == L"*"; ++i) driver::pump(100);
  EXPECT_EQ(reading, L"-3.7500");  // dcVolts(1): the meter measures on
  closesocket(taken);
}
