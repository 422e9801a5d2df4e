// The request parser and one connection's exchange, written from HTTP/1.1's
// message syntax; real clients (curl, Prometheus, Chromium) check the rest.
#include <gtest/gtest.h>

#include <string>

#include "network/web_connection.h"

using namespace std::string_literals;

namespace {

struct ParseCase {
  std::string bytes;
  int expect;  // 0 incomplete, 200 complete, else the refusal
  std::string path = "";
  bool keepAlive = false;
};

const std::string H = "Host: meter\r\n";

TEST(HttpRequest, CompleteIncompleteAndRefused) {
  const std::string longTarget = "/" + std::string(HTTP_TARGET_LIMIT, 'a');
  std::string manyHeaders = "GET / HTTP/1.1\r\n" + H;
  for (int i = 0; i < HTTP_HEADER_LIMIT; ++i) manyHeaders += "X-" + std::to_string(i) + ": 1\r\n";
  const ParseCase cases[] = {
      {"GET /metrics HTTP/1.1\r\n" + H + "Accept: */*\r\n\r\n", 200, "/metrics", true},
      {"HEAD /api/values?x=1&y HTTP/1.0\r\n\r\n", 200, "/api/values", false},
      {"GET / HTTP/1.0\r\nConnection: Keep-Alive\r\n\r\n", 200, "/", true},
      {"GET / HTTP/1.1\r\n" + H + "Connection: keep-alive, Close\r\n\r\n", 200, "/", false},
      {"\r\nGET /a HTTP/1.1\nhost:x\n\n", 200, "/a", true},  // a leading empty line, bare LF line ends
      {"GET / HTTP/1.1\r\n" + H + "Content-Length: 0\r\n\r\n", 200, "/", true},
      {"GET / HTTP/1.1\r\n" + H, 0},
      {"GE", 0},
      {"\r", 0},
      {"\x16\x03\x01\x02\x00", 400},  // a TLS hello: refused at its first byte
      {"GET\t/ HTTP/1.1\r\n", 400},
      {"get / HTTP/1.1\r\n" + H + "\r\n", 405},
      {"GET / HTTP/2.0\r\n", 505},
      {"GET / HTTP/1.1x\r\n", 400},
      {"GET http://meter/ HTTP/1.1\r\n", 400},
      {"GET / HTTP/1.1\r\r\n", 400},
      {"GET " + longTarget + " HTTP/1.1\r\n", 414},
      {"GET " + longTarget + std::string(64, 'a'), 414},  // still arriving, already too long
      {manyHeaders + "\r\n", 431},
      {"GET / HTTP/1.1\r\n" + H + "X: " + std::string(HTTP_HEAD_LIMIT, 'x'), 431},
      {"GET / HTTP/1.1\r\n\r\n", 400},                       // no Host
      {"GET / HTTP/1.1\r\n" + H + H + "\r\n", 400},          // two
      {"GET / HTTP/1.1\r\n" + H + "Content-Length: 5\r\n\r\nhello", 400},
      {"GET / HTTP/1.1\r\n" + H + "Transfer-Encoding: chunked\r\n\r\n", 400},
      {"GET / HTTP/1.1\r\n" + H + "Bad Name: x\r\n\r\n", 400},
      {"GET / HTTP/1.1\r\n" + H + "X: a\r\n folded\r\n\r\n", 400},
      {"GET / HTTP/1.1\r\n" + H + "X: a\0b\r\n\r\n"s, 400},
  };
  for (const ParseCase& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.bytes.substr(0, 60)));
    HttpRequest request;
    const HttpParse p = parseHttpRequest(c.bytes.data(), c.bytes.size(), &request);
    const int got = p.status == HttpParse::Incomplete ? 0 : p.status == HttpParse::Complete ? 200 : p.refusal;
    EXPECT_EQ(got, c.expect);
    if (c.expect == 200) {
      EXPECT_EQ(request.path, c.path);
      EXPECT_EQ(request.keepAlive, c.keepAlive);
      EXPECT_EQ(p.headLength, c.bytes.size());
    }
  }
}

// A connection with a clock of our own, the page "PAGE" and an empty snapshot.
struct Client {
  SnapshotExchange exchange;
  WebService service{exchange, "PAGE", 4, "1.0.0"};
  WebConnection connection{service};
  uint64_t now = 1000;
  Client() { connection.open(now); }

  void send(const std::string& bytes) { connection.received(bytes.data(), bytes.size(), now, 0); }
  // Everything the connection has to send (the fuzzer takes it in pieces).
  std::string take() {
    std::string out;
    for (auto p = connection.pending(); p.total() > 0; p = connection.pending()) {
      out.append(p.data[0], p.size[0]).append(p.data[1] ? p.data[1] : "", p.size[1]);
      connection.sent(p.total(), now, 0);
    }
    return out;
  }
  void wait(uint64_t ms) {
    now += ms;
    connection.expire(now, 0);
  }
};

std::string statusLine(const std::string& response) { return response.substr(0, response.find("\r\n")); }

TEST(WebConnection, PipelinedRequestsAnsweredInOrder) {
  Client c;
  c.send("GET / HTTP/1.1\r\n" + H + "\r\nHEAD / HTTP/1.1\r\n" + H + "\r\nGET /nothing HTTP/1.1\r\n" + H + "\r\n");
  const std::string out = c.take();
  const size_t second = out.find("HTTP/1.1", 1), third = out.find("HTTP/1.1", second + 1);
  ASSERT_NE(third, std::string::npos) << out;
  EXPECT_EQ(statusLine(out), "HTTP/1.1 200 OK");
  EXPECT_NE(out.find("Content-Length: 4\r\n"), std::string::npos);
  EXPECT_EQ(out.substr(second - 4, 4), "PAGE");
  const std::string head = out.substr(second, third - second);  // HEAD: the length, no body
  EXPECT_NE(head.find("Content-Length: 4\r\nCache"), std::string::npos);
  EXPECT_EQ(head.substr(head.size() - 4), "\r\n\r\n");
  EXPECT_EQ(statusLine(out.substr(third)), "HTTP/1.1 404 Not Found");
  EXPECT_FALSE(c.connection.finished());  // kept alive
}

TEST(WebConnection, RefusalsAndTimeLimits) {
  Client refused;  // answered, then closed
  refused.send("DELETE /metrics HTTP/1.1\r\n" + H + "\r\n");
  const std::string out = refused.take();
  EXPECT_EQ(statusLine(out), "HTTP/1.1 405 Method Not Allowed");
  EXPECT_NE(out.find("\r\nAllow: GET, HEAD\r\nConnection: close\r\n"), std::string::npos);
  EXPECT_TRUE(refused.connection.finished());

  Client slow;  // a head that never ends: 408 after the request time limit, however the bytes trickle in
  slow.send("GET / HTTP/1.1\r\n");
  for (int i = 0; i < 10; ++i, slow.send("X: y\r\n")) slow.wait(REQUEST_TIMEOUT_MS / 10 - 1);
  slow.wait(10);
  EXPECT_EQ(statusLine(slow.take()), "HTTP/1.1 408 Request Timeout");
  EXPECT_TRUE(slow.connection.finished());

  Client idle;  // keep-alive: an idle connection closes; a request restarts the idle time
  idle.wait(IDLE_TIMEOUT_MS - 1);
  idle.send("GET / HTTP/1.1\r\n" + H + "\r\n");
  idle.take();
  idle.wait(IDLE_TIMEOUT_MS - 1);
  EXPECT_FALSE(idle.connection.finished());
  idle.wait(1);
  EXPECT_TRUE(idle.connection.finished());

  Client deaf;  // does not read its response: nothing more is read meanwhile, and it is given up
  deaf.send("GET / HTTP/1.1\r\n" + H + "\r\n");
  EXPECT_EQ(deaf.connection.receiveRoom(), 0u);
  deaf.wait(SEND_TIMEOUT_MS);
  EXPECT_TRUE(deaf.connection.finished());

  Client gone;  // closes halfway through its request
  gone.send("GET / HT");
  gone.connection.peerClosed();
  EXPECT_TRUE(gone.connection.finished());
}

}  // namespace
