#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <ctime>
#include <utility>
#include <vector>

#include "expected_description.h"
#include "recording/recording_format.h"
#include "recording_fixture.h"

namespace {

// The bytes of a value as the sample file holds it (literals: int is 32 bits).
template <typename T>
std::string le(T value) {
  return std::string(reinterpret_cast<const char*>(&value), sizeof value);
}

std::string padded(std::string name) {
  name.resize(24, ' ');
  return name;
}

// Checks the file's bytes at documented offsets.
void expectLayout(const std::string& file, const std::vector<std::pair<size_t, std::string>>& layout) {
  for (const auto& [at, bytes] : layout) EXPECT_EQ(file.substr(at, bytes.size()), bytes) << "offset " << at;
}

class RecorderTest : public ::testing::Test {
 protected:
  std::string path(const char* ext) const { return dir + "/Data/261206_100005." + ext; }

  ScratchDir scratch;
  std::string dir = scratch.str();
  RecordingWorld world;
  TestFiles files{dir};
};

TEST_F(RecorderTest, SampleFileHeaderAndRowsByOffset) {
  world.showOnPanel(1, 3, true);
  world.showOnPanel(2, 7, true);
  world.showOnPanel(3, 5, false);  // shown, not recorded
  world.showOnPanel(4, 9, true);
  world.panels[3].visible = 0;  // hidden panels are never recorded
  world.settings.Ftime = 100;
  world.settings.channelK[3] = 2.0f;
  world.settings.channelB[3] = 1.0f;
  world.settings.Kadc[7] = 1;
  world.gains[1] = 10;
  world.settings.channelK[7] = 1.0f;

  Recorder rec(files, world.sources());
  ASSERT_TRUE(rec.startRecording());
  EXPECT_TRUE(rec.isRecording());
  EXPECT_EQ(rec.samplePath(), path("qmr"));
  EXPECT_EQ(rec.configPath(), path("sreccfg"));
  const float tick1[4] = {1.5f, -2.0f, 3.25f, 4.0f};
  const float tick2[2] = {5.0f, 6.0f};
  rec.appendRows(tick1, 4);
  rec.appendRows(tick2, 0);  // a tick without rows writes nothing
  rec.appendRows(tick2, 2);
  ASSERT_TRUE(rec.stopRecording());
  rec.appendRows(tick2, 2);  // after the stop nothing more lands

  const std::string file = readFile(path("qmr"));
  ASSERT_EQ(file.size(), 280u + 6 * 4);
  expectLayout(file, {{0, padded("QUORMAFFS")}, {24, le(0)}, {28, le(0)},
                      {32, padded("SAMPLES_FORMAT")}, {56, le(20)}, {60, le(0)}, {64, le(7)}, {68, le(2)},
                      {72, le(10.0)}, {80, std::string("\x01\0\0\0", 4)},
                      {84, padded("CHANNELS_INFO_HEADER")}, {108, le(20)}, {112, le(0)}, {116, le(7)},
                      {120, le(-10.0)}, {128, le(10.0)},
                      {136, padded("CHANNELS_INFO")}, {160, le(int64_t{40})},
                      {168, le(3)}, {172, le(-19.0)}, {180, le(21.0)}, {188, le(7)}, {192, le(-1.0)}, {200, le(1.0)},
                      {208, padded("SAMPLES_RECORD_INFO")}, {232, le(8)}, {236, std::string(12, '\0')},
                      {248, padded("SAMPLES_RECORD")}, {272, std::string(8, '\xFF')},
                      {280, le(1.5f) + le(-2.0f) + le(3.25f) + le(4.0f) + le(5.0f) + le(6.0f)}});
}

TEST_F(RecorderTest, EntriesFollowTheRowColumnsInPanelOrder) {
  // The tick gives every recorded panel a row column in panel order, also when
  // two panels show the same channel; the entries must label them alike.
  world.showOnPanel(1, 12, true);
  world.showOnPanel(2, 4, true);
  world.showOnPanel(3, 30, true);
  world.showOnPanel(5, 12, true);
  Recorder rec(files, world.sources());
  ASSERT_TRUE(rec.startRecording());
  ASSERT_TRUE(rec.stopRecording());
  const std::string file = readFile(path("qmr"));
  ASSERT_EQ(file.size(), 240u + 80);
  expectLayout(file, {{68, le(4)}, {168, le(12)}, {188, le(4)}, {208, le(30)}, {228, le(12)}});
  std::string text = readFile(path("sreccfg"));
  EXPECT_LT(text.find("ID = 12\r\n"), text.find("ID = 4\r\n"));
}

TEST_F(RecorderTest, DescriptionByteForByteWithMarkersAndClosing) {
  const char* names[9] = {"U1", "Ток", "P3", "T4", "", "F6", "G7", "H8", "Z9"};
  std::vector<ExpectedChannel> expected;
  for (int c = 1; c <= 9; ++c) {
    world.showOnPanel(c, c, true);
    world.settings.channelK[c] = 1.0f;
    std::strcpy(world.settings.channelName[c], cp1251Of(names[c - 1]).c_str());
    expected.push_back({c, names[c - 1]});
  }
  world.settings.channelK[9] = 3.0f;  // widest: -30 .. 30
  world.settings.CheckLabel = 1;
  world.settings.TimeType = 1;
  Recorder rec(files, world.sources());
  ASSERT_TRUE(rec.startRecording());

  std::string head = expectedDescriptionHead(expected, "-30 30");
  EXPECT_EQ(readFile(path("sreccfg")), head);

  // clock time: the recording started at 10:00:05
  rec.clearMarkerText();
  rec.addMarker(2.5f, 1, 4);
  rec.addMarker(2.5f, 0, 31);
  rec.appendRows(nullptr, 0);  // a tick without rows still writes its markers
  world.settings.TimeType = 0;
  rec.clearMarkerText();
  rec.addMarker(0.16f, 1, 0);
  rec.clearMarkerText();  // the tick empties the text before each block
  rec.addMarker(0.32f, 0, 0);
  const float row[9] = {};
  rec.appendRows(row, 9);
  ASSERT_TRUE(rec.stopRecording());

  std::string want = head + expectedMarker(1, "36007.500000", 4) + expectedMarker(0, "36007.500000", 31) +
                     expectedMarker(0, "0.320000", 0) + EXPECTED_CLOSING;
  EXPECT_EQ(readFile(path("sreccfg")), want);
}

TEST_F(RecorderTest, MarkersOnlyWithCheckLabelAndAllKeptWhole) {
  world.showOnPanel(1, 1, true);
  const float row[1] = {1.0f};
  for (int checkLabel : {0, 1}) {
    SCOPED_TRACE(checkLabel);
    world.settings.CheckLabel = checkLabel;
    Recorder rec(files, world.sources());
    ASSERT_TRUE(rec.startRecording());
    std::string want = readFile(path("sreccfg"));
    rec.clearMarkerText();
    // Long times make each entry as long as a float allows; 100 entries is far
    // more than one tick can produce.
    for (int i = 0; i < 100; ++i) {
      float t = i % 2 ? -3.0e38f : 4.0e9f;
      rec.addMarker(t, i & 1, i);
      char timeText[64];
      std::snprintf(timeText, sizeof timeText, "%f", static_cast<double>(t));
      if (checkLabel) want += expectedMarker(i & 1, timeText, i);
    }
    rec.appendRows(row, 1);
    ASSERT_TRUE(rec.stopRecording());
    EXPECT_EQ(readFile(path("sreccfg")), want + EXPECTED_CLOSING);
  }
}

TEST_F(RecorderTest, FailedStartLeavesTheRecorderIdle) {
  world.showOnPanel(1, 1, true);
  Recorder rec(files, world.sources());

  files.failCreate = ".qmr";
  EXPECT_FALSE(rec.startRecording());
  EXPECT_FALSE(rec.isRecording());
  EXPECT_FALSE(std::filesystem::exists(path("sreccfg")));
  const float row[1] = {1.0f};
  rec.appendRows(row, 1);  // an idle recorder writes nothing
  EXPECT_FALSE(std::filesystem::exists(path("qmr")));

  files.failCreate = ".sreccfg";
  EXPECT_FALSE(rec.startRecording());
  EXPECT_FALSE(rec.isRecording());
  EXPECT_EQ(readFile(path("qmr")).size(), 260u) << "the sample file made before the failure stays";
  rec.appendRows(row, 1);
  EXPECT_EQ(readFile(path("qmr")).size(), 260u);

  files.failCreate = nullptr;
  EXPECT_TRUE(rec.startRecording());
  EXPECT_FALSE(rec.startRecording()) << "a second start must not replace the running pair";
  EXPECT_TRUE(rec.isRecording());
  EXPECT_TRUE(rec.stopRecording());

  TestFiles deep(dir + "/" + std::string(600, 'x'));  // path longer than the recorder keeps
  Recorder rec2(deep, world.sources());
  EXPECT_FALSE(rec2.startRecording());
  EXPECT_FALSE(rec2.isRecording());
}

TEST_F(RecorderTest, StopThatCannotReopenTheDescriptionKeepsRecording) {
  world.showOnPanel(1, 1, true);
  world.settings.CheckLabel = 1;
  Recorder rec(files, world.sources());
  ASSERT_TRUE(rec.startRecording());
  std::string head = readFile(path("sreccfg"));

  files.failOpen = ".sreccfg";
  EXPECT_FALSE(rec.stopRecording());
  EXPECT_TRUE(rec.isRecording());
  const float row[1] = {7.0f};
  rec.appendRows(row, 1);
  EXPECT_EQ(readFile(path("qmr")).size(), 264u) << "rows keep going to the sample file";
  EXPECT_EQ(readFile(path("sreccfg")), head);

  files.failOpen = nullptr;
  EXPECT_TRUE(rec.stopRecording());
  EXPECT_FALSE(rec.isRecording());
  EXPECT_EQ(readFile(path("sreccfg")), head + EXPECTED_CLOSING);
  EXPECT_TRUE(rec.stopRecording()) << "stopping an idle recorder changes nothing";
  EXPECT_EQ(readFile(path("sreccfg")), head + EXPECTED_CLOSING);
}

FileTime modifiedTime(const std::string& p) {
  struct stat st{};
  ::stat(p.c_str(), &st);
  return (static_cast<uint64_t>(st.st_mtim.tv_sec) + 11644473600ull) * 10000000ull +
         static_cast<uint64_t>(st.st_mtim.tv_nsec) / 100;
}

TEST_F(RecorderTest, SampleFileTimesAtStop) {
  world.showOnPanel(1, 1, true);
  const float row[1] = {1.0f};
  {
    world.settings.TimeType = 0;  // local 10:00, UTC 07:00: local midnight is 21:00 UTC
    Recorder rec(files, world.sources());
    ASSERT_TRUE(rec.startRecording());
    rec.appendRows(row, 1);
    ASSERT_TRUE(rec.stopRecording());
    FileTime t = modifiedTime(path("qmr"));
    EXPECT_EQ(t % FILE_TIME_TICKS_PER_DAY, 21 * FILE_TIME_TICKS_PER_HOUR);
  }
  {
    world.settings.TimeType = 1;  // back to the time the header was written
    files.local.second = 6;
    Recorder rec(files, world.sources());
    ASSERT_TRUE(rec.startRecording());
    std::string p = rec.samplePath();
    FileTime afterHeader = modifiedTime(p);
    struct timespec pause = {0, 20 * 1000 * 1000};
    nanosleep(&pause, nullptr);
    rec.appendRows(row, 1);
    ASSERT_TRUE(rec.stopRecording());
    EXPECT_EQ(modifiedTime(p), afterHeader);
  }
}

TEST(RecordingFormat, MidnightForEveryOffset) {
  const FileTime day = 154000 * FILE_TIME_TICKS_PER_DAY;
  const FileTime t = day + 13 * FILE_TIME_TICKS_PER_HOUR + 123456789;
  EXPECT_EQ(midnightFileTime(t, 3), day + 21 * FILE_TIME_TICKS_PER_HOUR);
  EXPECT_EQ(midnightFileTime(t, 0), day);
  EXPECT_EQ(midnightFileTime(t, -5), day + 5 * FILE_TIME_TICKS_PER_HOUR);
  EXPECT_EQ(midnightFileTime(t, -21), day + 21 * FILE_TIME_TICKS_PER_HOUR) << "UTC+3 read across midnight";
  EXPECT_EQ(midnightFileTime(t, 20), day + 4 * FILE_TIME_TICKS_PER_HOUR) << "UTC-4 read across midnight";
}

TEST(RecordingFormat, MarkerEntriesFitTheirBound) {
  char out[MARKER_MAX_LENGTH + 1];
  size_t worst = formatMarker(out, INT32_MIN, -3.4028235e38 - 86399.0, INT32_MIN);
  EXPECT_EQ(worst, std::strlen(out));
  EXPECT_LT(worst, MARKER_MAX_LENGTH);
  EXPECT_GT(MARKER_TEXT_SIZE, 32 * worst);
}

}  // namespace
