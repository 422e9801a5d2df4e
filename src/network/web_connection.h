// One client connection of the read-only server, apart from its socket: the
// bytes received, the request found in them, the response to send and the
// time limits. The Winsock front end moves the bytes and the clock.
//
// Routes: GET or HEAD of "/" (the live page), "/api/values" (JSON) and
// "/metrics" (Prometheus text); any other path is 404, any other method 405.
// A refused or timed-out request gets its error response and the connection
// closes after it; a keep-alive connection waits for its next request.
//
// Time limits: the head of a request must be complete within
// REQUEST_TIMEOUT_MS of its first byte (else 408); a connection without a
// request in progress is closed after IDLE_TIMEOUT_MS; a response that the
// client does not take within SEND_TIMEOUT_MS is abandoned.
#pragma once

#include <cstddef>
#include <cstdint>

#include "network/http_message.h"
#include "network/meter_documents.h"

inline constexpr uint64_t REQUEST_TIMEOUT_MS = 5000;
inline constexpr uint64_t IDLE_TIMEOUT_MS = 15000;
inline constexpr uint64_t SEND_TIMEOUT_MS = 10000;
inline constexpr uint64_t NO_DEADLINE = UINT64_MAX;

// What every connection answers from: the newest snapshot and the page.
class WebService {
 public:
  WebService(SnapshotExchange& exchange, const char* page, size_t pageSize, const char* version);

  struct Reply {
    int status = 200;
    const char* contentType = nullptr;
    const char* body = nullptr;
    size_t bodySize = 0;
    bool page = false;
  };
  // Documents are written into bodyBuffer (METER_DOCUMENT_CAPACITY bytes).
  Reply respond(const HttpRequest& request, char* bodyBuffer);
  // The small text body of an error status.
  static Reply error(int status);

  const char* serverName() const { return serverName_; }

 private:
  SnapshotExchange& exchange_;
  const char* page_;
  size_t pageSize_;
  const char* version_;
  char serverName_[32];
};

class WebConnection {
 public:
  explicit WebConnection(WebService& service);
  ~WebConnection();
  WebConnection(const WebConnection&) = delete;
  WebConnection& operator=(const WebConnection&) = delete;

  void open(uint64_t nowMs);
  bool isOpen() const { return open_; }

  // Room for received bytes; none while a response is still being sent.
  size_t receiveRoom() const;
  // Bytes from the client (at most receiveRoom()).
  void received(const char* data, size_t size, uint64_t nowMs, int64_t clockMs);
  // The client closed its side: nothing more will arrive.
  void peerClosed();

  // What is left to send: up to two pieces (head, then body).
  struct Pending {
    const char* data[2] = {};
    size_t size[2] = {};
    size_t total() const { return size[0] + size[1]; }
  };
  Pending pending() const;
  void sent(size_t size, uint64_t nowMs, int64_t clockMs);

  // The earliest time expire() has something to do.
  uint64_t deadline() const;
  void expire(uint64_t nowMs, int64_t clockMs);

  // Close the socket now.
  bool finished() const { return open_ && closing_ && pending().total() == 0; }
  void close() { open_ = false; }

 private:
  void startReply(const WebService::Reply& reply, bool keepAlive, bool headOnly, int64_t clockMs);
  void serveWaitingRequest(uint64_t nowMs, int64_t clockMs);

  WebService& service_;
  char* input_;   // HTTP_HEAD_LIMIT bytes
  char* body_;    // METER_DOCUMENT_CAPACITY bytes
  char head_[HTTP_RESPONSE_HEAD_CAPACITY] = {};
  size_t inputSize_ = 0;
  size_t headSize_ = 0, headSent_ = 0;
  const char* bodyData_ = nullptr;
  size_t bodySize_ = 0, bodySent_ = 0;
  bool open_ = false;
  bool closing_ = false;     // close once the response is out
  bool peerClosed_ = false;
  uint64_t requestStart_ = NO_DEADLINE;  // first byte of the request being received
  uint64_t idleSince_ = 0;
  uint64_t sendStart_ = NO_DEADLINE;
};
