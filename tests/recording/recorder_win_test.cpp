// The recorder on the kernel file API: real share modes, file times and the
// export tool on what it wrote.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "recording_fixture.h"

namespace {

uint64_t lastWrite(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  FILETIME w{};
  GetFileTime(h, nullptr, nullptr, &w);
  CloseHandle(h);
  return (static_cast<uint64_t>(w.dwHighDateTime) << 32) | w.dwLowDateTime;
}

class RecorderWin : public ::testing::Test {
 protected:
  void SetUp() override { world.recordThreeAndSeven(); }

  ScratchDir scratch{true};
  std::string dir = scratch.str();
  RecordingWorld world;
};

TEST_F(RecorderWin, RecordsThroughTheKernelFileApi) {
  Recorder rec(platformRecorderFiles(), world.sources());
  ASSERT_TRUE(rec.startRecording());
  const std::string qmr = rec.samplePath(), cfg = rec.configPath();
  const std::string prefix = dir + "\\Data\\";
  ASSERT_EQ(qmr.compare(0, prefix.size(), prefix), 0) << qmr;
  EXPECT_NE(GetFileAttributesA(qmr.c_str()) & FILE_ATTRIBUTE_ARCHIVE, 0u);
  EXPECT_EQ(readFile(qmr).size(), 280u);

  const float row[2] = {1.5f, 2.5f};
  rec.clearMarkerText();
  rec.addMarker(0.16f, 1, 3);
  rec.appendRows(row, 2);
  EXPECT_EQ(readFile(qmr).size(), 288u);

  // Held elsewhere without sharing: the append is skipped, not forced.
  HANDLE held = CreateFileA(qmr.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  rec.appendRows(row, 2);
  CloseHandle(held);
  EXPECT_EQ(readFile(qmr).size(), 288u);

  held = CreateFileA(cfg.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(rec.stopRecording());
  EXPECT_TRUE(rec.isRecording());
  CloseHandle(held);
  rec.appendRows(row, 2);
  EXPECT_EQ(readFile(qmr).size(), 296u);

  world.settings.TimeType = 0;
  ASSERT_TRUE(rec.stopRecording());
  EXPECT_FALSE(rec.isRecording());
  const std::string text = readFile(cfg);
  EXPECT_NE(text.find("TimePos = 0.160000"), std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 19), "    }\r\n  }\r\n }\r\n}\r\n");

  // The sample file's times read local midnight.
  const uint64_t t = lastWrite(qmr);
  FILETIME utc{static_cast<DWORD>(t), static_cast<DWORD>(t >> 32)}, local{};
  FileTimeToLocalFileTime(&utc, &local);
  SYSTEMTIME s;
  FileTimeToSystemTime(&local, &s);
  EXPECT_EQ(std::vector<int>({s.wHour, s.wMinute, s.wSecond, s.wMilliseconds}), std::vector<int>(4, 0));

  // The export tool reads the pair.
  std::string csv = dir + "\\out.csv";
  std::string cmd = std::string("\"") + SKALENOR_EXPORT_EXE + "\" \"" + qmr + "\" \"" + csv + "\"";
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
  WaitForSingleObject(pi.hProcess, 30000);
  DWORD code = 99;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(readFile(csv), "\xEF\xBB\xBFtime_s,3:,7:\r\n0.1,1.5,2.5\r\n0.2,1.5,2.5\r\n");
}

TEST_F(RecorderWin, ClockTimeKeepsTheHeaderTime) {
  world.settings.TimeType = 1;
  Recorder rec(platformRecorderFiles(), world.sources());
  ASSERT_TRUE(rec.startRecording());
  const std::string qmr = rec.samplePath();
  uint64_t afterHeader = lastWrite(qmr);
  Sleep(50);
  const float row[2] = {1.0f, 2.0f};
  rec.appendRows(row, 2);
  ASSERT_TRUE(rec.stopRecording());
  EXPECT_EQ(lastWrite(qmr), afterHeader);
}

}  // namespace
