// The recording viewer worked from a second process: a recording written here
// from the file layout, read back through the mouse cursor, the two cursors'
// figures, a CSV export of their span, the file growing and cut short while
// open; damaged files told in a box.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "resource.h"
#include "test_files.h"
#include "win_driver.h"

namespace {

constexpr double ROWS_PER_SECOND = 20;
constexpr int ROWS = 2000;
const int NUMBERS[3] = {2, 5, 9};
const char* const NAMES[3] = {"\xC0\xEB\xFC\xF4\xE0", "\xC1\xE5\xF2\xE0", ""};  // "Альфа", "Бета" in Windows-1251

// Row j: the row number, a wave, a saw tooth; the first column tells which row a value comes from.
float valueOf(int j, int c) {
  return c == 0 ? static_cast<float>(j) : c == 1 ? static_cast<float>(std::sin(j * 0.05) * 3.5) : (j % 7) - 3.0f;
}

std::string blockName(const char* name) {
  std::string n(name);
  n.resize(24, ' ');
  return n;
}
template <typename T>
std::string bytes(T v) {
  return std::string(reinterpret_cast<const char*>(&v), sizeof v);
}

std::string rowBytes(int from, int to) {
  std::string b;
  for (int j = from; j < to; ++j)
    for (int c = 0; c < 3; ++c) b += bytes(valueOf(j, c));
  return b;
}

// The sample file, byte by byte as the layout has it.
std::string sampleFile(int rows) {
  std::string b = blockName("QUORMAFFS") + bytes<int32_t>(0) + bytes<int32_t>(0);
  b += blockName("SAMPLES_FORMAT") + bytes<int32_t>(20) + bytes<int32_t>(0) + bytes<int32_t>(7) + bytes<int32_t>(3);
  b += bytes(ROWS_PER_SECOND) + std::string("\x01\0\0\0", 4);
  b += blockName("CHANNELS_INFO_HEADER") + bytes<int32_t>(20) + bytes<int32_t>(0) + bytes<int32_t>(7) +
       bytes(-10.0) + bytes(10.0);
  b += blockName("CHANNELS_INFO") + bytes<int64_t>(60);
  b += bytes<int32_t>(NUMBERS[0]) + bytes(-10.0) + bytes(2010.0);
  b += bytes<int32_t>(NUMBERS[1]) + bytes(-5.0) + bytes(5.0);
  b += bytes<int32_t>(NUMBERS[2]) + bytes(-4.0) + bytes(4.0);
  b += blockName("SAMPLES_RECORD_INFO") + bytes<int32_t>(8) + std::string(12, '\0');
  b += blockName("SAMPLES_RECORD") + std::string(8, '\xFF');
  return b + rowBytes(0, rows);
}
bool append(const std::wstring& path, const std::string& more) {
  std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::app);
  return static_cast<bool>(out << more);
}

std::string description(bool closed) {
  std::string d = "ConfigurationTimeSpanInSeconds = 60.0\r\nCommonConfigurationPart\r\n{\r\n  TimePrecision = 3\n"
                  "  ChannelsInfo\n  {\n";
  for (int c = 0; c < 3; ++c)
    d += "#\r\n{\r\nID = " + std::to_string(NUMBERS[c]) + "\r\nName = \"" + NAMES[c] + "\"\r\n}\r\n";
  d += "  }\r\n  TasksList\r\n  {\r\n    #\r\n    {\r\n    Labels\r\n    {\r\n";
  d += "     #\r\n     {\r\n         TypeIndex = 1\r\n         TimePos = 30.000000\r\n         Description = "
       "\"K4\"\r\n         IsVisible = \"Yes\"\r\n     }\r\n";
  return closed ? d + "    }\r\n  }\r\n }\r\n}\r\n" : d;
}

std::wstring shortest(float v) {
  char text[32];
  const auto r = std::to_chars(text, text + sizeof text, v);
  return std::wstring(text, r.ptr);
}

// Seconds after "prefix" in a text ("t = 12.350", "курсоры: 40.050 … 60.000").
double secondsAfter(const std::wstring& text, const std::wstring& prefix, size_t* at = nullptr) {
  const size_t p = text.find(prefix, at ? *at : 0);
  if (p == std::wstring::npos) return NAN;
  wchar_t* end = nullptr;
  const double v = std::wcstod(text.c_str() + p + prefix.size(), &end);
  if (at) *at = static_cast<size_t>(end - text.c_str());
  return v;
}
int rowOf(double seconds) { return static_cast<int>(std::lround(seconds * ROWS_PER_SECOND - 1)); }

class ViewerWin : public ::testing::Test {
 protected:
  std::wstring dir = driver::makeWorkFolder(L"viewer");
  driver::Program program;
  HWND window = nullptr, plot = nullptr, list = nullptr, status = nullptr;

  void open(const std::wstring& arguments) {
    ASSERT_TRUE(driver::startNamed(program, "SKALENOR_VIEW_EXE", arguments, dir));
    window = driver::findWindow(program.pi.dwProcessId, L"SKALENORVIEW", nullptr, 30000);
    ASSERT_NE(window, nullptr);
    plot = GetDlgItem(window, IDC_VIEW_PLOT);
    list = GetDlgItem(window, IDC_VIEW_CHANNELS);
    status = GetDlgItem(window, IDC_VIEW_STATUS);
  }
  void TearDown() override {
    if (program.running()) {
      PostMessageW(window, WM_CLOSE, 0, 0);
      EXPECT_EQ(program.waitExit(10000), 0);
    }
  }
  // Waits until the status part holds the text.
  bool statusShows(int part, const std::wstring& text, DWORD ms = 5000) {
    for (DWORD t = 0; t < ms; t += 50, driver::pump(50))
      if (driver::statusText(status, part).find(text) != std::wstring::npos) return true;
    ADD_FAILURE() << "status part " << part << " reads: " << testing::PrintToString(driver::statusText(status, part));
    return false;
  }
  // The plot's point at a share of its width, halfway down; the real mouse goes there too, so that it is not
  // seen leaving the window.
  POINT at(double share) {
    RECT r;
    GetClientRect(plot, &r);
    POINT p{static_cast<LONG>(r.right * share), r.bottom / 2};
    POINT screen = p;
    ClientToScreen(plot, &screen);
    SetCursorPos(screen.x, screen.y);
    return p;
  }
  void mouse(UINT message, POINT p, WPARAM keys = 0) {
    SendMessageW(plot, message, keys, MAKELPARAM(p.x, p.y));
  }
  // A box of the viewer: its text, then OK.
  std::wstring answerBox() {
    HWND box = driver::findWindow(program.pi.dwProcessId, L"#32770", L"Просмотр записей", 10000);
    if (!box) return L"(no box)";
    const std::wstring text = driver::itemText(box, 0xFFFF);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    driver::pump(300);
    return text;
  }
  void answerFileDialog(const wchar_t* caption, const std::wstring& path) {
    HWND dialog = driver::findWindow(program.pi.dwProcessId, L"#32770", caption, 10000);
    ASSERT_NE(dialog, nullptr) << "no dialog";
    HWND name = GetDlgItem(dialog, 0x47c);          // cmb13 (explorer style)
    if (!name) name = GetDlgItem(dialog, 0x480);  // edt1
    SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  }
};

TEST_F(ViewerWin, ValuesFiguresExportAndAGrowingRecording) {
  const std::wstring qmr = dir + L"\\261207_101500.qmr";
  ASSERT_TRUE(writeFile(qmr, sampleFile(ROWS)));
  ASSERT_TRUE(writeFile(dir + L"\\261207_101500.sreccfg", description(true)));
  open(L"\"" + qmr + L"\"");
  EXPECT_EQ(driver::text(window), L"261207_101500.qmr - Просмотр записей");
  statusShows(0, L"Строк: 2 000 · 100.000 с · 20 строк/с");
  ASSERT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 3);
  EXPECT_EQ(driver::listText(list, 0, 0), L"2");
  EXPECT_EQ(driver::listText(list, 0, 1), L"Альфа");
  EXPECT_EQ(driver::listText(list, 2, 1), L"");

  // The mouse over the plot: the time of a row and that row's values (the first column is the row number).
  for (double share : {0.3, 0.55}) {
    mouse(WM_MOUSEMOVE, at(share));
    const double t = secondsAfter(driver::statusText(status, 1), L"t = ");
    ASSERT_TRUE(std::isfinite(t)) << driver::statusText(status, 1);
    const int j = rowOf(t);
    EXPECT_NEAR(t, (j + 1) / ROWS_PER_SECOND, 1e-9);
    EXPECT_NEAR(j, ROWS * share, ROWS * 0.03);
    for (int c = 0; c < 3; ++c) EXPECT_EQ(driver::listText(list, 0 + c, 2), shortest(valueOf(j, c))) << c;
  }

  // Two clicks: two cursors, and each channel's figures over the rows between them.
  for (double share : {0.2, 0.6}) {
    mouse(WM_LBUTTONDOWN, at(share), MK_LBUTTON);
    mouse(WM_LBUTTONUP, at(share));
  }
  const std::wstring cursors = driver::statusText(status, 1);
  size_t pos = 0;
  const int a = rowOf(secondsAfter(cursors, L"курсоры: ", &pos)), b = rowOf(secondsAfter(cursors, L"… ", &pos));
  ASSERT_LT(a, b) << cursors;
  EXPECT_NE(cursors.find(L"строк " + std::to_wstring(b - a + 1)), std::wstring::npos) << cursors;
  for (int c = 0; c < 3; ++c) {
    float low = INFINITY, high = -INFINITY;
    double sum = 0, squares = 0;
    for (int j = a; j <= b; ++j) {
      const float v = valueOf(j, c);
      low = std::min(low, v), high = std::max(high, v);
      sum += v, squares += static_cast<double>(v) * v;
    }
    const int n = b - a + 1;
    EXPECT_EQ(driver::listText(list, c, 3), shortest(low));
    EXPECT_EQ(driver::listText(list, c, 4), shortest(high));
    EXPECT_NEAR(std::wcstod(driver::listText(list, c, 5).c_str(), nullptr), sum / n, 1e-5 * (1 + std::fabs(sum / n)));
    EXPECT_NEAR(std::wcstod(driver::listText(list, c, 6).c_str(), nullptr), std::sqrt(squares / n),
                1e-5 * std::sqrt(squares / n));
  }

  // The span between the cursors as CSV, with the export tool's writer: time_s, then "number:name".
  PostMessageW(window, WM_COMMAND, IDM_VIEWER_EXPORT, 0);
  const std::wstring csv = dir + L"\\span.csv";
  answerFileDialog(L"Экспорт в CSV", csv);
  statusShows(2, L"Записано строк: " + std::to_wstring(b - a + 1));
  std::string want = "\xEF\xBB\xBFtime_s,2:\xD0\x90\xD0\xBB\xD1\x8C\xD1\x84\xD0\xB0,5:\xD0\x91\xD0\xB5\xD1\x82\xD0\xB0,9:\r\n";
  for (int j = a; j <= b; ++j) {
    char time[32];
    std::snprintf(time, sizeof time, "%.12g", (j + 1) / ROWS_PER_SECOND);
    want += time;
    for (int c = 0; c < 3; ++c) {
      char v[32];
      want += ',' + std::string(v, std::to_chars(v, v + sizeof v, valueOf(j, c)).ptr);
    }
    want += "\r\n";
  }
  EXPECT_EQ(readFile(csv), want);

  // The view as a picture, and on the test command's PDF printer when there is one, through the graphs' page code.
  PostMessageW(window, WM_COMMAND, IDM_VIEWER_PICTURE, 0);
  answerFileDialog(L"Сохранить как рисунок", dir + L"\\view.png");
  for (int i = 0; i < 100 && readFile(dir + L"\\view.png").size() < 8; ++i) driver::pump(100);
  EXPECT_EQ(readFile(dir + L"\\view.png").substr(0, 4), "\x89PNG");
  if (const char* pdfs = std::getenv("SKALENOR_PDF_DIR")) {
    const std::wstring folder = driver::windowsPath(pdfs), before = driver::newestFile(folder, L"*.pdf");
    PostMessageW(window, WM_COMMAND, IDM_VIEWER_PRINT, 0);
    std::wstring pdf;
    for (int i = 0; i < 200 && (pdf = driver::newestFile(folder, L"*.pdf")) == before; ++i) driver::pump(100);
    EXPECT_NE(pdf, before) << "nothing printed";
    driver::waitSteady(pdf, 500, 100);
    DeleteFileW(pdf.c_str());
  }

  // Rows appended while it is open: the whole recording grows in the view; a row cut short is told.
  ASSERT_TRUE(append(qmr, rowBytes(ROWS, ROWS + 500)));
  statusShows(0, L"Строк: 2 500 ·");
  statusShows(2, L"Запись продолжается");
  ASSERT_TRUE(append(qmr, "\x01\x02\x03"));
  statusShows(2, L"Запись оборвана: неполная последняя строка (3 из 12 байт) не показана", 8000);
  statusShows(0, L"Строк: 2 500 ·");
}

// Files that are no recording, or a recording whose description is broken: a box names the file and what is
// wrong, and the viewer goes on.
TEST_F(ViewerWin, DamagedFilesAreTold) {
  const std::string good = sampleFile(40);
  std::string badCount = good;
  badCount[160] = 0x50;  // the entries' size no longer 20 x 3
  std::string noRate = good;
  std::memset(&noRate[72], 0, 8);
  struct Case {
    const wchar_t* name;
    std::string bytes, description;
    const wchar_t* told;
  };
  const Case cases[] = {
      {L"notes.qmr", "QUORMAFFS is not enough\r\n", "", L"это не запись: в начале файла нет заголовка QUORMAFFS"},
      {L"short.qmr", good.substr(0, 250), "", L"заголовок записи обрезан или повреждён"},
      {L"count.qmr", badCount, "", L"число каналов в заголовке не сходится с размером их описаний"},
      {L"rate.qmr", noRate, "", L"частота строк в заголовке — не положительное число"},
      {L"broken.qmr", good, description(false) + "ID = \x01\x02\r\nName = \"x\"\r\n",
       L"(строка 36): каналы показаны только номерами, метки не показаны"},
  };
  open(L"");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::wstring path = dir + L"\\" + c.name;
    ASSERT_TRUE(writeFile(path, c.bytes));
    if (!c.description.empty()) {
      ASSERT_TRUE(writeFile(path.substr(0, path.size() - 4) + L".sreccfg", c.description));
    }
    PostMessageW(window, WM_COMMAND, IDM_VIEWER_OPEN, 0);
    answerFileDialog(L"Открытие записи", path);
    const std::wstring told = answerBox();
    EXPECT_NE(told.find(path.substr(0, path.size() - 4)), std::wstring::npos) << told;  // the file, or its pair's
    EXPECT_NE(told.find(c.told), std::wstring::npos) << told;
    EXPECT_TRUE(program.running());
  }
  // The damaged description's recording is open, its channels by number only.
  EXPECT_EQ(driver::text(window), L"broken.qmr - Просмотр записей");
  EXPECT_EQ(driver::listText(list, 0, 1), L"");
  statusShows(0, L"Строк: 40 ·");
}

}  // namespace
