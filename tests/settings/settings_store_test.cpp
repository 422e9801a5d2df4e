#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>

#include "settings_test_support.h"

static std::pair<void*, std::string> notice;  // owner window, text

TEST(SettingsStore, ReadsAndReplacesTheConfigurationInTheCurrentDirectory) {
  ScratchDir dir(true);
  struct Restore {
    ~Restore() { settingsNoticeHook = nullptr, windowRectHook = nullptr; }
  } restore;
  settingsNoticeHook = [](void* owner, const char* text) { notice = {owner, text}; };
  auto s = parsed("Ftime = 555\ncolPlot4 = 0,0,0,0,0,0,0,12\nK2B = 1|2|V|n\nnDO = 16\nMinMaxRef01 = 3|4|5\n");
  int owner;
  s->ownerWindow = &owner;
  readSettings(*s);
  EXPECT_EQ(notice, std::make_pair<void*>(&owner, cp("Не найден файл конфигурации skalenor.cfg")));
  // Defaults only where they exist.
  expectWritten(*s, "Ftime = 10\ncolPlot4 = 0,0,0,0,0,0,0,0\nK2B = 0|0||n\nnDO = 16\nMinMaxRef01 = 3|4|5");
  writeSettings(*s);  // no file: none is made
  EXPECT_FALSE(std::filesystem::exists("skalenor.cfg") || std::filesystem::exists("skalenor.out"));

  notice = {};
  writeFile("skalenor.cfg", "; c\r\nrWnd = 0,0,0,0\r\nFtime = 40\r\n");
  s->CheckLabel = 1;
  readSettings(*s);
  EXPECT_EQ(notice.second, "");
  expectWritten(*s, "Ftime = 40\nCheckLabel = 0");  // the defaults first here too

  s->Ftime = 250;
  s->rWnd[0] = 1;
  // No hook or a failing one: the record's rectangle.
  const std::pair<bool (*)(void*, int32_t[4]), const char*> hooks[] = {
      {nullptr, "1,0,0,0"},
      {[](void*, int32_t[4]) { return false; }, "1,0,0,0"},
      {[](void*, int32_t r[4]) { return r[0] = 11, r[1] = 22, r[2] = 333, r[3] = 444, true; }, "11,22,333,444"}};
  for (const auto& [hook, rect] : hooks) {
    windowRectHook = hook;
    writeSettings(*s);
    const std::string head = "; c\r\nrWnd = " + std::string(rect) + "\r\nFtime = 250\r\n";
    EXPECT_EQ(readFile("skalenor.cfg").substr(0, head.size()), head);  // then the keys the file lacked
    EXPECT_FALSE(std::filesystem::exists("skalenor.out"));
  }

  // skalenor.out cannot be created: the configuration stays as it was.
  const std::string before = readFile("skalenor.cfg");
  s->Ftime = 33;
  ASSERT_EQ(mkdir("skalenor.out", 0700), 0);
  writeSettings(*s);
  EXPECT_EQ(readFile("skalenor.cfg"), before);
}

// A process killed at any point of writeSettings leaves skalenor.cfg complete:
// either the old or the new contents, never missing and never cut short.
TEST(SettingsStore, KilledWriterNeverLosesTheConfiguration) {
  ScratchDir dir(true);
  // Files with every key, so that a rewrite changes only Ftime.
  auto record = parsed("");
  record->Ftime = 111;
  const std::string versionA = rewrite(*record, "");
  record->Ftime = 222;
  const std::string versionB = rewrite(*record, "");
  writeFile("skalenor.cfg", versionA);

  std::mt19937 random(12345);
  constexpr int kKills = 200;
  int sawB = 0;
  for (int round = 0; round < kKills; ++round) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      auto s = std::make_unique<MeterSettings>();
      readSettingsFile(*s, "skalenor.cfg");
      for (int i = 0;; ++i) {
        s->Ftime = (i % 2) ? 111 : 222;
        writeSettings(*s);
      }
    }
    usleep(std::uniform_int_distribution<int>(0, 30000)(random));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    const std::string now = readFile("skalenor.cfg");
    ASSERT_TRUE(now == versionA || now == versionB) << "round " << round << ": " << now.size() << " bytes";
    sawB += now == versionB;
  }
  std::printf("killed writer %d times; new contents seen %d times\n", kKills, sawB);
}
