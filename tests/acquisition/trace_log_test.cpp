#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "acquisition/trace_log.h"
#include "acquisition_fakes.h"

namespace {

TEST(TraceLog, FormatsLinesAndStartsEmpty) {
  const std::string path = ::testing::TempDir() + "trace_format";
  ASSERT_TRUE(traceLogSetPath(path.c_str()));
  traceValue("(int) bits", 0x00A5);
  traceText("--------");
  traceValue("(int) bits", -1);
  EXPECT_EQ(readFile(path), "(int) bits=165(a5)\n--------\n(int) bits=-1(ffffffff)\n");
  ASSERT_TRUE(traceLogSetPath(path.c_str()));  // pointing the log at the file again empties it, as every run does
  EXPECT_EQ(readFile(path), "");
  EXPECT_FALSE(traceLogSetPath(std::string(TRACE_PATH_SIZE, 'x').c_str()));
}

// Three threads' lines (one of them formatted values) stay whole and each thread's in its order.
TEST(TraceLog, LinesFromThreeThreadsStayWholeAndInOrder) {
  const std::string path = ::testing::TempDir() + "trace_threads";
  ASSERT_TRUE(traceLogSetPath(path.c_str()));
  constexpr int kLines = 300;
  const auto line = [](int t, int i) {
    char text[200];
    if (t == 2) std::snprintf(text, sizeof text, "(int) bits=%d(%x)", i, i);
    else std::snprintf(text, sizeof text, "T%d %d %s", t, i, std::string(150, '.').c_str());
    return std::string(text);
  };
  std::vector<std::thread> writers;
  for (int t = 0; t < 3; ++t)
    writers.emplace_back([t, &line] {
      for (int i = 0; i < kLines; ++i) t == 2 ? traceValue("(int) bits", i) : traceText(line(t, i).c_str());
    });
  for (auto& w : writers) w.join();

  int next[3] = {0, 0, 0};
  for (const auto& text : readLines(path)) {
    const int t = text[0] == 'T' ? text[1] - '0' : 2;
    ASSERT_TRUE(t >= 0 && t <= 2 && text == line(t, next[t]++)) << text;
  }
  EXPECT_EQ(std::vector<int>(next, next + 3), std::vector<int>(3, kLines));
}

}  // namespace
