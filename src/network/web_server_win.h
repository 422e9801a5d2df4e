// The read-only HTTP server on Winsock: one thread of its own, non-blocking
// sockets each signalling its own event, at most WEB_MAX_CONNECTIONS clients at a time (more are
// answered 503 and closed). It answers from the snapshots the tick publishes
// (meterPublisher) and from the page embedded in the program; it never
// touches the settings, the panels or the user-interface thread.
#pragma once

#include <windows.h>

inline constexpr int WEB_MAX_CONNECTIONS = 16;
inline constexpr int WEB_DEFAULT_PORT = 8080;

struct WebServerResult {
  bool started = false;
  int error = 0;  // Winsock error of a failed start (WSAEADDRINUSE: the port is taken)
};

// Starts the server on address (dotted IPv4) and port, after stopping a
// running one. The listening socket is opened here, so a taken port shows at once.
WebServerResult startWebServer(const char* address, int port);
void stopWebServer();

// Starts the server the settings ask for (nothing when WebPort is 0); a
// failure sends the main window one error notice and the meter runs on.
void startWebServerFromSettings(HWND noticeWindow);

// "Доступ по сети...": on, this computer or the local network, the port, and
// the address to open. OK saves WebPort and WebAddress and restarts the server.
void runNetworkDialog(HWND owner);
