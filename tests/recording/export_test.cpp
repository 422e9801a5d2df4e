#include <gtest/gtest.h>

#include "recording/recording_reader.h"
#include "recording_fixture.h"

namespace {

using ExportTest = RecordingTest;

const std::string BOM = "\xEF\xBB\xBF";
const std::string ROWS = "0.1,1.5,-2\r\n0.2,0.1,4\r\n";
const std::string CSV = BOM + "time_s,3:Ток,\"7:a;b\"\"c\"\r\n" + ROWS;

TEST_F(ExportTest, CsvWithOptionsInterruptedRecordingsAndRefusedFiles) {
  // Channels 3 "Ток" and 7 (a name that needs quoting), two rows, two markers.
  world.recordThreeAndSeven();
  std::strcpy(world.settings.channelName[3], cp1251Of("Ток").c_str());
  std::strcpy(world.settings.channelName[7], "a;b\"c");
  ASSERT_TRUE(rec.startRecording());
  const float rows[4] = {1.5f, -2.0f, 0.1f, 4.0f};
  rec.clearMarkerText();
  rec.addMarker(0.16f, 1, 5);
  rec.addMarker(0.32f, 0, 5);
  rec.appendRows(rows, 4);
  ASSERT_TRUE(rec.stopRecording());
  const std::string qmr = path("qmr"), cfg = path("sreccfg"), bytes = readFile(qmr);
  RunResult r = runExport(dir, "'" + qmr + "'");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out + r.err, CSV);

  r = runExport(dir, "--delimiter ';' --decimal-comma --markers '" + qmr + "' '" + dir + "/out.csv'");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(readFile(dir + "/out.csv"), BOM + "time_s;3:Ток;\"7:a;b\"\"c\"\r\n0,1;1,5;-2\r\n0,2;0,1;4\r\n\r\n"
                                              "time_s;type;output\r\n0,16;1;5\r\n0,32;0;5\r\n");
  EXPECT_NE(runExport(dir, "--delimiter ab '" + qmr + "'").exitCode, 0);

  writeFile(dir + "/notes.qmr", "QUORMAFFS is not enough\n");
  writeFile(dir + "/short.qmr", bytes.substr(0, 250));
  writeFile(dir + "/bad.qmr", bytes.substr(0, 160) + "\x3C" + bytes.substr(161));  // entry block size != 20 * count
  for (const char* name : {"notes.qmr", "bad.qmr", "short.qmr", "missing.qmr"}) {
    SCOPED_TRACE(name);
    r = runExport(dir, "'" + dir + "/" + name + "'");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find(name[0] == 'm' ? "cannot open" : "not a recording"), std::string::npos) << r.err;
  }

  // Killed while recording: no closing text (the names are still read), a row cut short.
  std::filesystem::resize_file(cfg, std::filesystem::file_size(cfg) - 19);  // the closing text
  writeFile(qmr, bytes + "\x01\x02\x03\x04\x05");
  r = runExport(dir, "'" + qmr + "'");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, CSV);
  EXPECT_NE(r.err.find("warning: sample file ends with a partial row"), std::string::npos) << r.err;

  std::remove(cfg.c_str());
  r = runExport(dir, "'" + qmr + "'");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, BOM + "time_s,3:,7:\r\n" + ROWS);
  EXPECT_NE(r.err.find("warning: no description"), std::string::npos) << r.err;
}

}  // namespace

namespace {

// Rows past 4 GB keep their places: a sparse sample file of over 4 GB, its last row written at its end.
TEST_F(ExportTest, RowsBeyondFourGigabytes) {
  world.recordThreeAndSeven();
  ASSERT_TRUE(rec.startRecording());
  const std::string qmr = path("qmr");
  const uint64_t rows = ((uint64_t{1} << 32) + 4096) / 8;
  std::filesystem::resize_file(qmr, 280 + (rows - 1) * 8);
  const float last[2] = {7.5f, -1.25f};
  rec.appendRows(last, 2);
  RecordingFile file;
  ASSERT_EQ(file.open(qmr), RecordingProblem::NONE);
  EXPECT_EQ(file.rowCount(), rows);
  float got[4] = {1, 1, 1, 1};
  ASSERT_EQ(file.rows().read(rows - 2, 2, got), 2u);
  EXPECT_EQ(got[0], 0.0f);
  EXPECT_EQ(got[2], 7.5f);
  EXPECT_EQ(got[3], -1.25f);
  // The tool exports a span from there: row r stands at (r + 1) / 10 s.
  const RunResult r = runExport(dir, "--from 53687142.3 --to 1e12 '" + qmr + "'");
  EXPECT_EQ(r.out, BOM + "time_s,3:,7:\r\n53687142.3,0,0\r\n53687142.4,7.5,-1.25\r\n") << r.err;
  EXPECT_EQ(runExport(dir, "--from 0.15 --to 0.2 '" + qmr + "'").out, BOM + "time_s,3:,7:\r\n0.2,0,0\r\n");
  EXPECT_EQ(runExport(dir, "--to -1 '" + qmr + "'").exitCode, 2);
}

}  // namespace
