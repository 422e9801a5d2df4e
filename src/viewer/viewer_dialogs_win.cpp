// The viewer's exports and lists: the span between the cursors (or the view)
// to CSV in the background, the view as a picture or on the printer, and the
// marker list that jumps to a marker.
#include <windows.h>
#include <commdlg.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cwchar>
#include <thread>

#include "graphs/page_output_win.h"
#include "recording/csv_export.h"
#include "shell/config_dialogs_win.h"
#include "viewer/viewer_win.h"

namespace {

constexpr int PART_NOTE = 2;
constexpr int MARKER_TABS[] = {70, 125};

struct Export {
  std::thread worker;
  std::atomic<bool> running{false}, stop{false};
  std::atomic<uint64_t> written{0};
  uint64_t rows = 0;
  std::wstring path;
} job;

void saveFailed(HWND owner, const wchar_t* what) {
  MessageBoxW(owner, what, L"Ошибка", MB_OK | MB_ICONSTOP);
}

}  // namespace

bool exportRunning() { return job.running.load(); }

void exportSpan(HWND owner) {
  ViewerDocument& d = viewer.doc;
  // The rows between the cursors, or those in view.
  uint64_t first, last;
  if (std::isfinite(d.cursor[0]) && std::isfinite(d.cursor[1])) {
    first = static_cast<uint64_t>(std::min(d.cursor[0], d.cursor[1]));
    last = static_cast<uint64_t>(std::max(d.cursor[0], d.cursor[1]));
  } else {
    const RowSpan& s = d.view.view().span;
    first = static_cast<uint64_t>(std::max(0.0, std::ceil(s.first)));
    last = static_cast<uint64_t>(std::max(0.0, std::min(std::ceil(s.first + s.rows), double(d.file().rowCount())) - 1));
  }
  wchar_t path[MAX_PATH];
  const std::wstring base = d.path.substr(0, d.path.find_last_of(L'.'));
  swprintf(path, MAX_PATH, L"%ls.csv", base.c_str());
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = L"CSV, разделитель «,» (*.csv)\0*.csv\0CSV для Excel: разделитель «;», десятичная запятая (*.csv)\0*.csv\0";
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = path;
  ofn.nMaxFile = MAX_PATH;
  ofn.lpstrTitle = L"Экспорт в CSV";
  ofn.Flags = OFN_EXPLORER | OFN_ENABLEHOOK | OFN_NOCHANGEDIR | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
  ofn.lpfnHook = centerCommonDialog;
  if (!GetSaveFileNameW(&ofn)) return;
  if (!wcschr(path + ofn.nFileOffset, L'.') && wcslen(path) + 4 < MAX_PATH) wcscat(path, L".csv");
  FILE* out = _wfopen(path, L"wb");
  if (!out) {
    saveFailed(owner, (std::wstring(L"Не удалось создать файл «") + path + L"».").c_str());
    return;
  }
  CsvOptions options;
  if (ofn.nFilterIndex == 2) options.delimiter = ';', options.decimalComma = true;
  std::unique_ptr<RowReader> rows = d.file().openRows();
  if (!rows) {
    std::fclose(out);
    saveFailed(owner, L"Не удалось прочитать запись.");
    return;
  }
  job.path = path;
  job.rows = last - first + 1;
  job.written = 0;
  job.stop = false;
  job.running = true;
  // A reader of its own and the recording as it is now; the window hears when it is done.
  job.worker = std::thread([file = &d.file(), reader = std::move(rows), first, options, out, window = viewer.window] {
    FileTextSink sink(out);
    bool ok = writeCsv(*file, *reader, first, job.rows, options, sink, [](uint64_t n) {
      job.written = n;
      return !job.stop.load();
    });
    ok = std::fclose(out) == 0 && ok;
    PostMessageW(window, MSG_EXPORT_DONE, ok ? 1 : 0, 0);
  });
  exportProgress();
}

void exportProgress() {
  if (!job.running) return;
  wchar_t text[128];
  swprintf(text, 128, L"Экспорт: %.0f %%", job.rows ? 100.0 * job.written / job.rows : 100.0);
  setStatus(PART_NOTE, text);
}

void exportFinished(bool written) {
  if (!job.worker.joinable()) return;
  if (!written) job.stop = true;  // a new recording or the window closing: the export stops
  job.worker.join();
  const bool stopped = job.stop.load();
  job.running = false;
  if (stopped) {
    DeleteFileW(job.path.c_str());
    setStatus(PART_NOTE, L"");
    return;
  }
  if (!written) {
    DeleteFileW(job.path.c_str());
    saveFailed(viewer.window, (L"Не удалось записать файл «" + job.path + L"».").c_str());
    return;
  }
  wchar_t text[MAX_PATH + 64];
  swprintf(text, MAX_PATH + 64, L"Записано строк: %llu в %ls", static_cast<unsigned long long>(job.rows),
           job.path.c_str());
  setStatus(PART_NOTE, text);
}

void savePicture(HWND owner) {
  wchar_t path[MAX_PATH];
  if (!askPicturePath(owner, path)) return;
  if (!writePagePicture(path, paintViewPage)) saveFailed(owner, L"Не удалось сохранить рисунок.");
}

void printView(HWND owner) {
  const std::wstring& p = viewer.doc.path;
  printPage(owner, p.substr(p.find_last_of(L"\\/") + 1).c_str(), paintViewPage);
}

namespace {

INT_PTR CALLBACK markerProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      SendDlgItemMessageW(dialog, IDC_MARKER_LIST, LB_SETTABSTOPS, 2, reinterpret_cast<LPARAM>(MARKER_TABS));
      return TRUE;
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      const bool go = id == IDC_MARKER_GO || (id == IDC_MARKER_LIST && HIWORD(wParam) == LBN_DBLCLK) || id == IDOK;
      if (go) {
        const int at = static_cast<int>(SendDlgItemMessageW(dialog, IDC_MARKER_LIST, LB_GETCURSEL, 0, 0));
        ViewerDocument& d = viewer.doc;
        if (at >= 0 && static_cast<size_t>(at) < d.markerSeconds.size() &&
            d.view.centreOn(d.rowAt(d.markerSeconds[at])))
          redrawPlot();
        return TRUE;
      }
      if (id == IDCANCEL) {
        DestroyWindow(dialog);
        viewer.markers = nullptr;
      }
      return TRUE;
    }
  }
  return FALSE;
}

}  // namespace

void fillMarkerList() {
  const ViewerDocument& d = viewer.doc;
  HWND list = GetDlgItem(viewer.markers, IDC_MARKER_LIST);
  SendMessageW(list, LB_RESETCONTENT, 0, 0);
  const auto& markers = d.file().markers();
  for (size_t m = 0; m < d.markerSeconds.size() && m < markers.size(); ++m) {
    char time[40];
    timeText(d.markerSeconds[m], d.clockTime, d.startOfDay, time, sizeof time);
    wchar_t text[96];
    swprintf(text, 96, L"%hs\t%ls\tK%d", time, markers[m].typeIndex ? L"Включение" : L"Выключение",
             markers[m].number);
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
  }
}

void showMarkerList(HWND owner) {
  if (!viewer.markers)
    viewer.markers = CreateDialogParamW(viewer.instance, MAKEINTRESOURCEW(IDD_VIEWER_MARKERS), owner, markerProc, 0);
  fillMarkerList();
  ShowWindow(viewer.markers, SW_SHOW);
  SetForegroundWindow(viewer.markers);
}
