// libFuzzer target: the request parser and a connection's exchange on
// arbitrary bytes, received in pieces of sizes taken from the input, with the
// clock moving between them.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "network/web_connection.h"

namespace {

struct World {
  SnapshotExchange exchange;
  WebService service{exchange, "<p>", 3, "1.0.0"};
  WebConnection connection{service};
};

bool knownRefusal(int status) {
  return status == 400 || status == 405 || status == 414 || status == 431 || status == 505;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  HttpRequest request;
  const HttpParse p = parseHttpRequest(text, size, &request);
  if (p.status == HttpParse::Complete && (p.headLength > size || request.path[0] != '/')) std::abort();
  if (p.status == HttpParse::Refused && !knownRefusal(p.refusal)) std::abort();

  static World* world = new World;  // its buffers are large: made once
  WebConnection& c = world->connection;
  uint64_t now = 1;
  c.open(now);
  size_t pos = 0;
  while (pos < size && !c.finished()) {
    const size_t piece = 1 + data[pos] % 64;
    const size_t n = piece < size - pos ? piece : size - pos;
    c.received(text + pos, n < c.receiveRoom() ? n : c.receiveRoom(), now, 0);
    pos += n;
    // Every response starts with a status line.
    const WebConnection::Pending out = c.pending();
    if (out.total() > 0 && (out.size[0] < 13 || std::memcmp(out.data[0], "HTTP/1.1 ", 9) != 0)) std::abort();
    c.sent(out.total() / 2, now, 0);
    c.sent(c.pending().total(), now, 0);
    now += data[pos - 1] % 4 == 0 ? REQUEST_TIMEOUT_MS / 3 : 1;
    c.expire(now, 0);
    c.sent(c.pending().total(), now, 0);
  }
  c.close();
  return 0;
}
