// The channel settings dialog: a modal "TOOLS" dialog over one panel, with a
// keypad that types into the field last made active. The rules of the fields
// live in channel_settings.h; this file moves texts between them and the window.
#include "panels/channel_settings_dialog_win.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <utility>

#include "controls/control_styler_win.h"
#include "graphs/plot_table.h"
#include "panels/channel_panel_win.h"
#include "panels/channel_settings.h"
#include "resource.h"
#include "settings/settings_file.h"
#include "shell/app_win.h"

class ChannelSettingsDialog;

namespace {

constexpr COLORREF TOGGLE_ON_COLOUR = RGB(0, 128, 0);
constexpr COLORREF TOGGLE_OFF_COLOUR = RGB(160, 160, 160);
constexpr int FIELD_TEXT_SIZE = 255;
constexpr int FITTED_FONT_LIMIT = 16;
// What the fields must show whole: the keypad's eight characters, a name or unit
// of six wide letters.
constexpr wchar_t NUMBER_SAMPLE[] = L"-0.00000";
constexpr wchar_t TEXT_SAMPLE[] = L"ЖЖЖЖЖЖ";
// Gain codes 1-4 in button order.
constexpr int GAIN_BUTTON_IDS[GAIN_BUTTONS] = {IDC_TOOLS_GAIN1, IDC_TOOLS_GAIN2, IDC_TOOLS_GAIN3, IDC_TOOLS_GAIN4};

struct LimitRow {
  int32_t ChannelSettingsDialog::*enabled;
  int field;
  int button;
  float ChannelPanel::*value;
};

}  // namespace

class ChannelSettingsDialog {
 public:
  explicit ChannelSettingsDialog(ChannelPanel* panel) : panel(panel) {
    channel = panel && panel->visible.load() ? panel->channel.load() : 0;
  }
  INT_PTR handle(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

  int32_t activeEdit = 0;
  int32_t refEnabled = 0;
  int32_t minEnabled = 0;
  int32_t maxEnabled = 0;
  HFONT keypadFont = nullptr;

 private:
  void initialise();
  void updateLimitFields(bool fill);
  void onCommand(int id, int notification);
  void toggle(int32_t& enabled, int field);
  bool apply();
  bool refuse(int field, const wchar_t* text) const;
  void fitFonts();
  HFONT kept(HFONT font);  // held for deletion with the dialog; null if none
  std::string fieldText(int id, UINT codePage = CP_ACP) const;
  void setFieldText(int id, const std::string& text) const;

  ChannelPanel* panel;
  int channel = 0;
  HWND window = nullptr;
  std::string shownK, shownB;
  std::string shownLimits[3];  // by LIMIT_ROWS, "" for a row that opened off
  HFONT fittedFonts[FITTED_FONT_LIMIT] = {};
};

namespace {

// In the order the dialog fills them: reference, lower limit, upper limit.
const LimitRow LIMIT_ROWS[] = {
    {&ChannelSettingsDialog::refEnabled, IDC_TOOLS_REF_FIELD, IDC_TOOLS_REF, &ChannelPanel::refValue},
    {&ChannelSettingsDialog::minEnabled, IDC_TOOLS_MIN_FIELD, IDC_TOOLS_MIN, &ChannelPanel::minValue},
    {&ChannelSettingsDialog::maxEnabled, IDC_TOOLS_MAX_FIELD, IDC_TOOLS_MAX, &ChannelPanel::maxValue},
};

MeterSettings& settings() { return *meterSettings.load(); }

bool isKey(int id) { return id >= IDC_TOOLS_KEY0 && id <= IDC_TOOLS_MINUS; }
char keyCharacter(int id) {
  if (id == IDC_TOOLS_POINT) return '.';
  if (id == IDC_TOOLS_MINUS) return '-';
  return static_cast<char>('0' + (id - IDC_TOOLS_KEY0));
}

// Fonts sized from the screen width outgrow controls sized in dialog units on a
// wide screen: a copy of the font no larger than lets sample fit the control's
// client area (less a margin), or null when the font fits as it is.
HFONT fittedFont(HWND control, const wchar_t* sample, HFONT font) {
  LOGFONTW shape{};
  RECT area;
  if (!control || !font || !GetObjectW(font, sizeof shape, &shape) || !GetClientRect(control, &area)) return nullptr;
  const int width = area.right - 4, height = area.bottom;
  HDC dc = GetDC(control);
  HFONT fitted = nullptr;
  for (int tries = 0; tries < 8 && shape.lfHeight != 0; ++tries) {
    HFONT candidate = tries == 0 ? font : CreateFontIndirectW(&shape);
    HGDIOBJ old = SelectObject(dc, candidate);
    SIZE size{};
    GetTextExtentPoint32W(dc, sample, static_cast<int>(wcslen(sample)), &size);
    SelectObject(dc, old);
    if (size.cx <= width && size.cy <= height) {
      fitted = tries == 0 ? nullptr : candidate;
      break;
    }
    if (tries > 0) DeleteObject(candidate);
    // Scale down by the larger overshoot, by one pixel at least.
    const int magnitude = shape.lfHeight < 0 ? -shape.lfHeight : shape.lfHeight;
    const int scaled = std::min(MulDiv(magnitude, width, std::max<int>(size.cx, 1)),
                                MulDiv(magnitude, height, std::max<int>(size.cy, 1)));
    const int next = std::max(1, std::min(scaled, magnitude - 1));
    shape.lfHeight = shape.lfHeight < 0 ? -next : next;
    shape.lfWidth = 0;
  }
  ReleaseDC(control, dc);
  return fitted;
}

INT_PTR CALLBACK dialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (const INT_PTR styled = styleDialogMessage(dialog, message, wParam, lParam)) return styled;
  if (message == WM_INITDIALOG) SetWindowLongPtrW(dialog, DWLP_USER, lParam);
  auto* self = reinterpret_cast<ChannelSettingsDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
  return self ? self->handle(dialog, message, wParam, lParam) : FALSE;
}

}  // namespace

std::string ChannelSettingsDialog::fieldText(int id, UINT codePage) const {
  wchar_t wide[FIELD_TEXT_SIZE] = {};
  GetDlgItemTextW(window, id, wide, FIELD_TEXT_SIZE);
  char narrow[FIELD_TEXT_SIZE * 2] = {};
  WideCharToMultiByte(codePage, 0, wide, -1, narrow, sizeof narrow - 1, nullptr, nullptr);
  return narrow;
}

void ChannelSettingsDialog::setFieldText(int id, const std::string& text) const {
  wchar_t wide[FIELD_TEXT_SIZE] = {};
  MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide, FIELD_TEXT_SIZE - 1);
  SetDlgItemTextW(window, id, wide);
}

void ChannelSettingsDialog::initialise() {
  MeterSettings& s = settings();
  wchar_t caption[64];
  swprintf(caption, 64, L"Настройка канала %d", channel);
  SetWindowTextW(window, caption);

  currentDialog = window;
  keypadFont = CreateFontW(GetSystemMetrics(SM_CXFULLSCREEN) / 40, 0, 0, 0, 800, FALSE, FALSE, FALSE, 0,
                           OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, PROOF_QUALITY, DEFAULT_PITCH, L"Arial Cyr");
  fitFonts();

  refEnabled = panel->refActive;
  minEnabled = panel->minActive;
  maxEnabled = panel->maxActive;
  shownK = formatK(sharedLoad(s.channelK[channel]));
  shownB = formatB(sharedLoad(s.channelB[channel]));
  setFieldText(IDC_TOOLS_K, shownK);
  setFieldText(IDC_TOOLS_B, shownB);
  wchar_t text[SETTINGS_TEXT_SIZE + 1] = {};
  MultiByteToWideChar(1251, 0, s.unitText[channel], static_cast<int>(strnlen(s.unitText[channel], SETTINGS_TEXT_SIZE)),
                      text, SETTINGS_TEXT_SIZE);
  SetDlgItemTextW(window, IDC_TOOLS_UNIT, text);
  wmemset(text, 0, SETTINGS_TEXT_SIZE + 1);
  MultiByteToWideChar(1251, 0, s.channelName[channel],
                      static_cast<int>(strnlen(s.channelName[channel], SETTINGS_TEXT_SIZE)), text, SETTINGS_TEXT_SIZE);
  SetDlgItemTextW(window, IDC_TOOLS_NAME, text);
  SetDlgItemInt(window, IDC_TOOLS_INTERVAL, static_cast<UINT>(sharedLoad(s.Interval[channel])), FALSE);
  updateLimitFields(true);

  HWND outputs = GetDlgItem(window, IDC_TOOLS_OUTPUT);
  SendMessageW(outputs, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Нет"));
  const int32_t width = sharedLoad(s.nDO);
  for (int n = 1; n <= width; ++n) {
    swprintf(text, 8, L"%02d", n);
    SendMessageW(outputs, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
  }
  for (int n = 1; n <= CHANNEL_COUNT; ++n) {
    swprintf(text, 8, L"K%02d", n);
    SendDlgItemMessageW(window, IDC_TOOLS_B, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
  }
  const int32_t npk = sharedLoad(s.NPK[channel]);
  SendMessageW(outputs, CB_SETCURSEL, npk <= width && npk > 0 ? npk : 0, 0);
  // Adding the list items must not replace the B text with an item.
  setFieldText(IDC_TOOLS_B, shownB);

  const int32_t kadc = sharedLoad(s.Kadc[channel]);
  for (int g = 1; g <= GAIN_BUTTONS; ++g) {
    SetDlgItemInt(window, GAIN_BUTTON_IDS[g - 1], static_cast<UINT>(engineGainFactor(g)), TRUE);
    CheckDlgButton(window, GAIN_BUTTON_IDS[g - 1], kadc == g ? BST_CHECKED : BST_UNCHECKED);
  }
  activeEdit = 0;
}

void ChannelSettingsDialog::updateLimitFields(bool fill) {
  currentDialog = window;
  for (const LimitRow& row : LIMIT_ROWS) {
    HWND field = GetDlgItem(window, row.field);
    if (this->*row.enabled) {
      editStyler.attach(field);
      EnableWindow(field, TRUE);
      if (fill) {
        shownLimits[&row - LIMIT_ROWS] = formatLimit(panel->*row.value);
        setFieldText(row.field, shownLimits[&row - LIMIT_ROWS]);
        editStyler.refresh(field);
      }
      buttonStyler.setTextColour(row.button, TOGGLE_ON_COLOUR);
    } else {
      editStyler.detach(field);
      EnableWindow(field, FALSE);
      buttonStyler.setTextColour(row.button, TOGGLE_OFF_COLOUR);
      SetWindowTextW(field, L"");
      editStyler.refresh(field);
    }
  }
}

void ChannelSettingsDialog::toggle(int32_t& enabled, int field) {
  enabled = !enabled;
  updateLimitFields(false);
  activeEdit = enabled ? field : 0;
}

void ChannelSettingsDialog::onCommand(int id, int notification) {
  if (id == IDC_TOOLS_K || id == IDC_TOOLS_B || id == IDC_TOOLS_INTERVAL) {
    activeEdit = id;
    return;
  }
  if (id == IDC_TOOLS_REF_FIELD || id == IDC_TOOLS_MIN_FIELD || id == IDC_TOOLS_MAX_FIELD) {
    if (notification == EN_SETFOCUS) activeEdit = id;
    return;
  }
  if (isKey(id)) {
    if (activeEdit == 0) return;
    const std::string text = fieldText(activeEdit);
    if (text.size() < KEYPAD_MAX_LENGTH) setFieldText(activeEdit, keypadAppend(text, keyCharacter(id)));
  } else if (id == IDC_TOOLS_BACKSPACE) {
    if (activeEdit == 0) return;
    const std::string text = fieldText(activeEdit);
    if (!text.empty()) setFieldText(activeEdit, keypadBackspace(text));
  } else if (id == IDC_TOOLS_REF) {
    toggle(refEnabled, IDC_TOOLS_REF_FIELD);
  } else if (id == IDC_TOOLS_MIN) {
    toggle(minEnabled, IDC_TOOLS_MIN_FIELD);
  } else if (id == IDC_TOOLS_MAX) {
    toggle(maxEnabled, IDC_TOOLS_MAX_FIELD);
  } else if (id == IDC_TOOLS_OK) {
    if (apply()) EndDialog(window, IDOK);
  }
  // Enter and Escape (IDOK, IDCANCEL) and the rest: nothing.
}

// The field is marked (focused, its text selected) under a notice; the dialog stays open.
bool ChannelSettingsDialog::refuse(int field, const wchar_t* text) const {
  MessageBoxW(window, text, L"Ошибка", MB_OK | MB_ICONWARNING);
  HWND control = GetDlgItem(window, field);
  SetFocus(control);
  SendMessageW(control, EM_SETSEL, 0, -1);
  return false;
}

// Nothing is applied while a field holds what the configuration cannot keep.
bool ChannelSettingsDialog::apply() {
  MeterSettings& s = settings();
  ChannelForm form;
  for (int g = 1; g <= GAIN_BUTTONS; ++g)
    if (IsDlgButtonChecked(window, GAIN_BUTTON_IDS[g - 1]) == BST_CHECKED) form.gainCode = g;
  form.k = fieldText(IDC_TOOLS_K);
  form.b = fieldText(IDC_TOOLS_B);
  form.unit = fieldText(IDC_TOOLS_UNIT, 1251);
  form.name = fieldText(IDC_TOOLS_NAME, 1251);
  form.interval = fieldText(IDC_TOOLS_INTERVAL);
  form.output = static_cast<int>(SendDlgItemMessageW(window, IDC_TOOLS_OUTPUT, CB_GETCURSEL, 0, 0));
  if (form.output < 0) form.output = 0;
  form.shownK = shownK;
  form.shownB = shownB;
  if (!storableText(form.unit)) return refuse(IDC_TOOLS_UNIT, L"Символ «|» в единице измерения недопустим.");
  if (!storableText(form.name)) return refuse(IDC_TOOLS_NAME, L"Символ «|» в наименовании недопустим.");
  float limits[3] = {};
  for (const LimitRow& row : LIMIT_ROWS) {
    const size_t i = &row - LIMIT_ROWS;
    if (!(this->*row.enabled)) continue;
    if (!readLimit(fieldText(row.field), shownLimits[i], panel->*row.value, &limits[i])) {
      wchar_t caption[8] = {}, text[96];
      GetDlgItemTextW(window, row.button, caption, 8);
      swprintf(text, 96, L"В поле «%ls» должно быть число меньше 1e+10.", caption);
      return refuse(row.field, text);
    }
  }
  const bool changed = applyChannelForm(s, channel, form);

  HWND panelWindow = panel->window();
  const int commands[] = {PANEL_SET_REF, PANEL_SET_MIN, PANEL_SET_MAX};  // in LIMIT_ROWS order
  for (const LimitRow& row : LIMIT_ROWS) {
    const size_t i = &row - LIMIT_ROWS;
    const bool on = this->*row.enabled != 0;
    sendPanelCommand(panelWindow, commands[i], on ? 1 : 0, floatArgument(on ? limits[i] : 0.0f));
  }
  currentDialog = window;
  writeSettings(s);
  if (changed) rebuildPlotsShowingChannel(channel);
  return true;
}

HFONT ChannelSettingsDialog::kept(HFONT font) {
  if (!font) return nullptr;
  for (HFONT& slot : fittedFonts)
    if (!slot) return slot = font;
  DeleteObject(font);
  return nullptr;
}

// Every key, field and the B list show their whole text on a wide screen too.
void ChannelSettingsDialog::fitFonts() {
  currentDialog = window;
  HFONT digits = kept(fittedFont(GetDlgItem(window, IDC_TOOLS_KEY0), L"0", keypadFont));
  for (int id = IDC_TOOLS_KEY0; id <= IDC_TOOLS_MINUS; ++id) buttonStyler.setFont(id, digits ? digits : keypadFont);
  HFONT ok = kept(fittedFont(GetDlgItem(window, IDC_TOOLS_OK), L"OK", keypadFont));
  buttonStyler.setFont(IDC_TOOLS_OK, ok ? ok : keypadFont);
  if (HFONT f = kept(fittedFont(GetDlgItem(window, IDC_TOOLS_BACKSPACE), L"BackSp", buttonStyler.defaultFont())))
    buttonStyler.setFont(IDC_TOOLS_BACKSPACE, f);
  for (int id : {IDC_TOOLS_K, IDC_TOOLS_INTERVAL, IDC_TOOLS_REF_FIELD, IDC_TOOLS_MIN_FIELD, IDC_TOOLS_MAX_FIELD,
                 IDC_TOOLS_NAME, IDC_TOOLS_UNIT}) {
    const wchar_t* sample = id == IDC_TOOLS_NAME || id == IDC_TOOLS_UNIT ? TEXT_SAMPLE : NUMBER_SAMPLE;
    if (HFONT f = kept(fittedFont(GetDlgItem(window, id), sample, editStyler.defaultFont()))) editStyler.setFont(id, f);
  }
  // The B list is not styled: its edit part shows the dialog's font.
  HWND b = GetDlgItem(window, IDC_TOOLS_B);
  COMBOBOXINFO list{};
  list.cbSize = sizeof list;
  if (!GetComboBoxInfo(b, &list)) return;
  if (HFONT f = kept(fittedFont(list.hwndItem, NUMBER_SAMPLE, reinterpret_cast<HFONT>(SendMessageW(b, WM_GETFONT, 0, 0)))))
    SendMessageW(b, WM_SETFONT, reinterpret_cast<WPARAM>(f), TRUE);
}

INT_PTR ChannelSettingsDialog::handle(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      window = dialog;
      initialise();
      return TRUE;
    case WM_COMMAND:
      onCommand(LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_CLOSE:  // the close box applies nothing
      EndDialog(dialog, IDCANCEL);
      return TRUE;
    case WM_DESTROY:
      if (keypadFont) DeleteObject(keypadFont);
      keypadFont = nullptr;
      for (HFONT& font : fittedFonts) {
        if (font) DeleteObject(font);
        font = nullptr;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

void runChannelSettingsDialog(HWND owner, int panelIndex) {
  if (panelIndex < 0 || panelIndex >= PANEL_COUNT || meterSettings.load() == nullptr) return;
  auto* panel = static_cast<ChannelPanel*>(panelTable[panelIndex]);
  if (panel == nullptr) return;
  ChannelSettingsDialog dialog(panel);
  DialogBoxParamW(GetModuleHandleW(nullptr), L"TOOLS", owner, dialogProcedure, reinterpret_cast<LPARAM>(&dialog));
}
