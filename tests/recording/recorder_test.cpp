#include <gtest/gtest.h>

#include <cstring>
#include <ctime>

#include "expected_description.h"
#include "recording/recording_format.h"
#include "recording_fixture.h"

namespace {

// Reads the sample file by its documented offsets.
struct SampleFile {
  explicit SampleFile(std::string b) : bytes(std::move(b)) {}
  std::string name(size_t at) const { return bytes.substr(at, 24); }
  int32_t i32(size_t at) const {
    int32_t v;
    std::memcpy(&v, bytes.data() + at, 4);
    return v;
  }
  int64_t i64(size_t at) const {
    int64_t v;
    std::memcpy(&v, bytes.data() + at, 8);
    return v;
  }
  double f64(size_t at) const {
    double v;
    std::memcpy(&v, bytes.data() + at, 8);
    return v;
  }
  float f32(size_t at) const {
    float v;
    std::memcpy(&v, bytes.data() + at, 4);
    return v;
  }
  std::string bytes;
};

std::string padded(const char* name) {
  std::string s(name);
  s.resize(24, ' ');
  return s;
}

class RecorderTest : public ::testing::Test {
 protected:
  void TearDown() override { removeTree(dir); }
  std::string path(const char* ext) const { return dir + "/Data/261206_100005." + ext; }

  std::string dir = makeScratchDir();
  RecordingWorld world;
  TestFiles files{dir};
};

TEST_F(RecorderTest, SampleFileHeaderAndRowsByOffset) {
  TestFiles f(dir);
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

  Recorder rec(f, world.sources());
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

  SampleFile s(readWhole(path("qmr")));
  ASSERT_EQ(s.bytes.size(), 280u + 6 * 4);
  EXPECT_EQ(s.name(0), padded("QUORMAFFS"));
  EXPECT_EQ(s.i32(24), 0);
  EXPECT_EQ(s.i32(28), 0);
  EXPECT_EQ(s.name(32), padded("SAMPLES_FORMAT"));
  EXPECT_EQ(s.i32(56), 20);
  EXPECT_EQ(s.i32(60), 0);
  EXPECT_EQ(s.i32(64), 7);
  EXPECT_EQ(s.i32(68), 2);
  EXPECT_EQ(s.f64(72), 10.0);
  EXPECT_EQ(s.bytes.substr(80, 4), std::string("\x01\0\0\0", 4));
  EXPECT_EQ(s.name(84), padded("CHANNELS_INFO_HEADER"));
  EXPECT_EQ(s.i32(108), 20);
  EXPECT_EQ(s.i32(112), 0);
  EXPECT_EQ(s.i32(116), 7);
  EXPECT_EQ(s.f64(120), -10.0);
  EXPECT_EQ(s.f64(128), 10.0);
  EXPECT_EQ(s.name(136), padded("CHANNELS_INFO"));
  EXPECT_EQ(s.i64(160), 40);
  EXPECT_EQ(s.i32(168), 3);
  EXPECT_EQ(s.f64(172), -19.0);
  EXPECT_EQ(s.f64(180), 21.0);
  EXPECT_EQ(s.i32(188), 7);
  EXPECT_EQ(s.f64(192), -1.0);
  EXPECT_EQ(s.f64(200), 1.0);
  EXPECT_EQ(s.name(208), padded("SAMPLES_RECORD_INFO"));
  EXPECT_EQ(s.i32(232), 8);
  EXPECT_EQ(s.bytes.substr(236, 12), std::string(12, '\0'));
  EXPECT_EQ(s.name(248), padded("SAMPLES_RECORD"));
  EXPECT_EQ(s.bytes.substr(272, 8), std::string(8, '\xFF'));
  const float rows[6] = {1.5f, -2.0f, 3.25f, 4.0f, 5.0f, 6.0f};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(s.f32(280 + 4 * i), rows[i]) << i;
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
  SampleFile s(readWhole(path("qmr")));
  ASSERT_EQ(s.bytes.size(), 240u + 80);
  EXPECT_EQ(s.i32(68), 4);
  EXPECT_EQ(s.i32(168), 12);
  EXPECT_EQ(s.i32(188), 4);
  EXPECT_EQ(s.i32(208), 30);
  EXPECT_EQ(s.i32(228), 12);
  std::string text = readWhole(path("sreccfg"));
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
  EXPECT_EQ(readWhole(path("sreccfg")), head);

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
  EXPECT_EQ(readWhole(path("sreccfg")), want);
}

TEST_F(RecorderTest, NoMarkersWithoutCheckLabel) {
  world.showOnPanel(1, 1, true);
  world.settings.CheckLabel = 0;
  Recorder rec(files, world.sources());
  ASSERT_TRUE(rec.startRecording());
  std::string head = readWhole(path("sreccfg"));
  for (int i = 0; i < 40; ++i) rec.addMarker(0.16f * i, i & 1, i % 32);
  const float row[1] = {1.0f};
  rec.appendRows(row, 1);
  ASSERT_TRUE(rec.stopRecording());
  EXPECT_EQ(readWhole(path("sreccfg")), head + EXPECTED_CLOSING);
}

TEST_F(RecorderTest, ManyMarkersInOneTickAreAllKeptWhole) {
  world.showOnPanel(1, 1, true);
  world.settings.CheckLabel = 1;
  Recorder rec(files, world.sources());
  ASSERT_TRUE(rec.startRecording());
  std::string want = readWhole(path("sreccfg"));
  rec.clearMarkerText();
  // Long times make each entry as long as a float allows; 100 entries is far
  // more than one tick can produce.
  for (int i = 0; i < 100; ++i) {
    float t = i % 2 ? -3.0e38f : 4.0e9f;
    rec.addMarker(t, i & 1, i);
    char timeText[64];
    std::snprintf(timeText, sizeof timeText, "%f", static_cast<double>(t));
    want += expectedMarker(i & 1, timeText, i);
  }
  rec.appendRows(nullptr, 0);
  ASSERT_TRUE(rec.stopRecording());
  EXPECT_EQ(readWhole(path("sreccfg")), want + EXPECTED_CLOSING);
}

TEST_F(RecorderTest, FailedStartLeavesTheRecorderIdle) {
  world.showOnPanel(1, 1, true);
  Recorder rec(files, world.sources());

  files.failCreate = ".qmr";
  EXPECT_FALSE(rec.startRecording());
  EXPECT_FALSE(rec.isRecording());
  EXPECT_FALSE(fileExists(path("sreccfg")));
  const float row[1] = {1.0f};
  rec.appendRows(row, 1);  // an idle recorder writes nothing
  EXPECT_FALSE(fileExists(path("qmr")));

  files.failCreate = ".sreccfg";
  EXPECT_FALSE(rec.startRecording());
  EXPECT_FALSE(rec.isRecording());
  EXPECT_EQ(readWhole(path("qmr")).size(), 260u) << "the sample file made before the failure stays";
  rec.appendRows(row, 1);
  EXPECT_EQ(readWhole(path("qmr")).size(), 260u);

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
  std::string head = readWhole(path("sreccfg"));

  files.failOpen = ".sreccfg";
  EXPECT_FALSE(rec.stopRecording());
  EXPECT_TRUE(rec.isRecording());
  const float row[1] = {7.0f};
  rec.appendRows(row, 1);
  EXPECT_EQ(readWhole(path("qmr")).size(), 264u) << "rows keep going to the sample file";
  EXPECT_EQ(readWhole(path("sreccfg")), head);

  files.failOpen = nullptr;
  EXPECT_TRUE(rec.stopRecording());
  EXPECT_FALSE(rec.isRecording());
  EXPECT_EQ(readWhole(path("sreccfg")), head + EXPECTED_CLOSING);
  EXPECT_TRUE(rec.stopRecording()) << "stopping an idle recorder changes nothing";
  EXPECT_EQ(readWhole(path("sreccfg")), head + EXPECTED_CLOSING);
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
