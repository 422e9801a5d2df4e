// "Журнал событий": a list of today's events, newest first, read from the
// day's file when the window opens and then added to as events come.
#include <windows.h>
#include <commctrl.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "eventlog/event_log_win.h"
#include "resource.h"

namespace {

HWND openWindow = nullptr;
int shownDay = 0;  // yyyymmdd of the events listed

// Column widths in dialog units, in the file's column order.
constexpr int COLUMN_WIDTHS[EVENT_FIELD_COUNT] = {100, 28, 40, 46, 38, 34, 46, 160};
const char* const COLUMN_TITLES[EVENT_FIELD_COUNT] = {"Время", "Канал", "Имя", "Показание",
                                                      "Единица", "Предел", "Выход", "Событие"};

std::wstring wide(const std::string& utf8) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

int dayNumber(const ClockTime& t) { return t.year * 10000 + t.month * 100 + t.day; }

ClockTime today() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return {now.wYear, now.wMonth, now.wDay, 0, 0, 0, 0};
}

HWND list() { return GetDlgItem(openWindow, IDC_EVENT_LIST); }

// Puts one event's fields at the top of the list.
void insertTop(const std::string fields[EVENT_FIELD_COUNT]) {
  HWND view = list();
  std::wstring text = wide(fields[0]);
  LVITEMW item{};
  item.mask = LVIF_TEXT;
  item.pszText = text.data();
  const int row = static_cast<int>(SendMessageW(view, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
  for (size_t c = 1; c < EVENT_FIELD_COUNT; ++c) {
    std::wstring cell = wide(fields[c]);
    LVITEMW sub{};
    sub.iSubItem = static_cast<int>(c);
    sub.pszText = cell.data();
    SendMessageW(view, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&sub));
  }
}

// The day's file as far as it is written; lines that are not the file's are left out.
void fillFromFile() {
  const ClockTime day = today();
  shownDay = dayNumber(day);
  wchar_t folder[MAX_PATH * 2];
  if (!GetCurrentDirectoryW(MAX_PATH * 2, folder)) return;
  std::ifstream in(std::filesystem::path(std::wstring(folder) + L"\\" + wide(eventFileName(day, '\\'))), std::ios::binary);
  std::string line;
  std::string fields[EVENT_FIELD_COUNT];
  for (bool first = true; std::getline(in, line); first = false) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (first && line.rfind("\xEF\xBB\xBF", 0) == 0) continue;  // the header line
    if (parseEventLine(line, fields)) insertTop(fields);
  }
}

void layOut(HWND window) {
  RECT client;
  GetClientRect(window, &client);
  MoveWindow(GetDlgItem(window, IDC_EVENT_LIST), 0, 0, client.right, client.bottom, TRUE);
}

void initialise(HWND window) {
  openWindow = window;
  HWND view = list();
  SendMessageW(view, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
  for (size_t c = 0; c < EVENT_FIELD_COUNT; ++c) {
    RECT width{0, 0, COLUMN_WIDTHS[c], 0};
    MapDialogRect(window, &width);
    std::wstring title = wide(COLUMN_TITLES[c]);
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.cx = width.right;
    column.pszText = title.data();
    column.iSubItem = static_cast<int>(c);
    SendMessageW(view, LVM_INSERTCOLUMNW, c, reinterpret_cast<LPARAM>(&column));
  }
  fillFromFile();
  layOut(window);
}

INT_PTR CALLBACK eventWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      initialise(window);
      return TRUE;
    case WM_SIZE:
      layOut(window);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL) DestroyWindow(window);  // Esc closes it like the close box
      return TRUE;
    case WM_CLOSE:
      DestroyWindow(window);
      return TRUE;
    case WM_DESTROY:
      openWindow = nullptr;
      return TRUE;
  }
  return FALSE;
}

}  // namespace

void openEventWindow(HWND owner) {
  if (openWindow) {
    ShowWindow(openWindow, SW_RESTORE);
    SetForegroundWindow(openWindow);
    return;
  }
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  HWND window = CreateDialogW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_EVENTS), owner, eventWindowProc);
  if (window) ShowWindow(window, SW_SHOW);
}

HWND eventWindow() { return openWindow; }

// Called by logEvent: today's events go on top; a new day starts a new list.
void addToEventWindow(const MeterEvent& event) {
  if (!openWindow) return;
  if (dayNumber(event.time) != shownDay) {
    SendMessageW(list(), LVM_DELETEALLITEMS, 0, 0);
    shownDay = dayNumber(event.time);
  }
  std::string fields[EVENT_FIELD_COUNT];
  eventFields(event, fields);
  insertTop(fields);
}
