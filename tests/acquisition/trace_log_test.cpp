#include <gtest/gtest.h>

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
  const std::string padding(150, '.');
  std::vector<std::thread> writers;
  for (int t = 0; t < 3; ++t) {
    writers.emplace_back([t, &padding] {
      for (int i = 0; i < kLines; ++i) {
        if (t == 2) traceValue("(int) bits", i);
        else traceText(("T" + std::to_string(t) + " " + std::to_string(i) + " " + padding).c_str());
      }
    });
  }
  for (auto& w : writers) w.join();

  int next[3] = {0, 0, 0};
  char expected[200];
  for (const auto& line : readLines(path)) {
    const int t = line.rfind("(int) bits=", 0) == 0 ? 2 : line.size() > 2 && line[0] == 'T' ? line[1] - '0' : -1;
    ASSERT_TRUE(t >= 0 && t <= 2) << line;
    if (t == 2) std::snprintf(expected, sizeof expected, "(int) bits=%d(%x)", next[2], next[2]);
    else std::snprintf(expected, sizeof expected, "T%d %d %s", t, next[t], padding.c_str());
    ASSERT_EQ(line, expected);
    ++next[t];
  }
  EXPECT_EQ(std::vector<int>(next, next + 3), std::vector<int>(3, kLines));
}

}  // namespace
