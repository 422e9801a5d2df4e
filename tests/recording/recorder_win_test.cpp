// The recorder on the kernel file API: real share modes, file times and the
// export tool on what it wrote.
#include <windows.h>

#include <gtest/gtest.h>

#include "recording_fixture.h"

namespace {

// The file opened by a reader, sharing as given.
HANDLE heldByAReader(const std::string& path, DWORD share) {
  return CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
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

  // A reader that lets others write (as the viewer does) holds either file: the rows and the stop still land.
  HANDLE held = heldByAReader(qmr, FILE_SHARE_READ | FILE_SHARE_WRITE);
  rec.appendRows(row, 2);
  CloseHandle(held);
  EXPECT_EQ(readFile(qmr).size(), 296u);
  held = heldByAReader(cfg, FILE_SHARE_READ | FILE_SHARE_WRITE);
  ASSERT_TRUE(rec.stopRecording());
  CloseHandle(held);

  // The sample file's times read local midnight.
  WIN32_FILE_ATTRIBUTE_DATA a{};
  GetFileAttributesExA(qmr.c_str(), GetFileExInfoStandard, &a);
  FILETIME local{};
  FileTimeToLocalFileTime(&a.ftLastWriteTime, &local);
  EXPECT_EQ(((uint64_t{local.dwHighDateTime} << 32) | local.dwLowDateTime) % FILE_TIME_TICKS_PER_DAY, 0u);

  // The export tool reads the pair (cmd.exe drops the outer quotes).
  const std::string csv = scratch.str() + "\\out.csv";
  EXPECT_EQ(std::system(("\"\"" SKALENOR_EXPORT_EXE "\" \"" + qmr + "\" \"" + csv + "\"\"").c_str()), 0);
  EXPECT_EQ(readFile(csv), "\xEF\xBB\xBFtime_s,3:,7:\r\n0.1,1.5,2.5\r\n0.2,1.5,2.5\r\n");

  // A reader that does not let others write ends the recording, and the user is told which file.
  Sleep(1100);  // a new second, a new pair
  ASSERT_TRUE(rec.startRecording());
  const std::string second = rec.samplePath();
  held = heldByAReader(second, FILE_SHARE_READ);
  rec.appendRows(row, 2);
  CloseHandle(held);
  EXPECT_EQ(world.watcher.failures, 1);
  EXPECT_TRUE(rec.endAfterFailure());
  EXPECT_EQ(rec.notice(), "Запись остановлена.\nНет доступа к файлу " + second);
}

// Past 4 GB through SetFilePointerEx (Wine would also take the 32-bit call, Windows would not): a sample file made
// sparse to whole rows beyond 2^32 bytes, and to part of a row more, gets the next rows at their places, and the
// export tool reads them there.
TEST(RecorderWin, RowsKeepTheirPlacesPast4GB) {
  ScratchDir scratch{true};
  RecordingWorld world;
  world.recordThreeAndSeven();
  Recorder rec(platformRecorderFiles(), world.sources());
  ASSERT_TRUE(rec.startRecording()) << rec.notice();
  const std::string qmr = rec.samplePath();
  const uint64_t rows = (uint64_t{1} << 32) / 8 + 5;
  for (uint64_t extra : {uint64_t{0}, uint64_t{3}}) {
    std::filesystem::resize_file(qmr, 280 + rows * 8 + extra);
    const float row[2] = {static_cast<float>(extra) + 1.5f, 2.5f};
    rec.appendRows(row, 2);
    ASSERT_FALSE(rec.failed()) << rec.notice();
    EXPECT_EQ(std::filesystem::file_size(qmr), 280 + (rows + 1) * 8);
  }
  EXPECT_TRUE(rec.stopRecording());
  const std::string csv = scratch.str() + "\\end.csv";
  EXPECT_EQ(std::system(("\"\"" SKALENOR_EXPORT_EXE "\" --from 53687091.7 \"" + qmr + "\" \"" + csv + "\"\"").c_str()), 0);
  EXPECT_EQ(readFile(csv), "\xEF\xBB\xBFtime_s,3:,7:\r\n53687091.7,0,0\r\n53687091.8,4.5,2.5\r\n");
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
  ASSERT_TRUE(rec.startRecording()) << rec.notice();
  const float row[2] = {1.5f, 2.5f};
  rec.appendRows(row, 2);
  ASSERT_TRUE(rec.stopRecording());
  const std::filesystem::path qmr(std::u8string(reinterpret_cast<const char8_t*>(rec.samplePath())));
  EXPECT_EQ(qmr.parent_path().parent_path().filename().wstring(), folder);
  EXPECT_EQ(readFile(qmr).size(), 288u);
}

}  // namespace
