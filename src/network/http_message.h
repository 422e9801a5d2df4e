// HTTP/1.0 and 1.1 for a read-only server: the request head parser and the
// response head writer.
//
// A request head is the request line and the header lines up to the empty
// line, each ended by CR LF (a bare LF is accepted too). The parser looks at
// the bytes received so far and says whether they hold a complete head, need
// more, or are refused with a status code:
//   400  not a request line, a header line that is not "name: value", control
//        characters, a request body announced (Content-Length other than 0,
//        Transfer-Encoding), HTTP/1.1 without exactly one Host header;
//   405  a method other than GET or HEAD (the response then names them in Allow);
//   414  a target longer than HTTP_TARGET_LIMIT;
//   431  more than HTTP_HEADER_LIMIT header lines or a head longer than HTTP_HEAD_LIMIT;
//   505  a version other than 1.0 and 1.1.
// Bytes that cannot start a request line are refused at once, without waiting
// for more.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr size_t HTTP_HEAD_LIMIT = 8192;
inline constexpr size_t HTTP_TARGET_LIMIT = 1024;
inline constexpr int HTTP_HEADER_LIMIT = 32;

enum class HttpMethod : uint8_t { Get, Head, Other };

struct HttpRequest {
  HttpMethod method = HttpMethod::Other;
  char path[HTTP_TARGET_LIMIT + 1] = {};  // the target up to its query, NUL-terminated
  bool keepAlive = false;                 // the client keeps the connection for another request
};

struct HttpParse {
  enum Status : uint8_t { Incomplete, Complete, Refused };
  Status status = Incomplete;
  int refusal = 0;        // status code when refused
  size_t headLength = 0;  // bytes of the head when complete
};

HttpParse parseHttpRequest(const char* data, size_t size, HttpRequest* request);

struct HttpResponseHead {
  int status = 200;
  const char* contentType = nullptr;  // null: no body
  size_t contentLength = 0;
  bool keepAlive = false;
  int64_t dateMs = 0;                 // clock time for the Date header, ms since 1970 (UTC)
  bool page = false;                  // the page's own policy headers
};

inline constexpr size_t HTTP_RESPONSE_HEAD_CAPACITY = 640;

// The status line and headers with the closing empty line; returns its length
// (0 when it does not fit).
size_t writeResponseHead(const HttpResponseHead& head, const char* serverName, char* out, size_t capacity);

const char* httpStatusText(int status);

// "Sun, 06 Nov 1994 08:49:37 GMT"; out holds at least 30 bytes.
void formatHttpDate(int64_t msSince1970, char* out);
