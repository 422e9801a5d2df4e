// The viewer's main window: menu commands, the channel list, the status line,
// opening a recording, and following one that grows.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>
#include <charconv>
#include <cstdarg>
#include <cstdlib>
#include <cstdio>
#include <cwchar>

#include "shell/config_dialogs_win.h"
#include "version.h"
#include "viewer/viewer_win.h"

Viewer viewer;

namespace {

const wchar_t kClass[] = L"SKALENORVIEW";
const wchar_t kProgram[] = L"Просмотр записей";
constexpr UINT_PTR TIMER_PROGRESS = 1, TIMER_FOLLOW = 2;
constexpr UINT PROGRESS_MS = 100, FOLLOW_MS = 1000;
constexpr int PROGRESS_STEPS = 1000;
constexpr DWORD GROWING_MS = 3000;  // rows added this recently: the recording is still being written
constexpr double MAX_ROWS_PER_SECOND = 1e6, MIN_ROWS_PER_SECOND = 1e-6;
constexpr uint64_t FIGURES_READ_LIMIT = 1u << 18;  // rows read on the spot for the cursors' figures
enum Column { COL_NUMBER, COL_NAME, COL_VALUE, COL_MIN, COL_MAX, COL_MEAN, COL_RMS, COLUMN_COUNT };
const wchar_t* const COLUMN_TITLES[COLUMN_COUNT] = {L"№", L"Имя", L"Значение", L"Мин", L"Макс", L"Среднее", L"СКЗ"};
constexpr int COLUMN_WIDTHS[COLUMN_COUNT] = {32, 58, 66, 66, 66, 62, 62};
enum StatusPart { PART_RECORDING, PART_CURSORS, PART_NOTE, PART_COUNT };

// Trace colours, dark enough to read on white; the list repeats them.
constexpr COLORREF PALETTE[] = {RGB(200, 0, 0),   RGB(0, 130, 0),   RGB(0, 0, 220),   RGB(200, 110, 0),
                                RGB(130, 0, 170), RGB(0, 140, 160), RGB(90, 90, 90),  RGB(180, 0, 110),
                                RGB(110, 75, 0),  RGB(0, 90, 60),   RGB(70, 70, 170), RGB(230, 60, 120),
                                RGB(100, 150, 0), RGB(0, 100, 200), RGB(160, 60, 60), RGB(60, 120, 120)};

bool fillingList = false;
int progressTicks = 0;
uint64_t drawnSummaryRows = 0;  // the summary's rows when the picture was last made

std::wstring wide(const std::string& utf8) {
  std::wstring out(utf8.size() + 1, L'\0');
  out.resize(static_cast<size_t>(
      std::max(0, MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, out.data(), static_cast<int>(out.size())) - 1)));
  return out;
}

std::string utf8(const std::wstring& text) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? static_cast<size_t>(n) : 1, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), n, nullptr, nullptr);
  out.resize(out.size() - 1);
  return out;
}

std::wstring format(const wchar_t* pattern, ...) {
  wchar_t text[512];
  va_list args;
  va_start(args, pattern);
  vswprintf(text, 512, pattern, args);
  va_end(args);
  return text;
}

// 8640000 -> "8 640 000".
std::wstring grouped(uint64_t n) {
  std::wstring digits = std::to_wstring(n), out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i && (digits.size() - i) % 3 == 0) out += L' ';
    out += digits[i];
  }
  return out;
}

// A recorded value as the export writes it: the shortest text that reads back the same.
std::wstring valueText(float v) {
  char text[32];
  const auto r = std::to_chars(text, text + sizeof text, v);
  return wide(std::string(text, r.ptr));
}
std::wstring figureText(double v) { return format(L"%.6g", v); }

std::wstring timeString(double seconds) {
  char text[40];
  timeText(seconds, viewer.doc.clockTime, viewer.doc.startOfDay, text, sizeof text);
  return wide(text);
}

void error(const std::wstring& text, UINT icon = MB_ICONSTOP) {
  MessageBoxW(viewer.window, text.c_str(), kProgram, MB_OK | icon);
}

std::wstring problemText(RecordingProblem p) {
  switch (p) {
    case RecordingProblem::CANNOT_OPEN: return L"файл не удаётся открыть.";
    case RecordingProblem::NOT_A_RECORDING: return L"это не запись: в начале файла нет заголовка QUORMAFFS.";
    case RecordingProblem::HEADER_CUT: return L"заголовок записи обрезан или повреждён.";
    case RecordingProblem::CHANNEL_COUNT:
      return L"число каналов в заголовке не сходится с размером их описаний.";
    case RecordingProblem::ROW_RATE: return L"частота строк в заголовке — не положительное число.";
    case RecordingProblem::NONE: break;
  }
  return L"";
}

void setItem(int item, int column, const std::wstring& text) {
  LVITEMW it{};
  it.iSubItem = column;
  it.pszText = const_cast<wchar_t*>(text.c_str());
  SendMessageW(viewer.list, LVM_SETITEMTEXTW, item, reinterpret_cast<LPARAM>(&it));
}

void fillList() {
  ViewerDocument& d = viewer.doc;
  fillingList = true;
  SendMessageW(viewer.list, LVM_DELETEALLITEMS, 0, 0);
  const auto& channels = d.file().channels();
  for (size_t c = 0; c < channels.size(); ++c) {
    const std::wstring number = std::to_wstring(channels[c].number);
    LVITEMW it{};
    it.mask = LVIF_TEXT;
    it.iItem = static_cast<int>(c);
    it.pszText = const_cast<wchar_t*>(number.c_str());
    SendMessageW(viewer.list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&it));
    setItem(static_cast<int>(c), COL_NAME, wide(d.name(static_cast<int>(c))));
    ListView_SetCheckState(viewer.list, static_cast<int>(c), d.shown[c] ? TRUE : FALSE);
  }
  fillingList = false;
}

void refreshTitle() {
  std::wstring title = kProgram;
  if (viewer.doc.open()) {
    const std::wstring& p = viewer.doc.path;
    title = p.substr(p.find_last_of(L"\\/") + 1) + L" - " + kProgram;
  }
  SetWindowTextW(viewer.window, title.c_str());
}

void refreshRecordingStatus() {
  const ViewerDocument& d = viewer.doc;
  if (!d.open()) return;
  const uint64_t rows = d.file().rowCount();
  char length[40];
  timeText(static_cast<double>(rows) / d.file().rowsPerSecond(), false, 0, length, sizeof length);
  setStatus(PART_RECORDING, format(L"Строк: %ls · %ls с · %g строк/с", grouped(rows).c_str(), wide(length).c_str(),
                                   d.file().rowsPerSecond()));
  std::wstring note;
  const bool growing = d.lastGrowth && GetTickCount() - d.lastGrowth < GROWING_MS;
  if (growing)
    note = L"Запись продолжается";
  else if (d.file().partialRowBytes())
    note = format(L"Запись оборвана: неполная последняя строка (%u из %u байт) не показана",
                  d.file().partialRowBytes(), static_cast<unsigned>(d.file().rowBytes()));
  else if (d.file().descriptionState() == DescriptionState::MISSING)
    note = L"Нет описания записи (.sreccfg): каналы показаны номерами, меток нет";
  if (!(d.summary && d.summary->done() < d.summary->target()) && !exportRunning()) setStatus(PART_NOTE, note);
}

void computeMarkers() {
  ViewerDocument& d = viewer.doc;
  std::vector<double> times;
  if (!d.ignoreDescription)
    for (const auto& m : d.file().markers()) times.push_back(m.timePos);
  const bool clock = markersInClockTime(times, d.secondsOf(static_cast<double>(d.file().rowCount())), d.startOfDay);
  d.markerSeconds.clear();
  for (double t : times) d.markerSeconds.push_back(markerSeconds(t, clock, d.startOfDay));
  if (viewer.markers) fillMarkerList();
}

void layout() {
  RECT r;
  GetClientRect(viewer.window, &r);
  SendMessageW(viewer.status, WM_SIZE, 0, 0);
  RECT s;
  GetWindowRect(viewer.status, &s);
  const int statusHeight = s.bottom - s.top;
  const int parts[PART_COUNT] = {r.right / 4, r.right * 3 / 4, -1};
  SendMessageW(viewer.status, SB_SETPARTS, PART_COUNT, reinterpret_cast<LPARAM>(parts));
  RECT note;
  SendMessageW(viewer.status, SB_GETRECT, PART_NOTE, reinterpret_cast<LPARAM>(&note));
  MoveWindow(viewer.progress, note.left + 2, note.top + 2, std::min(200L, note.right - note.left - 4),
             note.bottom - note.top - 4, TRUE);
  int listWidth = GetSystemMetrics(SM_CXVSCROLL) + 4;
  for (int w : COLUMN_WIDTHS) listWidth += w;
  const int height = r.bottom - statusHeight;
  MoveWindow(viewer.list, r.right - listWidth, 0, listWidth, height, TRUE);
  MoveWindow(viewer.plot, 0, 0, std::max(0L, r.right - listWidth), height, TRUE);
}

void createChildren(HWND window) {
  viewer.plot = CreateWindowExW(0, L"SkalenorViewPlot", L"", WS_CHILD | WS_VISIBLE | WS_HSCROLL | WS_VSCROLL, 0, 0,
                                0, 0, window, reinterpret_cast<HMENU>(IDC_VIEW_PLOT), viewer.instance, nullptr);
  viewer.list = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                                WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SINGLESEL, 0, 0, 0, 0,
                                window, reinterpret_cast<HMENU>(IDC_VIEW_CHANNELS), viewer.instance, nullptr);
  SendMessageW(viewer.list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
               LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
  for (int c = 0; c < COLUMN_COUNT; ++c) {
    LVCOLUMNW col{};
    col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    col.fmt = c >= COL_VALUE ? LVCFMT_RIGHT : LVCFMT_LEFT;
    col.cx = COLUMN_WIDTHS[c];
    col.pszText = const_cast<wchar_t*>(COLUMN_TITLES[c]);
    SendMessageW(viewer.list, LVM_INSERTCOLUMNW, c, reinterpret_cast<LPARAM>(&col));
  }
  viewer.status = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0, window,
                                  reinterpret_cast<HMENU>(IDC_VIEW_STATUS), viewer.instance, nullptr);
  viewer.progress = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD, 0, 0, 0, 0, viewer.status,
                                    reinterpret_cast<HMENU>(IDC_VIEW_PROGRESS), viewer.instance, nullptr);
  SendMessageW(viewer.progress, PBM_SETRANGE32, 0, PROGRESS_STEPS);
  setStatus(PART_RECORDING, L"Откройте запись: «Открыть...» или перетащите файл в окно");
}

// The list's checkboxes show and hide traces; an axis keeps a shown channel.
void channelChecked(int item, bool checked) {
  ViewerDocument& d = viewer.doc;
  if (item < 0 || static_cast<size_t>(item) >= d.shown.size() || d.shown[item] == checked) return;
  d.shown[item] = checked;
  for (int& s : d.scale) {
    if (s != item || checked) continue;
    s = NO_SCALE;
    for (int c : d.shownChannels())
      if (c != d.scale[0] && c != d.scale[1]) {
        s = c;
        break;
      }
  }
  redrawPlot();
}

LRESULT listNotice(NMHDR* n) {
  if (n->code == LVN_ITEMCHANGED) {
    const auto* change = reinterpret_cast<NMLISTVIEW*>(n);
    if (!fillingList && (change->uChanged & LVIF_STATE) &&
        ((change->uNewState ^ change->uOldState) & LVIS_STATEIMAGEMASK))
      channelChecked(change->iItem, ListView_GetCheckState(viewer.list, change->iItem) != 0);
    return 0;
  }
  if (n->code == NM_CUSTOMDRAW) {
    auto* draw = reinterpret_cast<NMLVCUSTOMDRAW*>(n);
    if (draw->nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
    if (draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT) return CDRF_NOTIFYSUBITEMDRAW;
    if (draw->nmcd.dwDrawStage == (CDDS_ITEMPREPAINT | CDDS_SUBITEM)) {
      const size_t item = draw->nmcd.dwItemSpec;
      draw->clrText = draw->iSubItem <= COL_NAME && item < viewer.doc.colours.size() ? viewer.doc.colours[item] : 0;
      return CDRF_NEWFONT;
    }
  }
  return 0;
}

void progressStep() {
  ViewerDocument& d = viewer.doc;
  if (exportRunning()) exportProgress();
  if (!d.summary) return;
  const uint64_t done = d.summary->done(), target = d.summary->target();
  const bool building = done < target;
  ShowWindow(viewer.progress, building ? SW_SHOW : SW_HIDE);
  if (building) {
    setStatus(PART_NOTE, L"");
    SendMessageW(viewer.progress, PBM_SETPOS, static_cast<WPARAM>(target ? done * PROGRESS_STEPS / target : 0), 0);
  }
  // The picture fills in as the summary grows, and is made once more when it is complete.
  if (done == drawnSummaryRows || (building && ++progressTicks % 4 != 0)) return;
  drawnSummaryRows = done;
  redrawPlot();
  if (!building) {
    refreshReadings(true);
    refreshRecordingStatus();
    SendMessageW(viewer.progress, PBM_SETPOS, PROGRESS_STEPS, 0);  // complete and drawn
  }
}

void followFile() {
  ViewerDocument& d = viewer.doc;
  // An export reads the recording's names on its own thread: the file is looked at again afterwards.
  if (!d.open() || exportRunning() || !d.file().refresh()) {
    refreshRecordingStatus();
    return;
  }
  const uint64_t rows = d.file().rowCount();
  if (rows > d.view.rowCount()) {
    d.lastGrowth = GetTickCount();
    if (d.summary) d.summary->extendTo(rows);
    d.view.setRowCount(rows);
  }
  computeMarkers();
  refreshRecordingStatus();
  redrawPlot();
}

void checkMenu(HMENU menu) {
  const ViewerDocument& d = viewer.doc;
  const UINT open = d.open() ? MF_ENABLED : MF_GRAYED;
  for (UINT id : {IDM_VIEWER_PICTURE, IDM_VIEWER_PRINT, IDM_VIEWER_WHOLE, IDM_VIEWER_ZOOM_IN, IDM_VIEWER_ZOOM_OUT,
                  IDM_VIEWER_SECONDS, IDM_VIEWER_NO_CURSORS})
    EnableMenuItem(menu, id, MF_BYCOMMAND | open);
  EnableMenuItem(menu, IDM_VIEWER_EXPORT, MF_BYCOMMAND | (d.open() && !exportRunning() ? MF_ENABLED : MF_GRAYED));
  EnableMenuItem(menu, IDM_VIEWER_UNDO, MF_BYCOMMAND | (d.view.canUndo() ? MF_ENABLED : MF_GRAYED));
  EnableMenuItem(menu, IDM_VIEWER_CLOCK, MF_BYCOMMAND | (d.startOfDay >= 0 ? MF_ENABLED : MF_GRAYED));
  EnableMenuItem(menu, IDM_VIEWER_MARKERS, MF_BYCOMMAND | (d.markerSeconds.empty() ? MF_GRAYED : MF_ENABLED));
  CheckMenuRadioItem(menu, IDM_VIEWER_SECONDS, IDM_VIEWER_CLOCK, d.clockTime ? IDM_VIEWER_CLOCK : IDM_VIEWER_SECONDS,
                     MF_BYCOMMAND);
}

void command(HWND window, int id) {
  ViewerDocument& d = viewer.doc;
  const auto viewChanged = [](bool changed) {
    if (changed) redrawPlot();
  };
  switch (id) {
    case IDM_VIEWER_OPEN:
      askToOpen(L"");
      return;
    case IDM_VIEWER_EXPORT:
      if (d.open() && !exportRunning()) exportSpan(window);
      return;
    case IDM_VIEWER_PICTURE:
      if (d.open()) savePicture(window);
      return;
    case IDM_VIEWER_PRINT:
      if (d.open()) printView(window);
      return;
    case IDM_VIEWER_EXIT: SendMessageW(window, WM_CLOSE, 0, 0); return;
    case IDM_VIEWER_WHOLE: viewChanged(d.view.showAll()); return;
    case IDM_VIEWER_UNDO: viewChanged(d.view.undo()); return;
    case IDM_VIEWER_ZOOM_IN: viewChanged(d.view.zoomTime(0.5, 0.5)); return;
    case IDM_VIEWER_ZOOM_OUT: viewChanged(d.view.zoomTime(2.0, 0.5)); return;
    case IDM_VIEWER_SECONDS:
    case IDM_VIEWER_CLOCK:
      d.clockTime = id == IDM_VIEWER_CLOCK && d.startOfDay >= 0;
      redrawPlot();
      refreshReadings(true);
      if (viewer.markers) fillMarkerList();
      return;
    case IDM_VIEWER_MARKERS:
      if (!d.markerSeconds.empty()) showMarkerList(window);
      return;
    case IDM_VIEWER_NO_CURSORS:
      d.cursor[0] = d.cursor[1] = NAN;
      refreshReadings(true);
      refreshOverlay();
      return;
    case IDM_VIEWER_ABOUT:
      MessageBoxW(window,
                  L"Скаленор — просмотр записей 32-канального вольтметра\nВерсия " SKALENOR_VERSION_WSTRING
                  L"\n\nЩелчок ставит курсор, Shift+щелчок — второй курсор; протяжка увеличивает; колесо мыши "
                  L"меняет масштаб времени, Shift+колесо листает; правая кнопка отменяет увеличение.",
                  L"О программе", MB_OK | MB_ICONINFORMATION);
      return;
  }
  if (id >= CMD_VIEWER_LEFT_SCALE - 1 && id < CMD_VIEWER_RIGHT_SCALE + 2000) {
    const int side = id >= CMD_VIEWER_RIGHT_SCALE - 1 ? 1 : 0;
    d.scale[side] = id - (side ? CMD_VIEWER_RIGHT_SCALE : CMD_VIEWER_LEFT_SCALE);
    if (d.scale[side] < 0) d.scale[side] = NO_SCALE;
    redrawPlot();
  }
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      viewer.window = window;
      createChildren(window);
      DragAcceptFiles(window, TRUE);
      return 0;
    case WM_SIZE:
      layout();
      return 0;
    case WM_SETFOCUS:
      SetFocus(viewer.plot);  // the keys zoom and scroll
      return 0;
    case WM_GETMINMAXINFO:
      reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = {640, 400};
      return 0;
    case WM_INITMENUPOPUP:
      checkMenu(reinterpret_cast<HMENU>(wParam));
      return 0;
    case WM_COMMAND:
      command(window, LOWORD(wParam));
      return 0;
    case MSG_OPEN_IN_FOLDER: {
      wchar_t* folder = reinterpret_cast<wchar_t*>(lParam);
      askToOpen(folder);
      free(folder);
      return 0;
    }
    case WM_NOTIFY:
      if (reinterpret_cast<NMHDR*>(lParam)->idFrom == IDC_VIEW_CHANNELS)
        return listNotice(reinterpret_cast<NMHDR*>(lParam));
      return 0;
    case WM_TIMER:
      if (wParam == TIMER_PROGRESS) progressStep();
      if (wParam == TIMER_FOLLOW) followFile();
      return 0;
    case WM_DROPFILES: {
      auto drop = reinterpret_cast<HDROP>(wParam);
      wchar_t path[MAX_PATH];
      const bool got = DragQueryFileW(drop, 0, path, MAX_PATH) > 0;
      DragFinish(drop);
      if (got) openRecording(path);
      return 0;
    }
    case MSG_EXPORT_DONE:
      exportFinished(wParam != 0);
      return 0;
    case WM_DESTROY:
      exportFinished(false);  // an export still running is stopped
      viewer.doc.summary.reset();
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

std::vector<int> ViewerDocument::shownChannels() const {
  std::vector<int> out;
  for (size_t c = 0; c < shown.size(); ++c)
    if (shown[c]) out.push_back(static_cast<int>(c));
  return out;
}

void ViewerDocument::shownRange(int c, double* low, double* high) const {
  double l = file().channels()[c].low, h = file().channels()[c].high;
  if (!(l != h) || !std::isfinite(l) || !std::isfinite(h)) l -= 1, h += 1;  // a channel without a range
  *low = l + view.view().bottom * (h - l);
  *high = l + view.view().top * (h - l);
}

void setStatus(int part, const std::wstring& text) {
  SendMessageW(viewer.status, SB_SETTEXTW, part, reinterpret_cast<LPARAM>(text.c_str()));
}

bool registerViewerWindow(HINSTANCE instance) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = windowProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_SKALENOR));
  wc.hIconSm = LoadIconW(instance, MAKEINTRESOURCEW(IDI_SMALL));
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszMenuName = MAKEINTRESOURCEW(IDR_VIEWER_MENU);
  wc.lpszClassName = kClass;
  viewer.keys = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_VIEWER_MENU));
  return RegisterClassExW(&wc) != 0;
}

HWND createViewerWindow(HINSTANCE instance, int show) {
  const int w = GetSystemMetrics(SM_CXFULLSCREEN), h = GetSystemMetrics(SM_CYFULLSCREEN);
  HWND window = CreateWindowExW(WS_EX_ACCEPTFILES, kClass, kProgram, WS_OVERLAPPEDWINDOW, w / 32, h / 32, w * 15 / 16,
                                h * 15 / 16, nullptr, nullptr, instance, nullptr);
  if (!window) return nullptr;
  ShowWindow(window, show);
  UpdateWindow(window);
  SetTimer(window, TIMER_PROGRESS, PROGRESS_MS, nullptr);
  SetTimer(window, TIMER_FOLLOW, FOLLOW_MS, nullptr);
  return window;
}

bool openRecording(const std::wstring& given) {
  std::wstring path = given;
  const size_t dot = path.find_last_of(L'.');
  if (dot != std::wstring::npos && lstrcmpiW(path.c_str() + dot, L".sreccfg") == 0) path = path.substr(0, dot) + L".qmr";
  auto file = std::make_unique<RecordingFile>();
  const RecordingProblem problem = file->open(utf8(path));
  std::wstring wrong = problemText(problem);
  if (problem == RecordingProblem::NONE && file->channels().empty()) wrong = L"в записи нет каналов.";
  const double rate = file->rowsPerSecond();
  if (problem == RecordingProblem::NONE && !(rate >= MIN_ROWS_PER_SECOND && rate <= MAX_ROWS_PER_SECOND))
    wrong = format(L"частота строк в заголовке (%g в секунду) вне допустимого.", rate);
  if (!wrong.empty()) {
    error(L"Запись «" + path + L"» не открыта:\n" + wrong);
    return false;
  }

  exportFinished(false);
  ViewerDocument& d = viewer.doc;
  d.summary.reset();
  d.recording = std::move(file);
  d.path = path;
  drawnSummaryRows = 0;
  SendMessageW(viewer.progress, PBM_SETPOS, 0, 0);
  d.view = ViewModel();
  d.view.setRowCount(d.file().rowCount());
  d.view.showAll();
  const size_t n = d.file().channels().size();
  d.shown.assign(n, true);
  d.colours.clear();
  for (size_t c = 0; c < n; ++c) d.colours.push_back(PALETTE[c % (sizeof PALETTE / sizeof PALETTE[0])]);
  d.scale[0] = 0;
  d.scale[1] = n > 1 ? 1 : NO_SCALE;
  const std::string name = utf8(path.substr(path.find_last_of(L"\\/") + 1));
  d.startOfDay = startSecondOfDay(name.c_str());
  d.clockTime = false;
  d.cursor[0] = d.cursor[1] = d.hover = NAN;
  d.lastGrowth = 0;
  d.summary = std::make_unique<SummaryBuilder>(d.file().openRows(), d.file().rowCount());
  // Names and markers of a damaged description cannot be trusted.
  const int damaged = d.file().descriptionDamagedLine();
  d.ignoreDescription = damaged != 0;
  computeMarkers();
  fillList();
  refreshTitle();
  refreshRecordingStatus();
  refreshReadings(true);
  redrawPlot();
  SetFocus(viewer.plot);
  if (damaged)
    error(format(L"Описание записи «%ls» повреждено (строка %d): каналы показаны только номерами, метки не "
                 L"показаны.",
                 wide(d.file().descriptionPath()).c_str(), damaged),
          MB_ICONWARNING);
  return true;
}

void askToOpen(const std::wstring& folder) {
  static wchar_t lastFolder[MAX_PATH] = L"";
  wchar_t path[MAX_PATH] = L"";
  std::wstring start = folder.empty() ? lastFolder : folder;
  if (start.empty()) {
    // The working folder's recordings, when there are any.
    wchar_t current[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, current);
    start = current;
    if (GetFileAttributesW((start + L"\\Data").c_str()) != INVALID_FILE_ATTRIBUTES) start += L"\\Data";
  }
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = viewer.window;
  ofn.lpstrFilter = L"Записи (*.qmr; *.sreccfg)\0*.qmr;*.sreccfg\0Все файлы (*.*)\0*.*\0";
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = path;
  ofn.nMaxFile = MAX_PATH;
  ofn.lpstrInitialDir = start.c_str();
  ofn.lpstrTitle = L"Открытие записи";
  ofn.Flags = OFN_EXPLORER | OFN_ENABLEHOOK | OFN_NOCHANGEDIR | OFN_HIDEREADONLY | OFN_FILEMUSTEXIST;
  ofn.lpfnHook = centerCommonDialog;
  if (!GetOpenFileNameW(&ofn)) return;
  wcsncpy(lastFolder, path, MAX_PATH - 1);
  lastFolder[ofn.nFileOffset ? ofn.nFileOffset - 1 : 0] = 0;
  openRecording(path);
}

void refreshReadings(bool figuresToo) {
  ViewerDocument& d = viewer.doc;
  if (!d.open()) return;
  const size_t n = d.file().channels().size();
  // The values of the row under the mouse.
  std::vector<float> row(n);
  const bool hover = std::isfinite(d.hover) && d.file().rows().read(static_cast<uint64_t>(d.hover), 1, row.data()) == 1;
  for (size_t c = 0; c < n; ++c) setItem(static_cast<int>(c), COL_VALUE, hover ? valueText(row[c]) : L"");

  // Between the cursors: from the summary's blocks and the rows at both ends.
  static std::wstring cursorText;
  std::wstring cursors;
  if (hover) cursors = L"t = " + timeString(d.secondsOf(d.hover));
  std::vector<SpanFigures> figures;
  bool both = std::isfinite(d.cursor[0]) && std::isfinite(d.cursor[1]), ready = false;
  if (!figuresToo) {
    setStatus(PART_CURSORS, cursors + (cursors.empty() || cursorText.empty() ? L"" : L"   ") + cursorText);
    return;
  }
  if (both) {
    const uint64_t a = static_cast<uint64_t>(std::min(d.cursor[0], d.cursor[1]));
    const uint64_t b = static_cast<uint64_t>(std::max(d.cursor[0], d.cursor[1]));
    ready = d.summary ? d.summary->read([&](const RecordingSummary& s) {
      return spanFigures(&s, d.file().rows(), a, b, FIGURES_READ_LIMIT, &figures);
    })
                      : spanFigures(nullptr, d.file().rows(), a, b, FIGURES_READ_LIMIT, &figures);
    cursorText = format(L"курсоры: %ls … %ls, Δt = %.3f с, строк %ls", timeString(d.secondsOf(static_cast<double>(a))).c_str(),
                      timeString(d.secondsOf(static_cast<double>(b))).c_str(),
                      static_cast<double>(b - a) / d.file().rowsPerSecond(), grouped(b - a + 1).c_str());
  } else {
    cursorText.clear();
    for (double c : d.cursor)
      if (std::isfinite(c)) cursorText += L"курсор: " + timeString(d.secondsOf(c));
  }
  setStatus(PART_CURSORS, cursors + (cursors.empty() || cursorText.empty() ? L"" : L"   ") + cursorText);
  for (size_t c = 0; c < n; ++c) {
    const bool known = both && ready && figures[c].count > 0;
    const wchar_t* pending = both && !ready ? L"…" : L"";
    setItem(static_cast<int>(c), COL_MIN, known ? valueText(figures[c].range.min) : pending);
    setItem(static_cast<int>(c), COL_MAX, known ? valueText(figures[c].range.max) : pending);
    setItem(static_cast<int>(c), COL_MEAN, known ? figureText(figures[c].mean()) : pending);
    setItem(static_cast<int>(c), COL_RMS, known ? figureText(figures[c].rms()) : pending);
  }
}
