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

  struct Slot {
    SOCKET socket = INVALID_SOCKET;
    std::unique_ptr<WebConnection> connection;
  };
  std::unique_ptr<WebService> service_;
  Slot slots_[WEB_MAX_CONNECTIONS];
  SOCKET listen_ = INVALID_SOCKET;
  SOCKET wake_ = INVALID_SOCKET;  // a loopback datagram to it ends the wait in select
  sockaddr_in wakeAddress_{};
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
  u_long nonBlocking = 1;
  if (listen_ == INVALID_SOCKET || bind(listen_, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 ||
      listen(listen_, WEB_MAX_CONNECTIONS) != 0 || ioctlsocket(listen_, FIONBIO, &nonBlocking) != 0) {
    result.error = WSAGetLastError();
    closesocket(listen_);
    listen_ = INVALID_SOCKET;
    WSACleanup();
    return result;
  }
  wake_ = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  wakeAddress_.sin_family = AF_INET;
  wakeAddress_.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof wakeAddress_;
  bind(wake_, reinterpret_cast<sockaddr*>(&wakeAddress_), sizeof wakeAddress_);
  getsockname(wake_, reinterpret_cast<sockaddr*>(&wakeAddress_), &length);
  ioctlsocket(wake_, FIONBIO, &nonBlocking);

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
    sendto(wake_, "x", 1, 0, reinterpret_cast<sockaddr*>(&wakeAddress_), sizeof wakeAddress_);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    thread_ = nullptr;
  }
  if (listen_ == INVALID_SOCKET) return;
  for (int i = 0; i < WEB_MAX_CONNECTIONS; ++i) drop(i);
  closesocket(listen_);
  closesocket(wake_);
  listen_ = wake_ = INVALID_SOCKET;
  service_.reset();
  WSACleanup();
}

DWORD WINAPI WebServer::threadMain(void* self) {
  static_cast<WebServer*>(self)->run();
  return 0;
}

void WebServer::run() {
  while (!stopping_) {
    fd_set readable, writable;
    FD_ZERO(&readable);
    FD_ZERO(&writable);
    FD_SET(listen_, &readable);
    FD_SET(wake_, &readable);
    uint64_t deadline = NO_DEADLINE;
    for (Slot& slot : slots_) {
      if (slot.socket == INVALID_SOCKET) continue;
      if (slot.connection->receiveRoom() > 0) FD_SET(slot.socket, &readable);
      if (slot.connection->pending().total() > 0) FD_SET(slot.socket, &writable);
      if (slot.connection->deadline() < deadline) deadline = slot.connection->deadline();
    }
    timeval wait{};
    timeval* timeout = nullptr;  // nothing timed: sleep until a client or the stop wakes us
    if (deadline != NO_DEADLINE) {
      const uint64_t now = steadyMs();
      const uint64_t ms = deadline > now ? deadline - now + 1 : 0;
      wait.tv_sec = static_cast<long>(ms / 1000);
      wait.tv_usec = static_cast<long>(ms % 1000 * 1000);
      timeout = &wait;
    }
    if (select(0, &readable, &writable, nullptr, timeout) == SOCKET_ERROR) {
      Sleep(50);
      continue;
    }
    if (FD_ISSET(wake_, &readable)) {
      char drain[16];
      while (recv(wake_, drain, sizeof drain, 0) > 0) {
      }
    }
    const uint64_t now = steadyMs();
    const int64_t clock = clockMs();
    if (FD_ISSET(listen_, &readable)) acceptClients(now);
    for (int i = 0; i < WEB_MAX_CONNECTIONS; ++i) {
      Slot& slot = slots_[i];
      if (slot.socket == INVALID_SOCKET) continue;
      if (FD_ISSET(slot.socket, &readable)) receive(i, now, clock);
      if (slot.socket != INVALID_SOCKET) flush(i, now, clock);
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
    u_long nonBlocking = 1;
    ioctlsocket(client, FIONBIO, &nonBlocking);
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
    free->connection->open(now);
  }
}

void WebServer::receive(int i, uint64_t now, int64_t clock) {
  Slot& slot = slots_[i];
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
