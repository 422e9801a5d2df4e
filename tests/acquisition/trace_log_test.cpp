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
  traceValue("(int)dimension", 160);
  traceValue("(int) bits", -1);
  EXPECT_EQ(readFile(path), "(int) bits=165(a5)\n--------\n(int)dimension=160(a0)\n(int) bits=-1(ffffffff)\n");

  // Pointing the log at the file again empties it, as every run does.
  ASSERT_TRUE(traceLogSetPath(path.c_str()));
  EXPECT_EQ(readFile(path), "");
  EXPECT_FALSE(traceLogSetPath(std::string(TRACE_PATH_SIZE, 'x').c_str()));
}

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

  const auto lines = readLines(path);
  ASSERT_EQ(lines.size(), 3u * kLines);
  int next[3] = {0, 0, 0};
  for (const auto& line : lines) {
    if (line.rfind("(int) bits=", 0) == 0) {
      char expected[64];
      std::snprintf(expected, sizeof expected, "(int) bits=%d(%x)", next[2], next[2]);
      ASSERT_EQ(line, expected);
      ++next[2];
      continue;
    }
    ASSERT_TRUE(line.size() > 2 && line[0] == 'T' && (line[1] == '0' || line[1] == '1')) << line;
    const int t = line[1] - '0';
    ASSERT_EQ(line, "T" + std::to_string(t) + " " + std::to_string(next[t]) + " " + padding);
    ++next[t];
  }
  EXPECT_EQ(std::vector<int>(next, next + 3), std::vector<int>(3, kLines));
}

}  // namespace
