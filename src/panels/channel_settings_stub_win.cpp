// Stand-in until the channel settings dialog exists: the settings button then
// does nothing but repaint the graphs. Delete this file with the real dialog.
#include "panels/channel_settings_dialog_win.h"

void runChannelSettingsDialog(HWND, int) {}
