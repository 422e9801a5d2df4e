#include <gtest/gtest.h>

#include <thread>

#include "expected_description.h"
#include "recording/recording_format.h"
#include "recording_fixture.h"

namespace {

// The bytes of a value as the sample file holds it (literals: int is 32 bits).
template <typename T>
std::string le(T value) { return std::string(reinterpret_cast<const char*>(&value), sizeof value); }
std::string padded(std::string name) { return name.append(24 - name.size(), ' '); }

// In 100-ns ticks since 1970, a whole number of days after the file times' 1601.
FileTime modifiedTime(const std::string& p) {
  const auto t = std::chrono::file_clock::to_sys(std::filesystem::last_write_time(p)).time_since_epoch();
  return std::chrono::duration_cast<std::chrono::nanoseconds>(t).count() / 100;
}

using RecorderTest = RecordingTest;

TEST_F(RecorderTest, SampleFileAndDescriptionByteForByte) {
  // Channels 9 down to 1 on panels 1 to 9 and 9 again on panel 12: every
  // recorded panel gets a row column and an entry in panel order; the
  // unflagged panel 10 and the hidden panel 11 get none.
  const char* names[9] = {"U1", "Ток", "P3", "T4", "", "F6", "G7", "H8", "Z9"};
  std::vector<ExpectedChannel> expected;
  for (int p : {1, 2, 3, 4, 5, 6, 7, 8, 9, 12}) {
    const int c = p == 12 ? 9 : 10 - p;
    world.showOnPanel(p, c, true);
    world.settings.channelK[c] = 1.0f;
    std::strcpy(world.settings.channelName[c], cp1251Of(names[c - 1]).c_str());
    expected.push_back({c, names[c - 1]});
  }
  world.showOnPanel(10, 12, false);
  world.showOnPanel(11, 13, true);
  world.panels[10].visible = 0;
  world.settings.channelK[9] = 3.0f;  // widest: -30 .. 30
  world.settings.channelK[7] = 2.0f;
  world.settings.channelB[7] = 1.0f;
  world.settings.Kadc[8] = 1;
  world.gains[1] = 10;
  world.settings.Ftime = 100;
  world.settings.CheckLabel = world.settings.TimeType = 1;
  ASSERT_TRUE(rec.startRecording());
  const FileTime afterHeader = modifiedTime(path("qmr"));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));  // so that the rows written later move the file's time
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
  const float rows[10] = {1.5f, -2.0f, 3.25f};
  rec.appendRows(rows, 10);
  std::string want = head + expectedMarker(1, "36007.500000", 4) + expectedMarker(0, "36007.500000", 31) +
                     expectedMarker(0, "0.320000", 0);
  // Entries as long as a float time allows, far more than one tick makes:
  // none while markers are off, all of them whole while on.
  for (int checkLabel : {0, 1}) {
    world.settings.CheckLabel = checkLabel;
    rec.clearMarkerText();
    for (int i = 0; i < 100; ++i) {
      const float t = i % 2 ? -3.0e38f : 4.0e9f;
      rec.addMarker(t, i & 1, i);
      if (checkLabel) want += expectedMarker(i & 1, std::to_string(static_cast<double>(t)).c_str(), i);
    }
    rec.appendRows(rows, 10);
  }
  world.settings.TimeType = 1;
  ASSERT_TRUE(rec.stopRecording());
  rec.appendRows(rows, 10);  // after the stop nothing more lands
  EXPECT_EQ(readFile(path("sreccfg")), want + EXPECTED_CLOSING);
  EXPECT_EQ(modifiedTime(path("qmr")), afterHeader) << "clock time: back to the time the header was written";

  const std::string file = readFile(path("qmr")), row = le(1.5f) + le(-2.0f) + le(3.25f) + std::string(28, '\0');
  ASSERT_EQ(file.size(), 440u + 3 * 40);
  const std::pair<size_t, std::string> layout[] = {
      {0, padded("QUORMAFFS")}, {24, le(0)}, {28, le(0)},
      {32, padded("SAMPLES_FORMAT")}, {56, le(20)}, {60, le(0)}, {64, le(7)}, {68, le(10)},
      {72, le(10.0)}, {80, std::string("\x01\0\0\0", 4)},
      {84, padded("CHANNELS_INFO_HEADER")}, {108, le(20)}, {112, le(0)}, {116, le(7)},
      {120, le(-10.0)}, {128, le(10.0)},
      {136, padded("CHANNELS_INFO")}, {160, le(int64_t{200})},
      {168, le(9)}, {172, le(-30.0)}, {180, le(30.0)}, {188, le(8)}, {192, le(-1.0)}, {200, le(1.0)},
      {208, le(7)}, {212, le(-19.0)}, {220, le(21.0)}, {348, le(9)}, {352, le(-30.0)}, {360, le(30.0)},
      {368, padded("SAMPLES_RECORD_INFO")}, {392, le(8)}, {396, std::string(12, '\0')},
      {408, padded("SAMPLES_RECORD")}, {432, std::string(8, '\xFF')}, {440, row + row + row}};
  for (const auto& [at, bytes] : layout) EXPECT_EQ(file.substr(at, bytes.size()), bytes) << "offset " << at;
}

TEST_F(RecorderTest, FailedStartAndStopThenMidnightTimes) {
  world.showOnPanel(1, 1, true);
  const float row[1] = {1.0f};
  for (const char* failing : {".qmr", ".sreccfg"}) {
    SCOPED_TRACE(failing);
    files.failCreate = failing;
    EXPECT_FALSE(rec.startRecording());
    EXPECT_FALSE(rec.isRecording());
    // The user is told which file and why.
    EXPECT_EQ(rec.notice(), "Запись не начата.\nНет доступа к файлу " + dir + "/Data/261206_100005" + failing);
    rec.appendRows(row, 1);  // an idle recorder writes nothing
  }
  EXPECT_FALSE(std::filesystem::exists(path("sreccfg")));
  EXPECT_EQ(readFile(path("qmr")).size(), 260u) << "the sample file made before the failure stays";

  files.failCreate = nullptr;
  ASSERT_TRUE(rec.startRecording());
  EXPECT_STREQ(rec.notice(), "");
  EXPECT_FALSE(rec.startRecording()) << "a second start must not replace the running pair";
  const std::string head = readFile(path("sreccfg"));
  files.failOpen = ".sreccfg";  // a stop that cannot reopen the description
  EXPECT_FALSE(rec.stopRecording());
  EXPECT_TRUE(rec.isRecording());
  rec.appendRows(row, 1);
  EXPECT_EQ(readFile(path("qmr")).size(), 264u) << "rows keep going to the sample file";
  EXPECT_EQ(readFile(path("sreccfg")), head);
  files.failOpen = nullptr;
  for (int stop = 0; stop < 2; ++stop) {  // the second stop finds the recorder idle and changes nothing
    EXPECT_TRUE(rec.stopRecording());
    EXPECT_FALSE(rec.isRecording());
    EXPECT_EQ(readFile(path("sreccfg")), head + EXPECTED_CLOSING);
  }
  EXPECT_EQ(modifiedTime(path("qmr")) % FILE_TIME_TICKS_PER_DAY, 21 * FILE_TIME_TICKS_PER_HOUR)
      << "local 10:00, UTC 07:00: local midnight is 21:00 UTC";

  TestFiles deep(dir + "/" + std::string(1100, 'x'));  // path longer than the recorder keeps
  Recorder deepRecorder(deep, world.sources());
  EXPECT_FALSE(deepRecorder.startRecording());
  EXPECT_STREQ(deepRecorder.notice(), "Запись не начата.\nСлишком длинный путь к рабочей папке");
}

// A disk that fills mid-row, then mid-marker; a file grown from outside by part of a row; too little room left.
// The files keep whole rows and whole marker entries, the watcher hears of each failure once, and the user is
// told which file and why.
TEST_F(RecorderTest, FailedWritesAndLowSpaceEndTheRecordingCleanly) {
  world.recordThreeAndSeven();  // rows of 8 bytes after a 280-byte header
  const float rows[6] = {1, 2, 3, 4, 5, 6};
  ASSERT_TRUE(rec.startRecording());
  const std::string head = readFile(path("sreccfg"));
  rec.appendRows(rows, 6);
  files.room = 20;  // two and a half rows
  rec.appendRows(rows, 6);
  EXPECT_EQ(readFile(path("qmr")).size(), 280u + 24);
  EXPECT_TRUE(rec.failed());
  EXPECT_EQ(world.watcher.failures, 1);
  files.room = UINT64_MAX;
  rec.appendRows(rows, 6);  // nothing more once failed
  EXPECT_EQ(readFile(path("qmr")).size(), 280u + 24);
  EXPECT_TRUE(rec.endAfterFailure());
  EXPECT_FALSE(rec.isRecording());
  EXPECT_EQ(rec.notice(), "Запись остановлена.\nДиск заполнен: " + path("qmr"));
  EXPECT_EQ(readFile(path("sreccfg")), head + EXPECTED_CLOSING);
  EXPECT_FALSE(rec.endAfterFailure()) << "told once";

  // Rows fit, the markers do not: the description loses no more than the entries that did not fit.
  files.local.second = 6;
  ASSERT_TRUE(rec.startRecording());
  const std::string qmr = dir + "/Data/261206_100006.qmr", cfg = dir + "/Data/261206_100006.sreccfg";
  std::filesystem::resize_file(qmr, 280 + 3);  // part of a row from outside: the next rows start at 280
  rec.clearMarkerText();
  rec.addMarker(1.0f, 1, 2);
  files.room = 8 + 40;
  rec.appendRows(rows, 2);
  EXPECT_EQ(readFile(qmr).substr(280), std::string(reinterpret_cast<const char*>(rows), 8));
  EXPECT_EQ(readFile(cfg), head);
  EXPECT_EQ(world.watcher.failures, 2);
  EXPECT_TRUE(rec.endAfterFailure());
  EXPECT_EQ(rec.notice(), "Запись остановлена.\nДиск заполнен: " + cfg);
  EXPECT_EQ(readFile(cfg), head) << "no room for the closing either: none of it";

  // A minute of 2-channel rows at 100 ms is 4800 bytes.
  files.room = UINT64_MAX;
  files.free = RECORDING_SPACE_MARGIN + 4799;
  files.local.second = 7;
  EXPECT_FALSE(rec.startRecording());
  EXPECT_EQ(rec.notice(), "Запись не начата.\nНа диске меньше места, чем нужно на минуту записи: " + dir + "/Data");
  files.free += 1;
  ASSERT_TRUE(rec.startRecording());
  EXPECT_TRUE(rec.watchFreeSpace());
  files.free -= 1;
  EXPECT_FALSE(rec.watchFreeSpace());
  EXPECT_EQ(world.watcher.failures, 3);
  EXPECT_TRUE(rec.stopRecording()) << "a stop after a failure ends the recording as well";
  EXPECT_EQ(rec.notice(), "Запись остановлена.\nНа диске меньше места, чем нужно на минуту записи: " + dir + "/Data");
}

TEST(RecordingFormat, MidnightForEveryOffset) {
  const FileTime day = 154000 * FILE_TIME_TICKS_PER_DAY, t = day + 13 * FILE_TIME_TICKS_PER_HOUR + 123456789;
  // offset, hour of local midnight; -21 is UTC+3 and 20 UTC-4 read across midnight
  for (auto [offset, hour] : {std::pair{3, 21}, {0, 0}, {-5, 5}, {-21, 21}, {20, 4}})
    EXPECT_EQ(midnightFileTime(t, offset), day + hour * FILE_TIME_TICKS_PER_HOUR) << offset;
}

TEST(RecordingFormat, MarkerEntriesFitTheirBound) {
  char out[MARKER_MAX_LENGTH + 1];
  size_t worst = formatMarker(out, INT32_MIN, -3.4028235e38 - 86399.0, INT32_MIN);
  EXPECT_EQ(worst, std::strlen(out));
  EXPECT_LT(worst, MARKER_MAX_LENGTH);
  EXPECT_GT(MARKER_TEXT_SIZE, 32 * worst);
}

}  // namespace
