#include "network/web_connection.h"

#include <cstdio>
#include <cstring>

namespace {

const char HTML[] = "text/html; charset=utf-8";
const char JSON[] = "application/json; charset=utf-8";
const char METRICS[] = "text/plain; version=0.0.4; charset=utf-8";
const char TEXT[] = "text/plain; charset=utf-8";

const char* errorBody(int status) {
  switch (status) {
    case 400: return "400 Bad Request\n";
    case 404: return "404 Not Found\n";
    case 405: return "405 Method Not Allowed: this server only reads (GET, HEAD)\n";
    case 408: return "408 Request Timeout\n";
    case 414: return "414 URI Too Long\n";
    case 431: return "431 Request Header Fields Too Large\n";
    case 503: return "503 Service Unavailable: too many connections\n";
    case 505: return "505 HTTP Version Not Supported\n";
    default: return "500 Internal Server Error\n";
  }
}

}  // namespace

WebService::WebService(SnapshotExchange& exchange, const char* page, size_t pageSize, const char* version)
    : exchange_(exchange), page_(page), pageSize_(pageSize), version_(version) {
  std::snprintf(serverName_, sizeof serverName_, "Skalenor/%s", version);
}

WebService::Reply WebService::error(int status) {
  Reply reply;
  reply.status = status == 400 || status == 404 || status == 405 || status == 408 || status == 414 ||
                         status == 431 || status == 503 || status == 505
                     ? status
                     : 500;
  reply.contentType = TEXT;
  reply.body = errorBody(status);
  reply.bodySize = std::strlen(reply.body);
  return reply;
}

WebService::Reply WebService::respond(const HttpRequest& request, char* bodyBuffer) {
  if (request.method != HttpMethod::Get && request.method != HttpMethod::Head) return error(405);
  Reply reply;
  if (std::strcmp(request.path, "/") == 0) {
    reply.contentType = HTML;
    reply.body = page_;
    reply.bodySize = pageSize_;
    reply.page = true;
    return reply;
  }
  const bool values = std::strcmp(request.path, "/api/values") == 0;
  const bool metrics = std::strcmp(request.path, "/metrics") == 0;
  if (!values && !metrics) return error(404);
  TextBuffer out(bodyBuffer, METER_DOCUMENT_CAPACITY);
  const MeterSnapshot& snapshot = exchange_.take();
  if (values)
    renderValuesJson(snapshot, out);
  else
    renderMetrics(snapshot, version_, out);
  if (out.overflowed()) return error(500);
  reply.contentType = values ? JSON : METRICS;
  reply.body = out.data();
  reply.bodySize = out.size();
  return reply;
}

WebConnection::WebConnection(WebService& service)
    : service_(service), input_(new char[HTTP_HEAD_LIMIT]), body_(new char[METER_DOCUMENT_CAPACITY]) {}

WebConnection::~WebConnection() {
  delete[] input_;
  delete[] body_;
}

void WebConnection::open(uint64_t nowMs) {
  open_ = true;
  closing_ = peerClosed_ = false;
  inputSize_ = headSize_ = headSent_ = bodySize_ = bodySent_ = 0;
  bodyData_ = nullptr;
  requestStart_ = sendStart_ = NO_DEADLINE;
  idleSince_ = nowMs;
}

size_t WebConnection::receiveRoom() const {
  if (!open_ || closing_ || peerClosed_ || pending().total() > 0) return 0;
  return HTTP_HEAD_LIMIT - inputSize_;
}

void WebConnection::received(const char* data, size_t size, uint64_t nowMs, int64_t clockMs) {
  if (size > receiveRoom()) size = receiveRoom();
  if (size == 0) return;
  std::memcpy(input_ + inputSize_, data, size);
  inputSize_ += size;
  if (requestStart_ == NO_DEADLINE) requestStart_ = nowMs;
  serveWaitingRequest(nowMs, clockMs);
}

void WebConnection::peerClosed() {
  peerClosed_ = true;
  // Whatever arrived and is not being answered is an incomplete request.
  if (pending().total() == 0) closing_ = true;
}

void WebConnection::startReply(const WebService::Reply& reply, bool keepAlive, bool headOnly, int64_t clockMs) {
  HttpResponseHead head;
  head.status = reply.status;
  head.contentType = reply.contentType;
  head.contentLength = reply.bodySize;
  head.keepAlive = keepAlive;
  head.dateMs = clockMs;
  head.page = reply.page;
  headSize_ = writeResponseHead(head, service_.serverName(), head_, sizeof head_);
  headSent_ = 0;
  bodyData_ = reply.body;
  bodySize_ = headOnly ? 0 : reply.bodySize;
  bodySent_ = 0;
  if (!keepAlive) closing_ = true;
}

void WebConnection::serveWaitingRequest(uint64_t nowMs, int64_t clockMs) {
  if (closing_ || pending().total() > 0 || inputSize_ == 0) return;
  HttpRequest request;
  const HttpParse parse = parseHttpRequest(input_, inputSize_, &request);
  if (parse.status == HttpParse::Incomplete) {
    if (peerClosed_) closing_ = true;  // the rest will never come
    return;
  }
  sendStart_ = nowMs;
  if (parse.status == HttpParse::Refused) {
    startReply(WebService::error(parse.refusal), false, false, clockMs);
    inputSize_ = 0;
    requestStart_ = NO_DEADLINE;
    return;
  }
  const WebService::Reply reply = service_.respond(request, body_);
  startReply(reply, request.keepAlive && !peerClosed_, request.method == HttpMethod::Head, clockMs);
  inputSize_ -= parse.headLength;
  std::memmove(input_, input_ + parse.headLength, inputSize_);
  requestStart_ = inputSize_ > 0 ? nowMs : NO_DEADLINE;
}

WebConnection::Pending WebConnection::pending() const {
  Pending p;
  p.data[0] = head_ + headSent_;
  p.size[0] = headSize_ - headSent_;
  p.data[1] = bodyData_ ? bodyData_ + bodySent_ : nullptr;
  p.size[1] = bodySize_ - bodySent_;
  return p;
}

void WebConnection::sent(size_t size, uint64_t nowMs, int64_t clockMs) {
  const size_t fromHead = size < headSize_ - headSent_ ? size : headSize_ - headSent_;
  headSent_ += fromHead;
  size -= fromHead;
  bodySent_ += size < bodySize_ - bodySent_ ? size : bodySize_ - bodySent_;
  if (pending().total() > 0) return;
  sendStart_ = NO_DEADLINE;
  idleSince_ = nowMs;
  if (peerClosed_ && inputSize_ == 0) closing_ = true;
  serveWaitingRequest(nowMs, clockMs);  // a request that came right behind the last one
}

uint64_t WebConnection::deadline() const {
  if (!open_) return NO_DEADLINE;
  if (pending().total() > 0) return sendStart_ + SEND_TIMEOUT_MS;
  if (requestStart_ != NO_DEADLINE) return requestStart_ + REQUEST_TIMEOUT_MS;
  return idleSince_ + IDLE_TIMEOUT_MS;
}

void WebConnection::expire(uint64_t nowMs, int64_t clockMs) {
  if (!open_ || nowMs < deadline()) return;
  if (pending().total() > 0) {  // the client does not take its response: give up on it
    headSent_ = headSize_;
    bodySent_ = bodySize_;
    closing_ = true;
  } else if (requestStart_ != NO_DEADLINE) {
    sendStart_ = nowMs;
    startReply(WebService::error(408), false, false, clockMs);
    inputSize_ = 0;
    requestStart_ = NO_DEADLINE;
  } else {
    closing_ = true;
  }
}
