// Start-up, message loop, shut-down and the restart after "Открыть...".
#include <windows.h>

#include <cwchar>

#include "acquisition/acquisition_engine_win.h"
#include "acquisition/board_layout.h"
#include "eventlog/event_log_win.h"
#include "graphs/graph_window_win.h"
#include "network/web_server_win.h"
#include "panels/channel_panel_win.h"
#include "panels/panel_table.h"
#include "panels/reading_font_win.h"
#include "recording/channels_dialog_win.h"
#include "recording/recorder.h"
#include "resource.h"
#include "settings/meter_settings.h"
#include "settings/settings_file.h"
#include "shell/app_win.h"
#include "shell/command_line.h"
#include "shell/window_place_win.h"

AppState app;

namespace {

MeterSettings* settings = nullptr;
Recorder* recorder = nullptr;
AcquisitionEngine* engine = nullptr;

INT_PTR CALLBACK launchProc(HWND dialog, UINT message, WPARAM, LPARAM) {
  if (message == WM_INITDIALOG) {
    ShowWindow(dialog, SW_SHOW);
    UpdateWindow(dialog);
    return TRUE;
  }
  return FALSE;
}

void restartWithConfiguration() {
  wchar_t path[512];
  programPathFromCommandLine(app.savedCommandLine, path, 512);
  // A failed copy (say, of skalenor.cfg onto itself) does not stop the restart.
  CopyFileW(app.pendingConfigPath, L"skalenor.cfg", FALSE);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION pi{};
  if (CreateProcessW(path, nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
}

void setTitle() {
  wchar_t title[256];
  formatMainTitle(app.title, engine ? engine->boardType.load() : 0, settings->FreqStream, title, 256);
  SetWindowTextW(app.mainWindow, title);
}

}  // namespace

bool engineBoardReady() { return engine && engine->boardReady.load() == 1; }
int engineGainFactor(int code) { return engine ? gainForCode(*engine, code) : 1; }
const AcquisitionState* engineState() { return engine; }

namespace {

// Start-up, up to the message loop.
void startUp(HINSTANCE instance, int showCommand) {
  registerReadingFont();
  LoadStringW(instance, IDS_APP_TITLE, app.title, 100);
  LoadStringW(instance, IDC_SKALENOR, app.className, 100);
  wcsncpy(app.savedCommandLine, GetCommandLineW(), 511);

  HWND launch = CreateDialogW(instance, L"LAUNCH", nullptr, launchProc);

  registerMainWindowClass(instance, app.className);
  app.instance = instance;
  app.keepRunning = 1;
  app.mainWindow = CreateWindowExW(0, app.className, app.title, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                                   CW_USEDEFAULT, 0, CW_USEDEFAULT, 0, nullptr, nullptr, instance, nullptr);
  Sleep(1000);
  app.accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_MAINMENU));

  installSettingsHooks();
  settings = new MeterSettings;
  settings->ownerWindow = app.mainWindow;
  readSettings(*settings);
  settings->loadedMarker.store(SETTINGS_LOADED_MARK);
  meterSettings.store(settings);

  // A fatal notice (missing configuration, no board) closes the main window:
  // from then on there is nothing more to build.
  if (IsWindow(app.mainWindow)) {
    startEventLog(app.mainWindow);  // the engine's notices go to the log too
    engine = new AcquisitionEngine;
    engine->startEngine(app.mainWindow);
    for (int i = 0; i < 20; ++i) {
      Sleep(50);
      if (engine->boardReady.load()) break;
    }
  }
  if (IsWindow(app.mainWindow)) {
    for (int j = 1; j <= PANEL_COUNT; ++j) {
      ChannelPanel* panel = createPanel(instance, app.mainWindow);
      panelTable[j - 1] = panel;
      const int channel = settings->Channel[j];
      if (panel && channel != 0) panel->placePanel(panelColumn(j), panelRow(j), channel);
    }
  }
  if (launch) DestroyWindow(launch);
  if (IsWindow(app.mainWindow)) {
    const int32_t* r = settings->rWnd;
    MoveWindow(app.mainWindow, r[0], r[1], r[2] - r[0], r[3] - r[1], TRUE);
    ShowWindow(app.mainWindow, showCommand);
    UpdateWindow(app.mainWindow);
    SendMessageW(app.mainWindow, WM_USER, 0, 0);
    keepOnScreen(app.mainWindow);
    recorder = new Recorder(platformRecorderFiles(), RecorderSources{nullptr, nullptr, engine->gainFactor,
                                                                     &engine->shortestIntervalMs,
                                                                     &mainWindowRecorderWatcher()});
    theRecorder.store(recorder);
    watchFreeSpace(recorder);
    SetTimer(app.mainWindow, BOARD_WATCH_TIMER, BOARD_WATCH_MS, nullptr);
    engine->running.store(1);
    for (int slot = 0; slot < GRAPH_SLOTS; ++slot)
      if (settings->rPlot[4 * slot + 2] != 0) openGraphWindow(app.mainWindow, slot);
    setTitle();
    startWebServerFromSettings(app.mainWindow);
  }
}

// Returns the quit message's exit code.
int messageLoop() {
  MSG msg{};
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (app.accelerators && TranslateAcceleratorW(msg.hwnd, app.accelerators, &msg)) continue;
    HWND channels = channelsDialogWindow();
    if (channels && IsDialogMessageW(channels, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return msg.message == WM_QUIT ? static_cast<int>(msg.wParam) : 0;
}

// Shut-down: the objects go in reverse order, with pauses for the ticks.
void tearDown() {
  stopWebServer();
  if (engine) engine->running.store(0);
  Sleep(100);
  if (recorder && recorder->isRecording()) {
    if (recorder->failed()) recorder->endAfterFailure();
    else if (recorder->stopRecording()) logMeterEvent(EventKind::RecordingStopped, recorder->samplePath());
  }
  stopEventLog();  // its thread also watches the recorder's drive
  if (recorder) {
    theRecorder.store(nullptr);
    delete recorder;
    recorder = nullptr;
  }
  Sleep(100);
  for (PanelState*& entry : panelTable) {
    delete static_cast<ChannelPanel*>(entry);
    entry = nullptr;
  }
  Sleep(100);
  delete engine;  // stops the timer and the worker, clears the outputs, closes the board
  engine = nullptr;
  meterSettings.store(nullptr);
  delete settings;
  settings = nullptr;
  Sleep(100);
}

}  // namespace

int runProgram(HINSTANCE instance, int showCommand) {
  startUp(instance, showCommand);
  const int exitCode = messageLoop();
  tearDown();
  if (!app.keepRunning) restartWithConfiguration();
  return exitCode;
}
