// The graph window's context menu, its rename dialog and the colour choice.
#include <windows.h>
#include <commdlg.h>

#include <algorithm>

#include "graphs/graph_trend_plot_win.h"
#include "graphs/graph_window_win.h"
#include "graphs/plot_geometry.h"
#include "resource.h"
#include "settings/meter_settings.h"
#include "settings/settings_file.h"
#include "shell/config_dialogs_win.h"

namespace {

constexpr int TITLE_LIMIT = 255;  // 254 characters and the NUL
constexpr int CUSTOM_COLOURS = 16;  // the colour dialog's custom colours

int slotOf(HWND window) {
  const LONG_PTR slot = GetWindowLongPtrW(window, DWLP_USER);
  return slot >= 0 && slot < GRAPH_SLOTS ? static_cast<int>(slot) : -1;
}

void toWide(const char* cp1251, wchar_t* out, int size) {
  out[0] = 0;
  MultiByteToWideChar(1251, 0, cp1251, -1, out, size - 1);
  out[size - 1] = 0;
}

INT_PTR CALLBACK renameProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  HWND owner = GetWindow(dialog, GW_OWNER);
  switch (message) {
    case WM_INITDIALOG: {
      ShowWindow(dialog, SW_SHOW);
      wchar_t title[TITLE_LIMIT] = {};
      GetWindowTextW(owner, title, TITLE_LIMIT);
      SetDlgItemTextW(dialog, IDC_PLOT_NAME, title);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        wchar_t title[TITLE_LIMIT] = {};
        GetDlgItemTextW(dialog, IDC_PLOT_NAME, title, TITLE_LIMIT);
        SetWindowTextW(owner, title);
        MeterSettings* s = meterSettings.load();
        const int slot = slotOf(owner);
        if (s && slot >= 0) {
          char bytes[PLOT_NAME_SIZE] = {};
          WideCharToMultiByte(1251, 0, title, -1, bytes, PLOT_NAME_SIZE - 1, nullptr, nullptr);
          lstrcpynA(s->plotName[slot], bytes, PLOT_NAME_SIZE);
          writeSettings(*s);
        }
        SendMessageW(dialog, WM_CLOSE, 0, 0);
      } else if (LOWORD(wParam) == IDCANCEL) {
        SendMessageW(dialog, WM_CLOSE, 0, 0);
      }
      return TRUE;
    case WM_CLOSE:
      EndDialog(dialog, 0);
      return TRUE;
  }
  return FALSE;
}

}  // namespace

void fillContextMenu(GraphTrendPlot& plot, int area, HMENU popup) {
  if (area == 3) {
    AppendMenuW(popup, MF_STRING, CMD_RENAME_GRAPH, L"Переименовать график...");
    AppendMenuW(popup, MF_STRING, CMD_SAVE_PICTURE, L"Сохранить как рисунок...");
    return;
  }
  const MeterSettings* s = meterSettings.load();
  if ((area != 1 && area != 2) || !s) return;
  for (int k = 0; k < TRACE_COUNT; ++k) {
    const int c = s->chPlot[TRACE_COUNT * plot.graphSlot + k];
    if (c <= 0 || c > INPUT_CHANNELS) continue;
    wchar_t name[SETTINGS_TEXT_SIZE], unit[SETTINGS_TEXT_SIZE], item[2 * SETTINGS_TEXT_SIZE + 16];
    toWide(s->channelName[c], name, SETTINGS_TEXT_SIZE);
    toWide(s->unitText[c], unit, SETTINGS_TEXT_SIZE);
    wsprintfW(item, L"#%d:%s,%s", k + 1, name, unit);
    AppendMenuW(popup, MF_STRING, CMD_RENAME_GRAPH + 1 + 100 * area + k, item);
  }
}

// One menu at a time: it is destroyed as soon as its tracking ends, whether
// or not the button's release reaches the window.
void openContextMenu(HWND window, GraphTrendPlot& plot, int x, int y) {
  static bool open = false;
  const int area = menuArea(x, y, plot.plotArea, plot.hitRects[HIT_LEFT_STRIP], plot.hitRects[HIT_RIGHT_STRIP]);
  if (area == 0 || open) return;
  HMENU bar = CreateMenu();
  HMENU popup = CreatePopupMenu();
  AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), L"");
  SendMessageW(window, WM_USER, area, reinterpret_cast<LPARAM>(popup));
  POINT p{x, y};
  ClientToScreen(window, &p);
  open = true;
  TrackPopupMenu(popup, TPM_LEFTBUTTON, p.x, p.y, 0, window, nullptr);
  open = false;
  DestroyMenu(bar);  // and the popup with it
}

void renameGraph(HWND window) {
  DialogBoxParamW(GetModuleHandleW(nullptr), L"NAMEPLOT", window, renameProc, 0);
}

void chooseTraceColour(HWND window, GraphTrendPlot& plot, int x, int y) {
  int k = 0;
  while (k < TRACE_COUNT && (plot.hitRects[k].width() == 0 || !plot.hitRects[k].contains(x, y))) ++k;
  if (k == TRACE_COUNT) {
    plot.repaint();
    return;
  }
  // The dialog lets the program run on, which may delete the plot: it works on
  // a copy of the colours, and its answer goes to the window's plot of then.
  COLORREF colours[CUSTOM_COLOURS];
  std::copy_n(plot.traceColour, CUSTOM_COLOURS, colours);
  CHOOSECOLORW cc{};
  cc.lStructSize = sizeof cc;
  cc.hwndOwner = window;
  cc.rgbResult = colours[k];
  cc.lpCustColors = colours;  // custom colours changed here recolour those traces
  cc.Flags = CC_RGBINIT | CC_FULLOPEN | CC_ENABLEHOOK;
  cc.lpfnHook = centerCommonDialog;
  const bool chosen = ChooseColorW(&cc);
  GraphTrendPlot* now = graphPlot(window);
  if (!now) return;
  if (chosen) {
    std::copy_n(colours, CUSTOM_COLOURS, now->traceColour);
    now->traceColour[k] = cc.rgbResult;
    now->setColours(now->traceColour, SCREEN_PEN_WIDTH);
    if (MeterSettings* s = meterSettings.load()) {
      s->colPlot[now->graphSlot][k] = static_cast<int32_t>(cc.rgbResult);
      writeSettings(*s);
    }
  }
  now->repaint();
}
