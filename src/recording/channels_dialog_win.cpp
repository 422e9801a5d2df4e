#include "recording/channels_dialog_win.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "acquisition/acquisition_state.h"
#include "eventlog/event_log_win.h"
#include "panels/channel_panel_win.h"
#include "panels/panel_table.h"
#include "recording/record_interval.h"
#include "recording/recorder.h"
#include "resource.h"
#include "settings/cp1251_literal.h"
#include "settings/meter_settings.h"
#include "settings/settings_file.h"
#include "shell/app_win.h"

namespace {

bool dialogOpen = false;
HWND openDialog = nullptr;
HBITMAP recImage = nullptr;
HBITMAP stopImage = nullptr;
char shownInterval[16] = {};  // the interval field's text as the refresh left it

MeterSettings& settings() { return *meterSettings.load(); }
ChannelPanel* panelAt(int p) { return static_cast<ChannelPanel*>(panelTable[p - 1]); }
Recorder* recorder() { return static_cast<Recorder*>(theRecorder.load()); }
bool recordingNow() {
  Recorder* r = recorder();
  return r && r->isRecording();
}

// Channel shown at a position: the panel's channel while it is visible.
int positionChannel(int p) {
  ChannelPanel* panel = panelAt(p);
  return panel && panel->visible.load() ? panel->channel.load() : 0;
}

// Channel the selector shows: 0 for "Нет", -1 for a typed entry matching no item.
int selectorChannel(HWND dialog, int p) {
  const LRESULT i = SendDlgItemMessageW(dialog, selectorId(p), CB_GETCURSEL, 0, 0);
  return i == CB_ERR ? -1 : static_cast<int>(i);
}

void refresh(HWND dialog);

// The refresh is called, not sent: the dialog's own WM_USER is DM_GETDEFID,
// which Enter sends, and a refresh would put the stored interval back over a
// typed one.
void mainFitAndRefresh(HWND dialog) {
  SendMessageW(GetWindow(dialog, GW_OWNER), WM_USER, 0, 0);
  refresh(dialog);
}

// A typed interval into Ftime, as the record button reads it. A field that
// holds no interval, or still the one the refresh put there (which Ftime may
// have left since), leaves Ftime as it is.
void applyInterval(HWND dialog) {
  char text[sizeof shownInterval] = {};
  GetDlgItemTextA(dialog, IDC_INTERVAL, text, sizeof text);
  int32_t ms = 0;
  if (strcmp(text, shownInterval) != 0 && readRecordInterval(text, &ms)) {
    // Never shorter than the board's frame: the refresh then shows the interval the rows really get.
    const AcquisitionState* engine = engineState();
    sharedStore(settings().Ftime, static_cast<int32_t>(recordIntervalFor(ms, engine ? engine->shortestIntervalMs.load() : 1)));
  }
}

void refresh(HWND dialog) {
  MeterSettings& s = settings();
  const bool recording = recordingNow();
  SendDlgItemMessageW(dialog, IDC_RECORD_STOP, BM_SETIMAGE, IMAGE_BITMAP,
                      reinterpret_cast<LPARAM>(recording ? stopImage : recImage));
  for (int p = 1; p <= 32; ++p) {
    const int channel = positionChannel(p);
    SendDlgItemMessageW(dialog, selectorId(p), CB_SETCURSEL, channel, 0);
    CheckDlgButton(dialog, recordBoxId(p), sharedLoad(s.FlagRec[channel]) ? BST_CHECKED : BST_UNCHECKED);
    EnableWindow(GetDlgItem(dialog, recordBoxId(p)), channel != 0 && !recording);
    EnableWindow(GetDlgItem(dialog, selectorId(p)), !recording);
  }
  for (int id : {IDC_RECORD_NONE, IDC_RECORD_ALL, IDC_SHOW_ALL, IDC_HIDE_ALL, IDC_INTERVAL, IDC_TIME_BASE,
                 IDC_MARK_SWITCHINGS})
    EnableWindow(GetDlgItem(dialog, id), !recording);
  SetDlgItemInt(dialog, IDC_INTERVAL, static_cast<UINT>(sharedLoad(s.Ftime)), FALSE);
  GetDlgItemTextA(dialog, IDC_INTERVAL, shownInterval, sizeof shownInterval);
  writeSettings(s);
}

void initialise(HWND dialog) {
  MeterSettings& s = settings();
  for (int p = 1; p <= 32; ++p) {
    HWND box = GetDlgItem(dialog, selectorId(p));
    SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Нет"));
    for (int c = 1; c <= 32; ++c) {
      wchar_t item[4];
      swprintf(item, 4, L"%02d", c);
      SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    }
  }
  ShowWindow(dialog, SW_SHOW);
  UpdateWindow(dialog);
  if (!recImage) recImage = LoadBitmapW(GetModuleHandleW(nullptr), L"REC");
  if (!stopImage) stopImage = LoadBitmapW(GetModuleHandleW(nullptr), L"STOP");
  refresh(dialog);
  const int width = sharedLoad(s.nDO);
  CheckDlgButton(dialog, IDC_WIDTH8, width == 8);
  CheckDlgButton(dialog, IDC_WIDTH16, width == 16);
  CheckDlgButton(dialog, IDC_WIDTH32, width == 32);
  CheckDlgButton(dialog, IDC_MARK_SWITCHINGS, sharedLoad(s.CheckLabel) ? BST_CHECKED : BST_UNCHECKED);
  SendDlgItemMessageW(dialog, IDC_TIME_BASE, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"От 00:00:00"));
  SendDlgItemMessageW(dialog, IDC_TIME_BASE, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Реальное"));
  SendDlgItemMessageW(dialog, IDC_TIME_BASE, CB_SETCURSEL, sharedLoad(s.TimeType), 0);
  refresh(dialog);
}

void showAll(HWND dialog) {
  MeterSettings& s = settings();
  for (int p = 1; p <= 32; ++p) {
    if (ChannelPanel* panel = panelAt(p)) panel->placePanel(panelColumn(p), panelRow(p), p);
    SendDlgItemMessageW(dialog, selectorId(p), CB_SETCURSEL, p, 0);
    sharedStore(s.Channel[p], p);
  }
  mainFitAndRefresh(dialog);
}

void hideAll(HWND dialog) {
  MeterSettings& s = settings();
  for (int p = 1; p <= 32; ++p) {
    if (ChannelPanel* panel = panelAt(p)) panel->hidePanel();
    sharedStore(s.FlagRec[p], 0);
    SendDlgItemMessageW(dialog, selectorId(p), CB_SETCURSEL, 0, 0);
    sharedStore(s.Channel[p], 0);
  }
  mainFitAndRefresh(dialog);
}

void recordAll(HWND dialog, int flag) {
  MeterSettings& s = settings();
  for (int p = 1; p <= 32; ++p) {
    const int channel = selectorChannel(dialog, p);
    if (channel <= 0) continue;
    sharedStore(s.FlagRec[channel], flag);
    CheckDlgButton(dialog, recordBoxId(p), flag ? BST_CHECKED : BST_UNCHECKED);
    if (!flag) mainFitAndRefresh(dialog);
  }
  if (flag) mainFitAndRefresh(dialog);
}

void chooseChannel(HWND dialog, int p) {
  MeterSettings& s = settings();
  const int b = selectorChannel(dialog, p);
  if (b < 0) return;  // a typed entry that names no channel changes nothing
  if (b > 0) {
    for (int q = 1; q <= 32; ++q) {
      if (q == p || selectorChannel(dialog, q) != b) continue;
      if (ChannelPanel* panel = panelAt(q)) panel->hidePanel();
      sharedStore(s.Channel[q], 0);
    }
    if (ChannelPanel* panel = panelAt(p)) panel->placePanel(panelColumn(p), panelRow(p), b);
  } else if (ChannelPanel* panel = panelAt(p)) {
    panel->hidePanel();
  }
  sharedStore(s.Channel[p], b);
  mainFitAndRefresh(dialog);
}

void recordOrStop(HWND dialog) {
  MeterSettings& s = settings();
  applyInterval(dialog);
  writeSettings(s);
  bool any = false;
  for (int p = 1; p <= 32 && !any; ++p) {
    const int channel = selectorChannel(dialog, p);
    any = channel > 0 && sharedLoad(s.FlagRec[channel]) != 0;
  }
  if (!any) {
    SendMessageW(GetWindow(dialog, GW_OWNER), WM_USER, 1024,
                 reinterpret_cast<LPARAM>(cp1251<"Не выбраны каналы для записи">()));
    return;
  }
  if (Recorder* r = recorder()) {
    if (r->isRecording()) {
      if (r->stopRecording()) logMeterEvent(EventKind::RecordingStopped, r->samplePath());
    } else if (r->startRecording()) {
      logMeterEvent(EventKind::RecordingStarted, r->samplePath());
    } else if (r->notice()[0]) {
      SendMessageW(GetWindow(dialog, GW_OWNER), WM_USER, NOTICE_ERROR_UTF8, reinterpret_cast<LPARAM>(r->notice()));
    }
  }
  mainFitAndRefresh(dialog);
}

int positionOfControl(int id, bool* isSelector) {
  for (int p = 1; p <= 32; ++p) {
    if (id == selectorId(p)) { *isSelector = true; return p; }
    if (id == recordBoxId(p)) { *isSelector = false; return p; }
  }
  return 0;
}

void command(HWND dialog, int id, int notification) {
  MeterSettings& s = settings();
  switch (id) {
    case IDC_SHOW_ALL: showAll(dialog); return;
    case IDC_HIDE_ALL: hideAll(dialog); return;
    case IDC_RECORD_ALL: recordAll(dialog, 1); return;
    case IDC_RECORD_NONE: recordAll(dialog, 0); return;
    case IDC_RECORD_STOP: recordOrStop(dialog); return;
    case IDC_TIME_BASE:
      if (notification == CBN_SELCHANGE) {
        const LRESULT i = SendDlgItemMessageW(dialog, IDC_TIME_BASE, CB_GETCURSEL, 0, 0);
        if (i != CB_ERR) sharedStore(s.TimeType, static_cast<int32_t>(i));
      }
      return;
    case IDC_WIDTH8:
    case IDC_WIDTH16:
    case IDC_WIDTH32:
      if (IsDlgButtonChecked(dialog, id) == BST_CHECKED)
        sharedStore(s.nDO, id == IDC_WIDTH8 ? 8 : id == IDC_WIDTH16 ? 16 : 32);
      return;
    case IDC_MARK_SWITCHINGS:
      sharedStore(s.CheckLabel, IsDlgButtonChecked(dialog, id) == BST_CHECKED ? 1 : 0);
      return;
    case IDOK:  // Enter: the typed interval is taken, as on leaving the field
      applyInterval(dialog);
      refresh(dialog);
      return;
    case IDC_INTERVAL:
      if (notification == EN_KILLFOCUS && dialog == openDialog) {
        applyInterval(dialog);
        refresh(dialog);
      }
      return;
  }
  bool isSelector = false;
  const int p = positionOfControl(id, &isSelector);
  if (!p) return;
  if (isSelector) {
    // Only a choice from the list moves panels; a half-typed entry is put
    // back to what the position shows when the selector loses the focus.
    if (notification == CBN_SELCHANGE)
      chooseChannel(dialog, p);
    else if (notification == CBN_KILLFOCUS)
      SendDlgItemMessageW(dialog, id, CB_SETCURSEL, positionChannel(p), 0);
    return;
  }
  const int channel = positionChannel(p);
  sharedStore(s.FlagRec[channel], IsDlgButtonChecked(dialog, id) == BST_CHECKED ? 1 : 0);
  mainFitAndRefresh(dialog);
}

INT_PTR CALLBACK channelsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      if (dialogOpen) {
        DestroyWindow(dialog);
        return TRUE;
      }
      dialogOpen = true;
      openDialog = dialog;
      initialise(dialog);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL) {  // Esc closes it like the close button
        SendMessageW(dialog, WM_CLOSE, 0, 0);
        return TRUE;
      }
      command(dialog, LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_CLOSE:
      dialogOpen = false;
      openDialog = nullptr;
      applyInterval(dialog);
      writeSettings(settings());
      DestroyWindow(dialog);
      return TRUE;
  }
  return FALSE;
}

}  // namespace

HWND openChannelsDialog(HWND owner) {
  if (!meterSettings.load()) return nullptr;
  return CreateDialogW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_CHANNELS), owner, channelsDialogProc);
}

HWND channelsDialogWindow() { return openDialog; }

void refreshChannelsDialog() {
  if (openDialog) refresh(openDialog);
}
