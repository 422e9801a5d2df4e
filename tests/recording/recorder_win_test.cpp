// The recorder on the kernel file API: real share modes, file times and the
// export tool on what it wrote.
#include <windows.h>

#include <gtest/gtest.h>

#include "recording_fixture.h"

namespace {

// The file opened by a reader who lets others read it, and write it too when asked.
HANDLE heldByAReader(const std::string& path, bool sharesWriting) {
  return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | (sharesWriting ? FILE_SHARE_WRITE : 0), nullptr,
                     OPEN_EXISTING, 0, nullptr);
}

TEST(RecorderWin, RecordsThroughTheKernelFileApi) {
  ScratchDir scratch{true};
  RecordingWorld world;
  world.recordThreeAndSeven();
  Recorder rec(platformRecorderFiles(), world.sources());
  ASSERT_TRUE(rec.startRecording());
  const std::string qmr = rec.samplePath(), cfg = rec.configPath();
  EXPECT_NE(GetFileAttributesA(qmr.c_str()) & FILE_ATTRIBUTE_ARCHIVE, 0u);
  const float row[2] = {1.5f, 2.5f};
  rec.appendRows(row, 2);

  // A reader that lets the recorder write (the viewer following the recording) costs no row; a file held by
  // one that does not is skipped, not forced.
  HANDLE held = heldByAReader(qmr, true);
  rec.appendRows(row, 2);
  CloseHandle(held);
  EXPECT_EQ(readFile(qmr).size(), 296u);
  held = heldByAReader(qmr, false);
  rec.appendRows(row, 2);
  CloseHandle(held);
  EXPECT_EQ(readFile(qmr).size(), 296u);
  held = heldByAReader(cfg, false);
  EXPECT_FALSE(rec.stopRecording());
  CloseHandle(held);
  rec.appendRows(row, 2);
  EXPECT_EQ(readFile(qmr).size(), 304u);
  ASSERT_TRUE(rec.stopRecording());

  // The sample file's times read local midnight.
  WIN32_FILE_ATTRIBUTE_DATA a{};
  GetFileAttributesExA(qmr.c_str(), GetFileExInfoStandard, &a);
  FILETIME local{};
  FileTimeToLocalFileTime(&a.ftLastWriteTime, &local);
  EXPECT_EQ(((uint64_t{local.dwHighDateTime} << 32) | local.dwLowDateTime) % FILE_TIME_TICKS_PER_DAY, 0u);

  // The export tool reads the pair (cmd.exe drops the outer quotes).
  const std::string csv = scratch.str() + "\\out.csv";
  EXPECT_EQ(std::system(("\"\"" SKALENOR_EXPORT_EXE "\" \"" + qmr + "\" \"" + csv + "\"\"").c_str()), 0);
  EXPECT_EQ(readFile(csv), "\xEF\xBB\xBFtime_s,3:,7:\r\n0.1,1.5,2.5\r\n0.2,1.5,2.5\r\n0.3,1.5,2.5\r\n");
}

// A working folder named outside the ANSI code page: the pair is made in it.
TEST(RecorderWin, RecordsIntoAFolderNamedInAnyScript) {
  ScratchDir scratch{true};
  const std::wstring folder = L"Измерения Ωμέγα 測定";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  ASSERT_TRUE(SetCurrentDirectoryW(folder.c_str()));
  RecordingWorld world;
  world.recordThreeAndSeven();
  Recorder rec(platformRecorderFiles(), world.sources());
  ASSERT_TRUE(rec.startRecording()) << rec.startFailure();
  const float row[2] = {1.5f, 2.5f};
  rec.appendRows(row, 2);
  ASSERT_TRUE(rec.stopRecording());
  const std::filesystem::path qmr(std::u8string(reinterpret_cast<const char8_t*>(rec.samplePath())));
  EXPECT_EQ(qmr.parent_path().parent_path().filename().wstring(), folder);
  EXPECT_EQ(readFile(qmr).size(), 288u);
}

}  // namespace
