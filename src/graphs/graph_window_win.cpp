// The graph window: set-up after its 50 ms timer, sampling on its 550 ms
// timer, layout, the time-scale rebuild, closing and destruction. Its plot
// gets every message first.
#include "graphs/graph_window_win.h"

#include <cstdio>
#include <new>

#include "acquisition/acquisition_state.h"
#include "graphs/graph_trend_plot_win.h"
#include "graphs/plot_table.h"
#include "graphs/print_graph_win.h"
#include "resource.h"
#include "settings/cp1251_literal.h"
#include "settings/meter_settings.h"
#include "settings/settings_file.h"
#include "shell/app_win.h"
#include "shell/window_place_win.h"

namespace {

constexpr UINT_PTR TIMER_SAMPLE = 0, TIMER_SETUP = 1;
constexpr UINT SAMPLE_PERIOD_MS = 550, SETUP_DELAY_MS = 50;
const int SELECTOR_IDS[SELECTOR_COUNT] = {IDC_GRAPH_TRACE1, 1093, 1094, 1095, 1096, 1097, 1098, 1099,
                                          IDC_GRAPH_SCALE};
const wchar_t* const TIME_SCALE_CAPTIONS[TIME_SCALE_COUNT] = {
    L"30ce" L"к/дел",  // "ce" in Latin letters, as the product has always shown it
    L"1мин/дел", L"2мин/дел", L"5мин/дел", L"10мин/дел",
    L"30мин/дел", L"1час/дел", L"2час/дел", L"5час/дел", L"10час/дел"};

HBITMAP printPicture = nullptr;  // shared by all graph windows for the life of the process
// The window of each slot from its creation on: the slot's rectangle is set
// only 50 ms later, and a second "График" meanwhile must not take the slot again.
HWND slotWindows[PLOT_TABLE_SIZE] = {};

int slotOf(HWND window) {
  const LONG_PTR slot = GetWindowLongPtrW(window, DWLP_USER);
  return slot >= 0 && slot < PLOT_TABLE_SIZE ? static_cast<int>(slot) : -1;
}

// The slot's plot, if it belongs to this window: until its creator stores the
// slot, a new window reads slot 0, which may be another window's.
GraphTrendPlot* plotOf(HWND window, int slot) {
  GraphTrendPlot* plot = slot >= 0 ? plotTable[slot] : nullptr;
  return plot && plot->window == window ? plot : nullptr;
}

int32_t* rectOf(MeterSettings& s, int slot) { return &s.rPlot[4 * slot]; }

void storeWindowRect(HWND window, MeterSettings& s, int slot) { storedWindowRect(window, rectOf(s, slot)); }

GraphTrendPlot* createPlot(HWND window, int slot) {
  RECT client;
  GetClientRect(window, &client);
  auto* plot = new (std::nothrow) GraphTrendPlot(window, client);
  if (!plot) return nullptr;
  HWND selectors[SELECTOR_COUNT];
  for (int i = 0; i < SELECTOR_COUNT; ++i) selectors[i] = GetDlgItem(window, SELECTOR_IDS[i]);
  plot->initialise(slot, selectors);
  return plot;
}

// The slot keeps the time scale and the view.
void storeView(HWND window, GraphTrendPlot& plot, MeterSettings& s, int slot) {
  const LRESULT scale = SendDlgItemMessageW(window, IDC_GRAPH_SCALE, CB_GETCURSEL, 0, 0);
  s.scPlot[slot] = scale >= 0 && scale < TIME_SCALE_COUNT ? static_cast<int32_t>(scale) : 0;
  s.scaleYMode[slot] = plot.zoomStep;
  s.scaleYValue[slot] = plot.viewCentre;
  writeSettings(s);
}

void saveAndFree(HWND window, int slot) {
  GraphTrendPlot* plot = plotOf(window, slot);
  if (!plot) return;
  plotTable[slot] = nullptr;
  if (MeterSettings* s = meterSettings.load()) storeView(window, *plot, *s, slot);
  delete plot;
}

void setUp(HWND window) {
  const int slot = slotOf(window);
  MeterSettings* s = meterSettings.load();
  if (slot < 0 || !s) return;
  wchar_t title[PLOT_NAME_SIZE] = {};
  MultiByteToWideChar(1251, 0, s->plotName[slot], -1, title, PLOT_NAME_SIZE - 1);
  SetWindowTextW(window, title);
  const int32_t* r = rectOf(*s, slot);
  if (r[2] != 0) {
    MoveWindow(window, r[0], r[1], r[2] - r[0], r[3] - r[1], TRUE);
    keepOnScreen(window);
  }

  HWND scale = GetDlgItem(window, IDC_GRAPH_SCALE);
  SendMessageW(scale, CB_RESETCONTENT, 0, 0);
  for (const wchar_t* caption : TIME_SCALE_CAPTIONS) SendMessageW(scale, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(caption));
  SendMessageW(scale, CB_SETCURSEL, s->scPlot[slot], 0);
  for (int k = 0; k < TRACE_COUNT; ++k) {
    HWND list = GetDlgItem(window, SELECTOR_IDS[k]);
    SendMessageW(list, CB_RESETCONTENT, 0, 0);
    SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Нет"));
    for (int c = 1; c <= INPUT_CHANNELS; ++c) {
      wchar_t number[8];
      wsprintfW(number, L"%02d", c);
      SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(number));
    }
    SendMessageW(list, CB_SETCURSEL, s->chPlot[TRACE_COUNT * slot + k], 0);
  }
  plotTable[slot] = createPlot(window, slot);
  storeWindowRect(window, *s, slot);
  writeSettings(*s);
  SetTimer(window, TIMER_SAMPLE, SAMPLE_PERIOD_MS, nullptr);
}

void rebuild(HWND window, int slot) {
  saveAndFree(window, slot);
  plotTable[slot] = createPlot(window, slot);
}

// The user closes the graph: the slot is freed and forgets everything.
void closeGraph(HWND window, int slot) {
  MeterSettings* s = meterSettings.load();
  if (slot < 0 || !s) {
    DestroyWindow(window);
    return;
  }
  int32_t* r = rectOf(*s, slot);
  r[0] = r[1] = r[2] = r[3] = 0;
  writeSettings(*s);
  for (int k = 0; k < TRACE_COUNT; ++k) {
    s->colPlot[slot][k] = 0;
    s->chPlot[TRACE_COUNT * slot + k] = 0;
    SendDlgItemMessageW(window, SELECTOR_IDS[k], CB_SETCURSEL, 0, 0);
  }
  s->scPlot[slot] = 0;
  s->lrScale[2 * slot] = s->lrScale[2 * slot + 1] = 0;
  std::snprintf(s->plotName[slot], PLOT_NAME_SIZE, cp1251<"График %d">(), slot);
  SendDlgItemMessageW(window, IDC_GRAPH_SCALE, CB_SETCURSEL, 0, 0);
  if (GraphTrendPlot* plot = plotOf(window, slot)) {
    plot->zoomStep = 0;
    plot->viewCentre = SCALE_UNITS * 0.5;
  }
  writeSettings(*s);
  DestroyWindow(window);
}

void destroyGraph(HWND window, int slot) {
  MeterSettings* s = meterSettings.load();
  if (slot < 0) return;
  if (slotWindows[slot] == window) slotWindows[slot] = nullptr;
  // Destroyed without being closed (the program ends): the slot stays open.
  if (s && rectOf(*s, slot)[2] != 0) {
    storeWindowRect(window, *s, slot);
    writeSettings(*s);
  }
  saveAndFree(window, slot);
}

void repaintPlot(GraphTrendPlot* plot) { plot->repaint(); }

void rebuildIfShown(GraphTrendPlot* plot, int channel) {
  if (plot->showsChannel(channel)) SendMessageW(plot->window, MSG_REBUILD_PLOT, 0, 0);
}

INT_PTR CALLBACK graphProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    if (!printPicture)
      printPicture = static_cast<HBITMAP>(
          LoadImageW(GetModuleHandleW(nullptr), L"PRINTS", IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
    SendDlgItemMessageW(window, IDC_GRAPH_PRINT, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(printPicture));
    SetTimer(window, TIMER_SETUP, SETUP_DELAY_MS, nullptr);
    return FALSE;
  }
  const int slot = slotOf(window);
  GraphTrendPlot* plot = plotOf(window, slot);
  if (plot) plot->handleMessage(message, wParam, lParam);
  // The plot painted: the default painting would validate what the paint
  // itself invalidated (a label change outside a one-column repaint).
  if (message == WM_PAINT && plot) return TRUE;
  switch (message) {
    case WM_TIMER:
      if (wParam == TIMER_SETUP) {
        KillTimer(window, TIMER_SETUP);
        if (!plot) setUp(window);
      } else if (plot) {
        const AcquisitionState* engine = engineState();
        plot->sample(engine ? engine->currentValues : nullptr);
      }
      break;
    case WM_COMMAND: {
      if (!plot) break;
      const int id = LOWORD(wParam);
      plot->command(id);
      const MeterSettings* s = meterSettings.load();
      if (id == IDC_GRAPH_SCALE) {
        if (s && SendDlgItemMessageW(window, IDC_GRAPH_SCALE, CB_GETCURSEL, 0, 0) != s->scPlot[slot])
          SendMessageW(window, MSG_REBUILD_PLOT, 0, 0);
      } else if (id == CMD_RENAME_GRAPH) {
        renameGraph(window);
      } else if (id == CMD_SAVE_PICTURE) {
        saveGraphPicture(window);
      }
      break;
    }
    case MSG_REBUILD_PLOT:
      if (plot) rebuild(window, slot);
      break;
    case WM_USER:
      if (plot) fillContextMenu(*plot, static_cast<int>(wParam), reinterpret_cast<HMENU>(lParam));
      break;
    case WM_LBUTTONDOWN:
      if (plot) chooseTraceColour(window, *plot, LOWORD(lParam), HIWORD(lParam));
      break;
    case WM_RBUTTONDOWN:
      if (plot) openContextMenu(window, *plot, static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
      break;
    case WM_MOVE:
    case WM_SIZE:
      if (plot) plot->layout();
      break;
    case WM_CLOSE:
      closeGraph(window, slot);
      return TRUE;
    case WM_DESTROY:
      destroyGraph(window, slot);
      break;
  }
  return FALSE;
}

}  // namespace

bool openGraphWindow(HWND owner, int slot) {
  if (slot < 0 || slot >= PLOT_TABLE_SIZE) return false;
  plotRepaintHandler = repaintPlot;
  plotRebuildHandler = rebuildIfShown;
  HWND window = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_GRAPH), owner, graphProc, 0);
  if (!window) return false;
  SetWindowLongPtrW(window, DWLP_USER, slot);
  slotWindows[slot] = window;
  return true;
}

GraphTrendPlot* graphPlot(HWND window) { return IsWindow(window) ? plotOf(window, slotOf(window)) : nullptr; }

bool graphWindowOpen(int slot) { return slot >= 0 && slot < PLOT_TABLE_SIZE && slotWindows[slot] != nullptr; }

void saveOpenGraphs() {
  MeterSettings* s = meterSettings.load();
  if (!s) return;
  for (int slot = 0; slot < PLOT_TABLE_SIZE; ++slot) {
    GraphTrendPlot* plot = plotTable[slot];
    if (!plot) continue;
    storeWindowRect(plot->window, *s, slot);
    writeSettings(*s);
    storeView(plot->window, *plot, *s, slot);
  }
}
