// The recorder on the kernel file API: real share modes, file times and the
// export tool on what it wrote.
#include <windows.h>

#include <gtest/gtest.h>

#include "recording_fixture.h"

namespace {

// The file opened by a reader who lets others read and write it too.
HANDLE heldByAReader(const std::string& path) {
  return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                     nullptr);
}

TEST(RecorderWin, RecordsThroughTheKernelFileApi) {
  ScratchDir scratch{true};
  const std::string dir = scratch.str();
  RecordingWorld world;
  world.recordThreeAndSeven();
  Recorder rec(platformRecorderFiles(), world.sources());
  ASSERT_TRUE(rec.startRecording());
  const std::string qmr = rec.samplePath(), cfg = rec.configPath();
  ASSERT_EQ(qmr.rfind(dir + "\\Data\\", 0), 0u) << qmr;
  EXPECT_NE(GetFileAttributesA(qmr.c_str()) & FILE_ATTRIBUTE_ARCHIVE, 0u);
  const float row[2] = {1.5f, 2.5f};
  rec.clearMarkerText();
  rec.addMarker(0.16f, 1, 3);
  rec.appendRows(row, 2);

  // The recorder opens its files without sharing: a held file is skipped, not forced.
  HANDLE held = heldByAReader(qmr);
  rec.appendRows(row, 2);
  CloseHandle(held);
  EXPECT_EQ(readFile(qmr).size(), 288u);
  held = heldByAReader(cfg);
  EXPECT_FALSE(rec.stopRecording());
  CloseHandle(held);
  rec.appendRows(row, 2);
  EXPECT_EQ(readFile(qmr).size(), 296u);
  ASSERT_TRUE(rec.stopRecording());
  const std::string text = readFile(cfg);
  EXPECT_NE(text.find("TimePos = 0.160000"), std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 19), "    }\r\n  }\r\n }\r\n}\r\n");

  // The sample file's times read local midnight.
  WIN32_FILE_ATTRIBUTE_DATA a{};
  GetFileAttributesExA(qmr.c_str(), GetFileExInfoStandard, &a);
  FILETIME local{};
  SYSTEMTIME s{};
  FileTimeToLocalFileTime(&a.ftLastWriteTime, &local);
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

}  // namespace
