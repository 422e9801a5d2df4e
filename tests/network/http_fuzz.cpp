// libFuzzer target: the request parser and a connection's exchange on
// arbitrary bytes, received in pieces of sizes taken from the input, with the
// clock moving between them.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "network/web_connection.h"

namespace {

// The largest documents: every channel shown with a name and unit of 63 characters that each need the longest
// escape, so that a request for them that came through whole gets all of it.
struct World {
  SnapshotExchange exchange;
  WebService service{exchange, "<p>", 3, "1.0.0"};
  WebConnection connection{service};
  World() {
    MeterSnapshot& s = exchange.back();
    s.channelCount = CHANNEL_COUNT;
    for (ChannelSnapshot& c : s.channels) {
      c.value = c.low = c.high = c.ref = c.reading = -1.17549435e-38f;
      c.readingState = READING_REFERENCE;
      for (int i = 0; i < SETTINGS_TEXT_SIZE - 1; ++i) c.name[i] = '\x01', c.unit[i] = '\x85';  // "…": 3 bytes
    }
    exchange.publish();
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
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
    // Every response starts with a status line; documents always fit.
    const WebConnection::Pending out = c.pending();
    if (out.total() > 0 && (out.size[0] < 13 || std::memcmp(out.data[0], "HTTP/1.1 ", 9) != 0)) std::abort();
    if (out.total() > 0 && std::memcmp(out.data[0], "HTTP/1.1 500", 12) == 0) std::abort();
    c.sent(out.total() / 2, now, 0);
    c.sent(c.pending().total(), now, 0);
    now += data[pos - 1] % 4 == 0 ? REQUEST_TIMEOUT_MS / 3 : 1;
    c.expire(now, 0);
    c.sent(c.pending().total(), now, 0);
  }
  c.close();
  return 0;
}
