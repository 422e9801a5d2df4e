#include "panels/channel_panel_win.h"

#include <algorithm>

#include "acquisition/trace_log.h"
#include "controls/control_styler_win.h"
#include "graphs/plot_table.h"
#include "panels/channel_settings_dialog_win.h"
#include "panels/panel_layout.h"
#include "panels/reading_font_win.h"
#include "resources/resource.h"
#include "settings/meter_settings.h"
#include "settings/settings_file.h"

int toolsPanelIndex = 0;

namespace {

constexpr COLORREF AC_ON_COLOUR = RGB(0, 64, 0);
constexpr COLORREF AC_OFF_COLOUR = RGB(192, 192, 192);
constexpr COLORREF LIMIT_BUTTON_COLOUR = RGB(160, 160, 160);
constexpr COLORREF FIELD_OFF_COLOUR = RGB(128, 128, 128);

// Control of each layout slot.
constexpr int SLOT_IDS[PANEL_SLOT_COUNT] = {
    IDC_PANEL_OUTPUT,    IDC_PANEL_VALUE,     IDC_PANEL_UNIT,    IDC_PANEL_NAME,
    IDC_PANEL_MAX_FIELD, IDC_PANEL_REF_FIELD, IDC_PANEL_MIN_FIELD, IDC_PANEL_ABS_FIELD,
    IDC_PANEL_MAX,       IDC_PANEL_NUMBER,    IDC_PANEL_REC,     IDC_PANEL_REF,
    IDC_PANEL_MIN,       IDC_PANEL_AC,        IDC_PANEL_SETTINGS,
};

HFONT makeFont(int height, int width, int weight, const wchar_t* face) {
  return CreateFontW(height, width, 0, 0, weight, FALSE, FALSE, FALSE, 0, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                     PROOF_QUALITY, DEFAULT_PITCH, face);
}

LayoutSize textExtent(HDC dc, HFONT font, const wchar_t* text) {
  HGDIOBJ old = SelectObject(dc, font);
  SIZE size{};
  GetTextExtentPoint32W(dc, text, lstrlenW(text), &size);
  SelectObject(dc, old);
  return LayoutSize{size.cx, size.cy};
}

INT_PTR CALLBACK panelProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const INT_PTR styled = styleDialogMessage(window, message, wParam, lParam);
  if (styled != 0) return styled;
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    SetTimer(window, PANEL_STARTUP_TIMER, PANEL_STARTUP_DELAY_MS, nullptr);
    return FALSE;  // a tile takes no keyboard focus
  }
  if (message == WM_CLOSE) {
    DestroyWindow(window);
    return TRUE;
  }
  auto* panel = reinterpret_cast<ChannelPanel*>(GetWindowLongPtrW(window, DWLP_USER));
  if (panel == nullptr) return FALSE;
  return panel->handleMessage(message, wParam, lParam);
}

}  // namespace

LRESULT sendPanelCommand(HWND panel, int command, int flag, LPARAM argument) {
  return SendMessageW(panel, WM_USER, panelCommandParam(command, flag), argument);
}

ChannelPanel* createPanel(HINSTANCE instance, HWND parent) { return new ChannelPanel(instance, parent); }

ChannelPanel::ChannelPanel(HINSTANCE moduleInstance, HWND parent) : parentWindow(parent), instance(moduleInstance) {
  panelBrush = CreateSolidBrush(RGB(212, 208, 200));
  const int fullWidth = GetSystemMetrics(SM_CXFULLSCREEN);
  screenWidth = fullWidth - 2 * GetSystemMetrics(SM_CXBORDER);
  screenHeight = GetSystemMetrics(SM_CYFULLSCREEN) - 2 * GetSystemMetrics(SM_CYBORDER) - GetSystemMetrics(SM_CYCAPTION);
  valueFont = makeFont(fullWidth / 72, fullWidth / 72, 800, readingFontFace());
  numberFont = makeFont(fullWidth / 60, fullWidth / 92, 999, L"Arial Cyr");
  tildeFont = makeFont(fullWidth / 32, fullWidth / 92, 400, L"Arial Cyr");

  registerOwnDcStatic(instance);
  HWND window = CreateDialogParamW(instance, L"PANEL", parentWindow, panelProcedure, reinterpret_cast<LPARAM>(this));
  panelWindow = window;
  if (window == nullptr) return;
  numberBrush = CreateSolidBrush(RGB(160, 160, 160));
  styleControls();
}

ChannelPanel::~ChannelPanel() {
  HWND window = this->window();
  if (window != nullptr && IsWindow(window)) {
    // Normally gone with the main window; never leave it pointing at us.
    SetWindowLongPtrW(window, DWLP_USER, 0);
    DestroyWindow(window);
  }
  panelWindow = nullptr;
  DeleteObject(panelBrush);
  if (numberBrush) DeleteObject(numberBrush);
  bar.reset();
  DeleteObject(numberFont);
  DeleteObject(tildeFont);
  DeleteObject(valueFont);
}

void ChannelPanel::selectForStyling() const {
  // Styler lookups are relative to the dialog they last saw.
  styleDialogMessage(window(), WM_NULL, 0, 0);
}

void ChannelPanel::styleControls() {
  selectForStyling();
  staticStyler.setTextColour(IDC_PANEL_VALUE, RGB(255, 255, 0));
  staticStyler.setBackground(IDC_PANEL_VALUE, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  staticStyler.setFont(IDC_PANEL_VALUE, valueFont);
  for (int id : {IDC_PANEL_REF_FIELD, IDC_PANEL_MIN_FIELD, IDC_PANEL_MAX_FIELD, IDC_PANEL_ABS_FIELD}) {
    staticStyler.setTextColour(id, FIELD_OFF_COLOUR);
    staticStyler.setBackground(id, panelBrush);
  }
  staticStyler.setFont(IDC_PANEL_OUTPUT, numberFont);
  staticStyler.setTextColour(IDC_PANEL_NUMBER, RGB(255, 255, 255));
  staticStyler.setBackground(IDC_PANEL_NUMBER, numberBrush);
  buttonStyler.setTextColour(IDC_PANEL_REF, LIMIT_BUTTON_COLOUR);
  buttonStyler.setTextColour(IDC_PANEL_MIN, LIMIT_BUTTON_COLOUR);
  buttonStyler.setTextColour(IDC_PANEL_MAX, LIMIT_BUTTON_COLOUR);
  buttonStyler.setTextColour(IDC_PANEL_AC, AC_OFF_COLOUR);
  buttonStyler.setFont(IDC_PANEL_AC, tildeFont);
}

void ChannelPanel::placePanel(int newColumn, int newRow, int newChannel) {
  HWND window = this->window();
  // currentValues and the settings' channel arrays hold channels 1-32 only.
  if (window == nullptr || newChannel < 1 || newChannel > PANEL_COUNT) return;
  // Samples kept from before a hide, or of another channel, are no part of
  // what the panel now shows: its first reading averages fresh ones.
  if (!visible || channel != newChannel) {
    sampleCount = 0;
    sampleOverwrite = 0;
  }
  channel = newChannel;
  column = newColumn;
  row = newRow;

  PanelLayoutInput in;
  in.screenWidth = screenWidth;
  in.screenHeight = screenHeight;
  in.frameX = GetSystemMetrics(SM_CXDLGFRAME);
  in.frameY = GetSystemMetrics(SM_CYDLGFRAME);
  in.column = newColumn;
  in.row = newRow;
  const LayoutRect cell = computePanelLayout(in).panel;

  sendPanelCommand(window, PANEL_SHOW_NUMBER, 0, newChannel);
  readingState = 0;  // nothing shown for this channel yet
  visible = 1;
  if (timerResting) {
    timerResting = false;
    onTimer(PANEL_STARTUP_TIMER);  // sets the refresh timer to the channel's interval
  }
  MoveWindow(window, cell.x, cell.y, cell.width, cell.height, TRUE);
  ShowWindow(window, SW_SHOWNORMAL);
  UpdateWindow(window);

  selectForStyling();
  HDC dc = GetDC(window);
  in.valueExtent = textExtent(dc, valueFont, L"-00.0000");
  in.numberExtent = textExtent(dc, numberFont, L"00");
  const int fieldEntry = staticStyler.findEntry(IDC_PANEL_REF_FIELD);
  HFONT fieldFont = fieldEntry < staticStyler.entryCount() ? staticStyler.entryFont(fieldEntry) : staticStyler.defaultFont();
  in.fieldExtent = textExtent(dc, fieldFont, L"-00.0000");
  ReleaseDC(window, dc);

  const PanelLayout layout = computePanelLayout(in);
  bar = std::make_unique<LimitBarWindow>(window, layout.barArea);
  for (int slot = 0; slot < PANEL_SLOT_COUNT; ++slot) {
    const LayoutRect& r = layout.controls[slot];
    MoveWindow(GetDlgItem(window, SLOT_IDS[slot]), r.x, r.y, r.width, r.height, TRUE);
  }
  for (int id : {IDC_PANEL_MAX_FIELD, IDC_PANEL_REF_FIELD, IDC_PANEL_MIN_FIELD, IDC_PANEL_ABS_FIELD})
    SetDlgItemTextW(window, id, L"");

  selectForStyling();
  buttonStyler.setImage(IDC_PANEL_SETTINGS, L"SETTINGS", 1);
  // The key pictures were made at the template's sizes: compose them anew.
  for (int id : {IDC_PANEL_REF, IDC_PANEL_MAX, IDC_PANEL_MIN, IDC_PANEL_AC}) {
    if (buttonStyler.findEntry(id) < buttonStyler.entryCount()) buttonStyler.composeButtonImage();
  }
  restoreLimits();

  MeterSettings* settings = meterSettings.load();
  const bool ac = settings != nullptr && sharedLoad(settings->ACmode[newChannel]) != 0;
  selectForStyling();
  buttonStyler.setTextColour(IDC_PANEL_AC, ac ? AC_ON_COLOUR : AC_OFF_COLOUR);
  traceText(">");
  ready = 1;
}

void ChannelPanel::restoreLimits() {
  MeterSettings* settings = meterSettings.load();
  if (settings == nullptr) return;
  const int c = channel;
  const float ref = settings->refLevel[c];
  if ((ref < LIMIT_UNSET) != (refActive != 0)) toggleRef(ref);
  else if (refActive) refValue = ref;
  const float low = settings->minLimit[c];
  if ((low < LIMIT_UNSET) != (minActive != 0)) toggleMin(low);
  else if (minActive) minValue = low;
  const float high = settings->maxLimit[c];
  if ((high < LIMIT_UNSET) != (maxActive != 0)) toggleMax(high);
  else if (maxActive) maxValue = high;
}

void ChannelPanel::hidePanel() {
  visible = 0;
  ShowWindow(window(), SW_HIDE);
}

INT_PTR ChannelPanel::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED) onButton(LOWORD(wParam));
      return TRUE;
    case WM_TIMER:
      onTimer(wParam);
      return TRUE;
    case WM_USER:
      command(LOWORD(wParam), HIWORD(wParam), lParam);
      SetWindowLongPtrW(window(), DWLP_MSGRESULT, 0);
      return TRUE;
    case WM_PAINT: {
      // The bar is drawn outside any control: put it back after the panel
      // has been repainted, not only at the next refresh.
      PAINTSTRUCT paint;
      BeginPaint(window(), &paint);
      EndPaint(window(), &paint);
      if (bar && ready && visible) bar->repaintBar();
      return TRUE;
    }
    case WM_DESTROY:
      panelWindow = nullptr;  // the engine stops sending to it
      return FALSE;
    default:
      return FALSE;
  }
}

void ChannelPanel::onTimer(UINT_PTR id) {
  HWND window = this->window();
  if (id == PANEL_REFRESH_TIMER && !visible) {
    // A hidden panel collects nothing and has nothing to refresh: its timer
    // rests until the panel is placed again.
    KillTimer(window, id);
    refreshPeriod = 0;
    timerResting = true;
    return;
  }
  if (id != PANEL_STARTUP_TIMER && ready) refreshPanel();
  MeterSettings* settings = meterSettings.load();
  const int index = visible ? channel.load() : 0;
  const int interval = settings != nullptr ? settings->Interval[index] : 0;
  const UINT period = interval > 0 ? static_cast<UINT>(interval) : PANEL_FALLBACK_INTERVAL_MS;
  // The refresh timer keeps running at its period; it is set again only when
  // the interval changed (each timer call is a round trip to the window system).
  if (id == PANEL_REFRESH_TIMER && period == refreshPeriod) return;
  KillTimer(window, id);
  SetTimer(window, PANEL_REFRESH_TIMER, period, nullptr);
  refreshPeriod = period;
}

void ChannelPanel::onButton(int id) {
  HWND window = this->window();
  switch (id) {
    case IDC_PANEL_REF:
      toggleRef(mean);
      // A new or cleared reference invalidates both limits.
      sendPanelCommand(window, PANEL_CLEAR_LIMITS);
      break;
    case IDC_PANEL_MAX:
      toggleMax(refActive ? mean - refValue : mean);
      break;
    case IDC_PANEL_MIN:
      toggleMin(refActive ? mean - refValue : mean);
      break;
    case IDC_PANEL_SETTINGS: {
      const auto found = std::find(panelTable, panelTable + PANEL_COUNT, static_cast<PanelState*>(this));
      toolsPanelIndex = static_cast<int>(found - panelTable);
      runChannelSettingsDialog(window, toolsPanelIndex);
      break;
    }
    case IDC_PANEL_AC: {
      MeterSettings* settings = meterSettings.load();
      if (settings == nullptr) return;
      const int index = visible ? channel.load() : 0;
      const int32_t ac = sharedLoad(settings->ACmode[index]) != 0 ? 0 : 1;
      sharedStore(settings->ACmode[index], ac);
      writeSettings(*settings);
      selectForStyling();
      buttonStyler.setTextColour(IDC_PANEL_AC, ac ? AC_ON_COLOUR : AC_OFF_COLOUR);
      break;
    }
    default:
      return;
  }
  sendPanelCommand(window, PANEL_REPAINT_GRAPHS);
}
