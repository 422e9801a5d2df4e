// The main window: menu commands, error notices, the fit to the shown panels.
#include <windows.h>

#include <cwchar>
#include <string>

#include "acquisition/acquisition_engine_win.h"
#include "eventlog/event_log_win.h"
#include "graphs/graph_window_win.h"
#include "network/web_server_win.h"
#include "panels/panel_table.h"
#include "recording/channels_dialog_win.h"
#include "recording/recorder.h"
#include "resource.h"
#include "version.h"
#include "settings/meter_settings.h"
#include "shell/app_win.h"
#include "shell/config_dialogs_win.h"
#include "shell/window_fit.h"

namespace {

const wchar_t kFilterName[] = L"Файлы конфигурации(*.cfg)";
const wchar_t kPattern[] = L"\\*.cfg";

void paintCaption(HWND window) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  wchar_t text[100];
  LoadStringW(app.instance, IDS_CHANNELS_CAPTION, text, 100);
  RECT client;
  GetClientRect(window, &client);
  SetBkMode(dc, TRANSPARENT);
  DrawTextW(dc, text, -1, &client, DT_CENTER | DT_TOP | DT_SINGLELINE);
  EndPaint(window, &ps);
}

}  // namespace

void showErrorNotice(HWND window, const char* bytes, UINT codePage, bool logged) {
  wchar_t text[2048] = L"";
  if (bytes && !MultiByteToWideChar(codePage, 0, bytes, -1, text, 2048)) text[0] = 0;
  if (logged) {
    char utf8[EVENT_TEXT_SIZE];
    if (WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr) > 0)
      logMeterEvent(EventKind::Notice, utf8);
  }
  EnableWindow(window, FALSE);
  MessageBoxW(nullptr, text, L"Ошибка", MB_OK | MB_SYSTEMMODAL | MB_ICONSTOP);
  EnableWindow(window, TRUE);
  SetActiveWindow(window);
  SetForegroundWindow(window);
  // Before the board is ready a notice is fatal.
  if (!engineBoardReady()) closeMainWindow(window);
}

namespace {

void fitToPanels(HWND window) {
  ScreenMetrics m{GetSystemMetrics(SM_CXFULLSCREEN), GetSystemMetrics(SM_CYFULLSCREEN),
                  GetSystemMetrics(SM_CXBORDER),     GetSystemMetrics(SM_CYBORDER),
                  GetSystemMetrics(SM_CYCAPTION),    GetSystemMetrics(SM_CYMENU),
                  GetSystemMetrics(SM_CYDLGFRAME)};
  RECT r;
  GetWindowRect(window, &r);
  const WindowPlace place = fitMainWindow(m, panelTable, r.left, r.top);
  MoveWindow(window, place.left, place.top, place.width, place.height, TRUE);
}

void openConfiguration(HWND window) {
  const wchar_t* path = promptConfigFile(PromptKind::Open, window, L"Открытие конфигурации", kFilterName, kPattern);
  if (!path) return;
  wcsncpy(app.pendingConfigPath, path, MAX_PATH - 1);
  SendMessageW(window, WM_CLOSE, 0, 0);
  app.keepRunning = 0;
}

void saveConfiguration(HWND window) {
  const wchar_t* path = promptConfigFile(PromptKind::Save, window, L"Сохранение конфигурации", kFilterName, kPattern);
  if (!path) return;
  saveOpenGraphs();
  CopyFileW(L"skalenor.cfg", path, FALSE);
}

void openGraphInFirstFreeSlot(HWND window) {
  MeterSettings* s = meterSettings.load();
  if (!s) return;
  for (int slot = 0; slot < 4; ++slot) {
    if (s->rPlot[4 * slot + 2] == 0 && !graphWindowOpen(slot)) {
      openGraphWindow(window, slot);
      return;
    }
  }
}

// The recording viewer from the program's folder, on the working folder's "Data".
void viewRecordings(HWND window) {
  wchar_t exe[MAX_PATH], folder[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, exe, MAX_PATH);
  wchar_t* slash = n && n < MAX_PATH ? wcsrchr(exe, L'\\') : nullptr;
  if (slash) wcscpy(slash + 1, L"skalenor-view.exe");
  GetCurrentDirectoryW(MAX_PATH, folder);
  std::wstring data = std::wstring(folder) + L"\\Data";
  if (GetFileAttributesW(data.c_str()) == INVALID_FILE_ATTRIBUTES) data = folder;
  std::wstring command = L"\"" + std::wstring(exe) + L"\" \"" + data + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (slash && CreateProcessW(exe, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return;
  }
  MessageBoxW(window, L"Не найдена программа просмотра записей skalenor-view.exe.", L"Ошибка", MB_OK | MB_ICONSTOP);
}

INT_PTR CALLBACK aboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      SetDlgItemTextW(dialog, IDC_ABOUT_VERSION, L"Версия " SKALENOR_VERSION_WSTRING);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndDialog(dialog, 0);
      return TRUE;
    case WM_CLOSE:
      EndDialog(dialog, 0);
      return TRUE;
  }
  return FALSE;
}

bool handleCommand(HWND window, int id) {
  switch (id) {
    case IDM_OPEN: openConfiguration(window); return true;
    case IDM_SAVE: saveConfiguration(window); return true;
    case IDM_CHANNELS: openChannelsDialog(window); return true;
    case IDM_VIEW_RECORDINGS: viewRecordings(window); return true;
    case IDM_EVENTS: openEventWindow(window); return true;
    case IDM_GRAPH: openGraphInFirstFreeSlot(window); return true;
    case IDM_NETWORK: runNetworkDialog(window); return true;
    case IDM_EXIT: DestroyWindow(window); return true;
    case IDM_ABOUT: DialogBoxW(app.instance, MAKEINTRESOURCEW(IDD_ABOUT), window, aboutProc); return true;
  }
  return false;
}

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      paintCaption(window);
      return 0;
    case WM_CLOSE:
      closeMainWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_COMMAND:
      if (handleCommand(window, LOWORD(wParam))) return 0;
      break;
    case ENGINE_SAMPLES_MESSAGE:
      for (PanelState* p : panelTable) {
        HWND w = p ? static_cast<HWND>(p->panelWindow.load()) : nullptr;
        if (w) SendMessageW(w, WM_USER, PANEL_SAMPLES, lParam);  // same thread: a plain call
      }
      return ENGINE_SAMPLES_DELIVERED;
    case MSG_RECORDING_FAILED:
      endFailedRecording(window, static_cast<Recorder*>(theRecorder.load()));
      return 0;
    case MSG_EVENT_LOG_FAILED:
      showErrorNotice(window, eventLogNotice(), CP_UTF8, false);  // the log cannot take its own failure
      return 0;
    case WM_TIMER:
      if (wParam == BOARD_WATCH_TIMER) watchBoard(window);
      return 0;
    case WM_USER:
      if (wParam == NOTICE_ERROR || wParam == NOTICE_ERROR_UTF8)
        showErrorNotice(window, reinterpret_cast<const char*>(lParam), wParam == NOTICE_ERROR ? 1251 : CP_UTF8);
      else
        fitToPanels(window);
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

void closeMainWindow(HWND window) {
  for (PanelState* p : panelTable) {
    HWND w = p ? static_cast<HWND>(p->panelWindow.load()) : nullptr;
    if (w) SendMessageW(w, WM_CLOSE, 0, 0);
  }
  DestroyWindow(window);
}

ATOM registerMainWindowClass(HINSTANCE instance, const wchar_t* className) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = mainWindowProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_SKALENOR));
  wc.hIconSm = LoadIconW(instance, MAKEINTRESOURCEW(IDI_SMALL));
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszMenuName = MAKEINTRESOURCEW(IDR_MAINMENU);
  wc.lpszClassName = className;
  return RegisterClassExW(&wc);
}
