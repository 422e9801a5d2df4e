// Running unattended: a recording that ended by itself (full disk, lost
// drive, too little room) is closed and told; the board watch notices when
// blocks stop coming and when they come back.
#include <windows.h>

#include "acquisition/acquisition_state.h"
#include "eventlog/event_log_win.h"
#include "panels/channel_panel_win.h"
#include "panels/panel_table.h"
#include "recording/channels_dialog_win.h"
#include "recording/recorder.h"
#include "shell/app_win.h"

namespace {

// The recorder's watcher runs on the tick's or the disk thread: it only posts.
class MainWindowRecorderWatcher final : public RecorderWatcher {
 public:
  void recordingFailed() override { PostMessageW(app.mainWindow, MSG_RECORDING_FAILED, 0, 0); }
};

bool boardSilent = false;

}  // namespace

RecorderWatcher& mainWindowRecorderWatcher() {
  static MainWindowRecorderWatcher watcher;
  return watcher;
}

void endFailedRecording(HWND window, Recorder* recorder) {
  if (!recorder || !recorder->endAfterFailure()) return;
  refreshChannelsDialog();  // the record button shows "REC" again
  showErrorNotice(window, recorder->notice(), CP_UTF8);
}

void watchBoard(HWND window) {
  const AcquisitionState* engine = engineState();
  if (!engine || !engineBoardReady()) return;
  const uint32_t last = engine->lastBlockTickMs.load(std::memory_order_relaxed);
  if (last == 0) return;
  const bool silent = GetTickCount() - last > BOARD_SILENCE_MS;
  if (silent == boardSilent) return;
  boardSilent = silent;
  for (PanelState* p : panelTable) {
    HWND panel = p && p->visible.load() ? static_cast<HWND>(p->panelWindow.load()) : nullptr;
    if (panel) sendPanelCommand(panel, PANEL_SHOW_STALE, silent ? 1 : 0);
  }
  logMeterEvent(silent ? EventKind::BoardSilent : EventKind::BoardBack);
  if (silent)
    showErrorNotice(window, "Нет данных от платы больше 2 с: показания не обновляются, пока данные не поступят снова.",
                    CP_UTF8, false);  // the event above says so already
}
