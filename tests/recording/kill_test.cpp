// A recording process killed at a random moment leaves a pair that the export
// tool reads up to the last complete row.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>

#include "recording_fixture.h"

namespace {

[[noreturn]] void recordForever(const std::string& dir) {
  TestFiles files(dir);
  RecordingWorld world;
  world.recordThreeAndSeven();
  Recorder rec(files, world.sources());
  if (!rec.startRecording()) _exit(3);
  for (uint32_t j = 0;; ++j) {
    float row[2] = {static_cast<float>(j), static_cast<float>(j) + 0.5f};
    rec.clearMarkerText();
    if (j % 16 == 0) rec.addMarker(0.1f * j, j & 1, 9);
    rec.appendRows(row, 2);
  }
}

TEST(RecordingKill, FilesReadableUpToTheLastCompleteRow) {
  ScratchDir scratch;
  std::string dir = scratch.str();
  std::string qmr = dir + "/Data/261206_100005.qmr";
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) recordForever(dir);

  // Let some rows arrive, then kill at a random moment.
  for (int i = 0; i < 2000 && readFile(qmr).size() <= 280; ++i) usleep(1000);
  std::random_device seed;
  useconds_t delay = std::uniform_int_distribution<useconds_t>(1000, 200000)(seed);
  usleep(delay);
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status)) << "the recorder child ended by itself: " << status;

  size_t size = readFile(qmr).size();
  ASSERT_GT(size, 280u);
  size_t rows = (size - 280) / 8;
  RunResult r = runExport(dir, "--markers '" + qmr + "' '" + dir + "/out.csv'");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.err.find("no closing part"), std::string::npos);

  std::istringstream csv(readFile(dir + "/out.csv"));
  std::string line;
  std::getline(csv, line);
  EXPECT_EQ(line, "\xEF\xBB\xBFtime_s,3:,7:\r");
  size_t j = 0;
  for (; j < rows && std::getline(csv, line); ++j) {
    char want[96];
    std::snprintf(want, sizeof want, "%.12g,%zu,%zu.5\r", (j + 1) / 10.0, j, j);
    ASSERT_EQ(line, want) << "row " << j;
  }
  EXPECT_EQ(j, rows);
  std::getline(csv, line);
  EXPECT_EQ(line, "\r") << "marker table follows the rows";
  std::getline(csv, line);
  EXPECT_EQ(line, "time_s,type,output\r");
  size_t markers = 0;
  while (std::getline(csv, line)) ++markers;
  EXPECT_GE(markers + 1, (rows + 15) / 16) << "markers up to the kill";
  std::printf("killed after %u us: %zu rows, %zu markers\n", static_cast<unsigned>(delay), rows, markers);
}

}  // namespace
