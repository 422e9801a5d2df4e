#include <gtest/gtest.h>

#include "recording_fixture.h"

namespace {

class ExportTest : public RecordingTest {
 protected:
  // Channels 3 "Ток" and 7 (a name that needs quoting), two rows, two markers.
  std::string record() {
    world.recordThreeAndSeven();
    std::strcpy(world.settings.channelName[3], cp1251Of("Ток").c_str());
    std::strcpy(world.settings.channelName[7], "a;b\"c");
    EXPECT_TRUE(rec.startRecording());
    const float rows[4] = {1.5f, -2.0f, 0.1f, 4.0f};
    rec.clearMarkerText();
    rec.addMarker(0.16f, 1, 5);
    rec.addMarker(0.32f, 0, 5);
    rec.appendRows(rows, 4);
    EXPECT_TRUE(rec.stopRecording());
    return rec.samplePath();
  }
};

const std::string BOM = "\xEF\xBB\xBF";
const std::string ROWS = "0.1,1.5,-2\r\n0.2,0.1,4\r\n";
const std::string CSV = BOM + "time_s,3:Ток,\"7:a;b\"\"c\"\r\n" + ROWS;

TEST_F(ExportTest, CsvWithOptionsAndOfInterruptedRecordings) {
  const std::string qmr = record(), cfg = path("sreccfg");
  RunResult r = runExport(dir, "'" + qmr + "'");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out + r.err, CSV);

  r = runExport(dir, "--delimiter ';' --decimal-comma --markers '" + qmr + "' '" + dir + "/out.csv'");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(readFile(dir + "/out.csv"), BOM + "time_s;3:Ток;\"7:a;b\"\"c\"\r\n0,1;1,5;-2\r\n0,2;0,1;4\r\n\r\n"
                                              "time_s;type;output\r\n0,16;1;5\r\n0,32;0;5\r\n");

  // Killed while recording: no closing text, a row cut short.
  const std::string text = readFile(cfg);
  writeFile(cfg, text.substr(0, text.size() - 19));
  std::ofstream(qmr, std::ios::binary | std::ios::app).write("\x01\x02\x03\x04\x05", 5);
  r = runExport(dir, "'" + qmr + "'");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, CSV);
  EXPECT_NE(r.err.find("warning: sample file ends with a partial row"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("warning: description has no closing part"), std::string::npos) << r.err;

  std::remove(cfg.c_str());
  r = runExport(dir, "'" + qmr + "'");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, BOM + "time_s,3:,7:\r\n" + ROWS);
  EXPECT_NE(r.err.find("warning: no description"), std::string::npos) << r.err;
}

TEST_F(ExportTest, NonRecordingsAreRefused) {
  std::ofstream(dir + "/notes.qmr") << "QUORMAFFS is not enough\n";
  std::string qmr = record();
  std::string bytes = readFile(qmr);
  std::ofstream(dir + "/short.qmr", std::ios::binary) << bytes.substr(0, 250);
  bytes[160] = 60;  // entry block size that disagrees with the channel count
  std::ofstream(dir + "/bad.qmr", std::ios::binary) << bytes;
  const std::pair<const char*, const char*> cases[] = {
      {"notes.qmr", "not a recording"}, {"bad.qmr", "not a recording"},
      {"short.qmr", "not a recording"}, {"missing.qmr", "cannot open"}};
  for (const auto& [name, error] : cases) {
    SCOPED_TRACE(name);
    RunResult r = runExport(dir, "'" + dir + "/" + name + "'");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find(error), std::string::npos) << r.err;
  }
  EXPECT_NE(runExport(dir, "--delimiter ab '" + qmr + "'").exitCode, 0);
}

}  // namespace
