// The web server's own work for one request, without sockets: a kept-alive
// connection takes "GET /api/values" or "GET /metrics" and renders the
// answer from a snapshot of 32 shown channels. Under Wine most of a request's
// cost is the socket calls' trips to the wineserver; this is the rest.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>

#include "network/web_connection.h"

namespace {

struct Server {
  Server() {
    MeterSnapshot& s = exchange.back();
    s.ticks = 123456;
    s.timeMs = 1796000000000;
    s.rateHz = 1000;
    s.boardType = BOARD_KV320;
    s.channelCount = 32;
    for (int n = 0; n < 32; ++n) {
      ChannelSnapshot& c = s.channels[n];
      c.channel = c.panel = n + 1;
      c.value = c.reading = n * 0.25f - 4.0f;
      c.readingState = READING_PLAIN;
      c.low = -5.0f;
      c.high = 5.0f;
      c.output = n % 4;
      std::snprintf(c.name, sizeof c.name, "ch%d", n + 1);
      std::snprintf(c.unit, sizeof c.unit, "V");
    }
    exchange.publish();
  }
  SnapshotExchange exchange;
  WebService service{exchange, "<html></html>", 13, "1.0.0"};
};

void request(benchmark::State& state, const char* text) {
  static Server server;
  WebConnection connection(server.service);
  connection.open(0);
  size_t bytes = 0;
  for (auto _ : state) {
    connection.received(text, std::strlen(text), 1, 1796000000000);
    const WebConnection::Pending p = connection.pending();
    bytes = p.total();
    connection.sent(bytes, 1, 1796000000000);
  }
  state.counters["bytes"] = static_cast<double>(bytes);
}

void valuesJson(benchmark::State& state) { request(state, "GET /api/values HTTP/1.1\r\nHost: bench\r\n\r\n"); }
void metrics(benchmark::State& state) { request(state, "GET /metrics HTTP/1.1\r\nHost: bench\r\n\r\n"); }
BENCHMARK(valuesJson);
BENCHMARK(metrics);

}  // namespace

BENCHMARK_MAIN();
