#include "network/web_server_win.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <atomic>
#include <cwchar>
#include <memory>

#include "network/web_connection.h"
#include "resource.h"
#include "settings/meter_settings.h"
#include "shell/app_win.h"
#include "version.h"

namespace {

uint64_t steadyMs() { return GetTickCount64(); }

int64_t clockMs() {
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  const uint64_t ticks = (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  return unixMsFromFileTime(ticks);
}

// The page, embedded as RCDATA.
WebService* makeService() {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(IDR_WEB_PAGE), MAKEINTRESOURCEW(10));  // RT_RCDATA
  HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  const char* page = loaded ? static_cast<const char*>(LockResource(loaded)) : "";
  const size_t size = loaded ? SizeofResource(module, found) : 0;
  return new WebService(meterPublisher.exchange(), page, size, SKALENOR_VERSION_STRING);
}

void closeSocket(SOCKET& s) {
  if (s == INVALID_SOCKET) return;
  shutdown(s, SD_SEND);
  closesocket(s);
  s = INVALID_SOCKET;
}

class WebServer {
 public:
  WebServerResult start(const char* address, int port);
  void stop();

 private:
  static DWORD WINAPI threadMain(void* self);
  void run();
  void acceptClients(uint64_t now);
  void receive(int i, uint64_t now, int64_t clock);
  void flush(int i, uint64_t now, int64_t clock);
  void drop(int i);

  // Each socket signals an event of its own (WSAEventSelect) rather than being
  // polled by select: under Wine every select polls every socket it names
  // through the wineserver, idle kept-alive clients included, which cost
  // several points of a core at a few requests a second.
  struct Slot {
    SOCKET socket = INVALID_SOCKET;
    WSAEVENT event = WSA_INVALID_EVENT;
    bool readWaiting = false;  // data came while the connection had no room for it
    std::unique_ptr<WebConnection> connection;
  };
  std::unique_ptr<WebService> service_;
  Slot slots_[WEB_MAX_CONNECTIONS];
  SOCKET listen_ = INVALID_SOCKET;
  WSAEVENT listenEvent_ = WSA_INVALID_EVENT;
  HANDLE stopEvent_ = nullptr;
  HANDLE thread_ = nullptr;
  std::atomic<bool> stopping_{false};
  char busy_[HTTP_RESPONSE_HEAD_CAPACITY + 64] = {};  // the 503 answer to one client too many
  size_t busySize_ = 0;
};

WebServerResult WebServer::start(const char* address, int port) {
  WebServerResult result;
  WSADATA wsa;
  if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) {
    result.error = WSASYSNOTREADY;
    return result;
  }
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_port = htons(static_cast<u_short>(port));
  uint8_t bytes[4];
  if (!parseIpv4(address, strlen(address), bytes) || port < 1 || port > 65535) {
    result.error = WSAEADDRNOTAVAIL;
    WSACleanup();
    return result;
  }
  memcpy(&at.sin_addr, bytes, 4);
  listen_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  BOOL on = TRUE;
  // No other program may take over the port while we listen on it.
  setsockopt(listen_, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on), sizeof on);
  listenEvent_ = WSACreateEvent();
  if (listen_ == INVALID_SOCKET || bind(listen_, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 ||
      listen(listen_, WEB_MAX_CONNECTIONS) != 0 || WSAEventSelect(listen_, listenEvent_, FD_ACCEPT) != 0) {
    result.error = WSAGetLastError();
    closesocket(listen_);
    listen_ = INVALID_SOCKET;
    WSACloseEvent(listenEvent_);
    WSACleanup();
    return result;
  }
  stopEvent_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  for (Slot& slot : slots_) slot.event = WSACreateEvent();

  service_.reset(makeService());
  for (Slot& slot : slots_) slot.connection = std::make_unique<WebConnection>(*service_);
  const WebService::Reply busy = WebService::error(503);
  HttpResponseHead head;
  head.status = 503;
  head.contentType = busy.contentType;
  head.contentLength = busy.bodySize;
  busySize_ = writeResponseHead(head, service_->serverName(), busy_, sizeof busy_);
  memcpy(busy_ + busySize_, busy.body, busy.bodySize);
  busySize_ += busy.bodySize;

  stopping_ = false;
  thread_ = CreateThread(nullptr, 0, threadMain, this, 0, nullptr);
  // Below the user-interface and timer threads: a busy client waits, the meter does not.
  if (thread_) SetThreadPriority(thread_, THREAD_PRIORITY_LOWEST);
  result.started = thread_ != nullptr;
  if (!result.started) stop();
  return result;
}

void WebServer::stop() {
  if (thread_) {
    stopping_ = true;
    SetEvent(stopEvent_);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    thread_ = nullptr;
  }
  if (listen_ == INVALID_SOCKET) return;
  for (int i = 0; i < WEB_MAX_CONNECTIONS; ++i) {
    drop(i);
    WSACloseEvent(slots_[i].event);
    slots_[i].event = WSA_INVALID_EVENT;
  }
  closesocket(listen_);
  listen_ = INVALID_SOCKET;
  WSACloseEvent(listenEvent_);
  CloseHandle(stopEvent_);
  listenEvent_ = WSA_INVALID_EVENT;
  stopEvent_ = nullptr;
  service_.reset();
  WSACleanup();
}

DWORD WINAPI WebServer::threadMain(void* self) {
  static_cast<WebServer*>(self)->run();
  return 0;
}

void WebServer::run() {
  constexpr DWORD FIRST_SLOT = 2;  // after the stop and listen events
  HANDLE handles[FIRST_SLOT + WEB_MAX_CONNECTIONS];
  int slotOf[FIRST_SLOT + WEB_MAX_CONNECTIONS];
  handles[0] = stopEvent_;
  handles[1] = listenEvent_;
  while (!stopping_) {
    DWORD count = FIRST_SLOT;
    uint64_t deadline = NO_DEADLINE;
    for (int i = 0; i < WEB_MAX_CONNECTIONS; ++i) {
      Slot& slot = slots_[i];
      if (slot.socket == INVALID_SOCKET) continue;
      slotOf[count] = i;
      handles[count++] = slot.event;
      if (slot.connection->deadline() < deadline) deadline = slot.connection->deadline();
    }
    DWORD timeout = INFINITE;  // nothing timed: sleep until a client or the stop wakes us
    if (deadline != NO_DEADLINE) {
      const uint64_t now = steadyMs();
      timeout = deadline > now ? static_cast<DWORD>(deadline - now + 1) : 0;
    }
    const DWORD woken = WaitForMultipleObjects(count, handles, FALSE, timeout);
    if (woken == WAIT_FAILED) {
      Sleep(50);
      continue;
    }
    const uint64_t now = steadyMs();
    const int64_t clock = clockMs();
    WSANETWORKEVENTS events{};
    if (woken == WAIT_OBJECT_0 + 1) {
      WSAEnumNetworkEvents(listen_, listenEvent_, &events);  // also resets the event
      acceptClients(now);
    } else if (woken >= WAIT_OBJECT_0 + FIRST_SLOT && woken < WAIT_OBJECT_0 + count) {
      const int i = slotOf[woken - WAIT_OBJECT_0];
      if (WSAEnumNetworkEvents(slots_[i].socket, slots_[i].event, &events) == 0 &&
          (events.lNetworkEvents & (FD_READ | FD_CLOSE)))
        slots_[i].readWaiting = true;
      flush(i, now, clock);  // FD_WRITE: room again for what waits to be sent
    }
    // Time limits and what became ready, on every connection: no socket call unless there is something to do.
    for (int i = 0; i < WEB_MAX_CONNECTIONS; ++i) {
      Slot& slot = slots_[i];
      if (slot.socket == INVALID_SOCKET) continue;
      if (slot.readWaiting && slot.connection->receiveRoom() > 0) receive(i, now, clock);
      if (slot.socket == INVALID_SOCKET) continue;
      slot.connection->expire(now, clock);
      flush(i, now, clock);
      if (slot.socket != INVALID_SOCKET && slot.connection->finished()) drop(i);
    }
  }
}

void WebServer::acceptClients(uint64_t now) {
  for (;;) {
    SOCKET client = accept(listen_, nullptr, nullptr);
    if (client == INVALID_SOCKET) return;
    BOOL on = TRUE;
    setsockopt(client, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    Slot* free = nullptr;
    for (Slot& slot : slots_)
      if (slot.socket == INVALID_SOCKET) {
        free = &slot;
        break;
      }
    if (!free) {
      send(client, busy_, static_cast<int>(busySize_), 0);
      closeSocket(client);
      continue;
    }
    free->socket = client;
    free->readWaiting = false;
    // Its own event, for reading, writing and the peer's close; the socket becomes non-blocking.
    WSAEventSelect(client, free->event, FD_READ | FD_WRITE | FD_CLOSE);
    free->connection->open(now);
  }
}

void WebServer::receive(int i, uint64_t now, int64_t clock) {
  Slot& slot = slots_[i];
  slot.readWaiting = false;  // the recv asks for the next FD_READ
  char data[4096];
  const size_t room = slot.connection->receiveRoom();
  const int n = recv(slot.socket, data, static_cast<int>(room < sizeof data ? room : sizeof data), 0);
  if (n > 0)
    slot.connection->received(data, static_cast<size_t>(n), now, clock);
  else if (n == 0)
    slot.connection->peerClosed();
  else if (WSAGetLastError() != WSAEWOULDBLOCK)
    drop(i);
}

void WebServer::flush(int i, uint64_t now, int64_t clock) {
  Slot& slot = slots_[i];
  for (WebConnection::Pending p = slot.connection->pending(); p.total() > 0; p = slot.connection->pending()) {
    WSABUF pieces[2];
    DWORD count = 0;
    for (int k = 0; k < 2; ++k)
      if (p.size[k] > 0) {
        pieces[count].buf = const_cast<char*>(p.data[k]);
        pieces[count].len = static_cast<ULONG>(p.size[k]);
        ++count;
      }
    DWORD sent = 0;
    if (WSASend(slot.socket, pieces, count, &sent, 0, nullptr, nullptr) != 0) {
      if (WSAGetLastError() != WSAEWOULDBLOCK) drop(i);
      return;
    }
    slot.connection->sent(sent, now, clock);
  }
  if (slot.connection->finished()) drop(i);
}

void WebServer::drop(int i) {
  Slot& slot = slots_[i];
  closeSocket(slot.socket);
  if (slot.connection) slot.connection->close();
}

WebServer server;

}  // namespace

WebServerResult startWebServer(const char* address, int port) {
  server.stop();
  return server.start(address, port);
}

void stopWebServer() { server.stop(); }

void startWebServerFromSettings(HWND noticeWindow) {
  MeterSettings* settings = meterSettings.load();
  if (!settings || settings->WebPort <= 0) return;
  const WebServerResult result = startWebServer(settings->WebAddress, settings->WebPort);
  if (result.started) return;
  wchar_t address[WEB_ADDRESS_SIZE] = {};
  for (int i = 0; i < WEB_ADDRESS_SIZE - 1 && settings->WebAddress[i]; ++i) address[i] = settings->WebAddress[i];
  wchar_t text[256];
  if (result.error == WSAEADDRINUSE)
    swprintf(text, 256, L"Порт %d уже занят другой программой: доступ по сети выключен.", settings->WebPort);
  else
    swprintf(text, 256, L"Не удалось открыть доступ по сети на %ls:%d (ошибка %d): доступ по сети выключен.", address,
             settings->WebPort, result.error);
  char notice[512];  // the notice is shown before SendMessage returns
  WideCharToMultiByte(1251, 0, text, -1, notice, sizeof notice, nullptr, nullptr);
  SendMessageW(noticeWindow, WM_USER, NOTICE_ERROR, reinterpret_cast<LPARAM>(notice));
}
