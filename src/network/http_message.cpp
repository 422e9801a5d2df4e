#include "network/http_message.h"

#include "network/text_buffer.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr size_t METHOD_LIMIT = 16;

bool isTokenChar(unsigned char c) {
  if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) return true;
  return c != 0 && std::strchr("!#$%&'*+-.^_`|~", c) != nullptr;
}
bool isVisible(unsigned char c) { return c >= 0x21 && c <= 0x7E; }
bool isFieldChar(unsigned char c) { return c == ' ' || c == '\t' || (c >= 0x21 && c != 0x7F); }
bool isBlank(char c) { return c == ' ' || c == '\t'; }

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameNoCase(const char* a, size_t length, const char* b) {
  if (std::strlen(b) != length) return false;
  for (size_t i = 0; i < length; ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

HttpParse refuse(int status) {
  HttpParse p;
  p.status = HttpParse::Refused;
  p.refusal = status;
  return p;
}

// One line [begin, end) without its line end; next is where the following line starts.
struct Line {
  size_t begin = 0, end = 0, next = 0;
};

// The line starting at pos; false when its LF has not arrived. A CR is allowed
// only right before the LF (*bad otherwise).
bool nextLine(const char* data, size_t size, size_t pos, Line* line, bool* bad) {
  const void* lf = std::memchr(data + pos, '\n', size - pos);
  if (!lf) return false;
  const size_t nl = static_cast<size_t>(static_cast<const char*>(lf) - data);
  line->begin = pos;
  line->end = nl > pos && data[nl - 1] == '\r' ? nl - 1 : nl;
  line->next = nl + 1;
  *bad = std::memchr(data + pos, '\r', line->end - pos) != nullptr;
  return true;
}

struct RequestLine {
  HttpMethod method = HttpMethod::Other;
  bool http11 = false;
};

// Method SP target SP HTTP/d.d
int parseRequestLine(const char* data, const Line& line, HttpRequest* request, RequestLine* out) {
  size_t i = line.begin;
  while (i < line.end && isTokenChar(static_cast<unsigned char>(data[i]))) ++i;
  const size_t methodEnd = i;
  if (methodEnd == line.begin || i >= line.end || data[i] != ' ') return 400;
  const size_t targetBegin = ++i;
  while (i < line.end && isVisible(static_cast<unsigned char>(data[i]))) ++i;
  const size_t targetEnd = i;
  if (i >= line.end || data[i] != ' ') return targetEnd - targetBegin > HTTP_TARGET_LIMIT ? 414 : 400;
  const size_t versionBegin = i + 1;
  const char* v = data + versionBegin;
  if (line.end - versionBegin != 8 || std::memcmp(v, "HTTP/", 5) != 0 || v[5] < '0' || v[5] > '9' || v[6] != '.' ||
      v[7] < '0' || v[7] > '9')
    return 400;
  if (targetEnd - targetBegin > HTTP_TARGET_LIMIT) return 414;
  if (data[targetBegin] != '/') return 400;
  if (v[5] != '1' || (v[7] != '0' && v[7] != '1')) return 505;
  out->http11 = v[7] == '1';

  const size_t methodLength = methodEnd - line.begin;
  if (methodLength == 3 && std::memcmp(data + line.begin, "GET", 3) == 0)
    out->method = HttpMethod::Get;
  else if (methodLength == 4 && std::memcmp(data + line.begin, "HEAD", 4) == 0)
    out->method = HttpMethod::Head;
  else
    return 405;
  size_t pathLength = 0;
  while (targetBegin + pathLength < targetEnd && data[targetBegin + pathLength] != '?' &&
         data[targetBegin + pathLength] != '#')
    ++pathLength;
  std::memcpy(request->path, data + targetBegin, pathLength);
  request->path[pathLength] = '\0';
  request->method = out->method;
  return 0;
}

// Bytes of a request line still arriving: could they start one?
bool couldStartRequestLine(const char* data, size_t begin, size_t size) {
  size_t i = begin;
  while (i < size && i - begin <= METHOD_LIMIT && isTokenChar(static_cast<unsigned char>(data[i]))) ++i;
  if (i == size) return i - begin <= METHOD_LIMIT;
  if (i == begin || data[i] != ' ') return false;
  for (++i; i < size; ++i) {
    const auto c = static_cast<unsigned char>(data[i]);
    if (c < 0x20 && !(c == '\r' && i + 1 == size)) return false;
    if (c >= 0x7F) return false;
  }
  return true;
}

struct Headers {
  int count = 0;
  int hosts = 0;
  bool close = false;
  bool keepAlive = false;
  bool body = false;
};

// Connection: comma-separated tokens.
void connectionTokens(const char* value, size_t length, Headers* h) {
  size_t i = 0;
  while (i < length) {
    while (i < length && (isBlank(value[i]) || value[i] == ',')) ++i;
    const size_t start = i;
    while (i < length && value[i] != ',') ++i;
    size_t end = i;
    while (end > start && isBlank(value[end - 1])) --end;
    if (sameNoCase(value + start, end - start, "close")) h->close = true;
    if (sameNoCase(value + start, end - start, "keep-alive")) h->keepAlive = true;
  }
}

int parseHeader(const char* data, const Line& line, Headers* h) {
  if (++h->count > HTTP_HEADER_LIMIT) return 431;
  size_t i = line.begin;
  while (i < line.end && isTokenChar(static_cast<unsigned char>(data[i]))) ++i;
  if (i == line.begin || i >= line.end || data[i] != ':') return 400;  // also a folded line
  const char* name = data + line.begin;
  const size_t nameLength = i - line.begin;
  for (size_t k = i + 1; k < line.end; ++k)
    if (!isFieldChar(static_cast<unsigned char>(data[k]))) return 400;
  size_t v = i + 1, end = line.end;
  while (v < end && isBlank(data[v])) ++v;
  while (end > v && isBlank(data[end - 1])) --end;
  const char* value = data + v;
  const size_t valueLength = end - v;
  if (sameNoCase(name, nameLength, "host")) ++h->hosts;
  if (sameNoCase(name, nameLength, "connection")) connectionTokens(value, valueLength, h);
  if (sameNoCase(name, nameLength, "transfer-encoding")) h->body = true;
  if (sameNoCase(name, nameLength, "content-length")) {
    for (size_t k = 0; k < valueLength; ++k)
      if (value[k] != '0') h->body = true;  // also anything that is not a number
    if (valueLength == 0) return 400;
  }
  return 0;
}

}  // namespace

HttpParse parseHttpRequest(const char* data, size_t size, HttpRequest* request) {
  size_t pos = 0;
  // Empty lines before a request line are skipped (some clients send one after a body).
  while (pos < size && (data[pos] == '\n' || (data[pos] == '\r' && pos + 1 < size && data[pos + 1] == '\n')))
    pos += data[pos] == '\r' ? 2 : 1;
  if (pos == size || (data[pos] == '\r' && pos + 1 == size)) return HttpParse{};

  Line line;
  bool bad = false;
  if (!nextLine(data, size, pos, &line, &bad)) {
    if (!couldStartRequestLine(data, pos, size)) return refuse(400);
    if (size - pos > HTTP_TARGET_LIMIT + METHOD_LIMIT + 16) return refuse(414);
    return HttpParse{};
  }
  if (bad) return refuse(400);
  RequestLine first;
  if (const int status = parseRequestLine(data, line, request, &first)) return refuse(status);

  Headers headers;
  for (pos = line.next;;) {
    if (!nextLine(data, size, pos, &line, &bad))
      return size >= HTTP_HEAD_LIMIT ? refuse(431) : HttpParse{};
    if (line.next > HTTP_HEAD_LIMIT) return refuse(431);
    if (bad) return refuse(400);
    pos = line.next;
    if (line.end == line.begin) break;
    if (const int status = parseHeader(data, line, &headers)) return refuse(status);
  }
  if (headers.body || headers.hosts > 1 || (first.http11 && headers.hosts != 1)) return refuse(400);
  request->keepAlive = first.http11 ? !headers.close : headers.keepAlive && !headers.close;
  HttpParse done;
  done.status = HttpParse::Complete;
  done.headLength = pos;
  return done;
}

const char* httpStatusText(int status) {
  switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 408: return "Request Timeout";
    case 414: return "URI Too Long";
    case 431: return "Request Header Fields Too Large";
    case 503: return "Service Unavailable";
    case 505: return "HTTP Version Not Supported";
    default: return "Internal Server Error";
  }
}

void formatHttpDate(int64_t ms, char* out) {
  static const char* const DAYS[] = {"Thu", "Fri", "Sat", "Sun", "Mon", "Tue", "Wed"};  // 1970-01-01 was a Thursday
  static const char* const MONTHS[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  int64_t seconds = ms / 1000;
  if (seconds < 0) seconds = 0;
  const int64_t days = seconds / 86400;
  const int64_t daySeconds = seconds % 86400;
  // Civil date from days since 1970-01-01 (proleptic Gregorian), eras of 400 years.
  const int64_t z = days + 719468;
  const int64_t era = z / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int64_t day = doy - (153 * mp + 2) / 5 + 1;
  const int64_t month = mp < 10 ? mp + 3 : mp - 9;
  const int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
  std::snprintf(out, 30, "%s, %02d %s %04d %02d:%02d:%02d GMT", DAYS[days % 7], static_cast<int>(day),
                MONTHS[month - 1], static_cast<int>(year % 10000), static_cast<int>(daySeconds / 3600),
                static_cast<int>(daySeconds / 60 % 60), static_cast<int>(daySeconds % 60));
}

size_t writeResponseHead(const HttpResponseHead& head, const char* serverName, char* out, size_t capacity) {
  TextBuffer text(out, capacity);
  char date[32];
  formatHttpDate(head.dateMs, date);
  text.add("HTTP/1.1 ");
  text.addInteger(head.status);
  text.add(' ');
  text.add(httpStatusText(head.status));
  text.add("\r\nDate: ");
  text.add(date);
  text.add("\r\nServer: ");
  text.add(serverName);
  if (head.contentType) {
    text.add("\r\nContent-Type: ");
    text.add(head.contentType);
  }
  text.add("\r\nContent-Length: ");
  text.addUnsigned(head.contentLength);
  text.add("\r\nCache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\n");
  if (head.status == 405) text.add("Allow: GET, HEAD\r\n");
  if (head.status == 503) text.add("Retry-After: 1\r\n");
  // The page runs its own inline script and style and loads nothing from elsewhere.
  if (head.page)
    text.add("Content-Security-Policy: default-src 'none'; script-src 'unsafe-inline'; style-src 'unsafe-inline'; "
             "connect-src 'self'\r\nReferrer-Policy: no-referrer\r\n");
  text.add(head.keepAlive ? "Connection: keep-alive\r\n\r\n" : "Connection: close\r\n\r\n");
  return text.overflowed() ? 0 : text.size();
}
