// The engine against the simulated boards (kvsim.dll under Wine): what each
// board gets programmed with and reads, the output port through the driver,
// the notices of every failure in order, the periodic worker's stop, and the
// drivers' binary interface (every operation removes its own arguments; the
// library is found through the registry or in the current directory).
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "acquisition/acquisition_engine_win.h"
#include "acquisition/driver_interface_win.h"
#include "acquisition/driver_records.h"
#include "acquisition/periodic_worker_win.h"
#include "acquisition/port_decoder.h"
#include "acquisition/trace_log.h"
#include "panels/panel_table.h"
#include "settings/cp1251_literal.h"
#include "settings/meter_settings.h"
#include "test_files.h"

namespace {

using Lines = std::vector<std::string>;

const std::string NO_BOARDS = cp1251<"Устройства KV310/KV320 не найдены!">();

// A hidden top-level window of its own class; user goes to GWLP_USERDATA.
HWND hiddenWindow(const wchar_t* className, WNDPROC procedure, void* user = nullptr) {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = procedure;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = className;
  RegisterClassW(&wc);  // fails harmlessly when already registered
  HWND window = CreateWindowW(className, L"", 0, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(user));
  return window;
}

// Collects the engine's notices (Windows-1251 texts) into its Lines.
LRESULT CALLBACK noticeProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* lines = reinterpret_cast<Lines*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (message != WM_USER || wParam != ENGINE_NOTICE || !lines) return DefWindowProcW(window, message, wParam, lParam);
  lines->emplace_back(reinterpret_cast<const char*>(lParam));
  return 0;
}

// Sets the registry value "path" of a driver key; returns the value it had (empty when missing).
std::string swapDriverPath(const char* group, const char* name, const std::string& value) {
  const std::string key = std::string("SOFTWARE\\Tarvelin\\") + group + "\\1.0\\" + name;
  char old[512] = {};
  DWORD bytes = sizeof old;
  if (RegGetValueA(HKEY_LOCAL_MACHINE, key.c_str(), "path", RRF_RT_REG_SZ, nullptr, old, &bytes)) old[0] = 0;
  if (!value.empty())
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, key.c_str(), "path", REG_SZ, value.c_str(), DWORD(value.size() + 1));
  return old;
}

// The engine on the simulator in a work folder of its own, with the
// simulator's port and event logs.
class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char cwd[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, cwd);
    folder_ = std::string(cwd) + "\\engine_work_" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    CreateDirectoryA(folder_.c_str(), nullptr);
    traceLogSetPath(path("Trace").c_str());
    settings->FreqStream = 1000.0;
    for (int n = 1; n <= 32; ++n) settings->channelK[n] = 1.0f;
    noticeWindow = hiddenWindow(L"EngineTestNotices", noticeProcedure, &notices);
  }
  void TearDown() override {
    meterSettings.store(nullptr);
    for (auto& panel : panelTable) panel = nullptr;
    DestroyWindow(noticeWindow);
    SetEnvironmentVariableA("KVSIM_CONFIG", nullptr);
  }

  // The simulator's configuration (the logs added), named by KVSIM_CONFIG;
  // no notices or logs of an earlier run.
  void writeSimConfig(const std::string& text) {
    notices.clear();
    for (const char* name : {"port.log", "events.log"}) DeleteFileA(path(name).c_str());
    ASSERT_TRUE(writeFile(path("kvsim.cfg"),
                          text + "\nportlog = " + path("port.log") + "\neventlog = " + path("events.log") + "\n"));
    SetEnvironmentVariableA("KVSIM_CONFIG", path("kvsim.cfg").c_str());
  }
  // Writes config when given, creates and starts the engine; returns once its
  // init has finished (settings published unless told otherwise).
  std::unique_ptr<AcquisitionEngine> startWith(const std::string& config, bool publish = true) {
    if (!config.empty()) writeSimConfig(config);
    settings->loadedMarker.store(SETTINGS_LOADED_MARK);
    if (publish) meterSettings.store(settings.get());
    auto engine = std::make_unique<AcquisitionEngine>();
    engine->startEngine(noticeWindow);
    for (DWORD start = GetTickCount(); publish && !engine->initFinished() && GetTickCount() - start < 30000;)
      pumpMessagesFor(20);
    pumpMessagesFor(publish ? 20 : 1500);
    EXPECT_EQ(engine->initFinished(), publish);  // without settings, init still waits
    return engine;
  }
  // Lets the engine tick with running set for about ms.
  static void runFor(AcquisitionEngine& engine, DWORD ms) {
    engine.running.store(1);
    pumpMessagesFor(ms);
    engine.running.store(0);
  }
  static std::pair<int32_t, int32_t> readyAndInit(const AcquisitionEngine& engine) {
    return {engine.boardReady.load(), engine.initResult.load()};
  }
  std::string path(const char* name) const { return folder_ + "\\" + name; }
  std::string portLog() const { return readFile(path("port.log")); }
  Lines events() const { return readLines(path("events.log")); }

  std::unique_ptr<MeterSettings> settings = std::make_unique<MeterSettings>();
  Lines notices;
  HWND noticeWindow = nullptr;

 private:
  std::string folder_;
};

// Every channel a different DC level, so a channel read from the wrong frame
// position shows at once; gains 2, 4, 8, 16 with 5 V full scale, so the gains
// that reach the board saturate channels 3 (x4) and 9 (x16).
std::string dcChannels(const char* board) {
  std::string text = std::string("board = ") + board + "\ngains = 2, 4, 8, 16\nfullscale = 5\n";
  for (int n = 1; n <= 32; ++n)
    text += "ch" + std::to_string(n) + " = dc " + std::to_string(n == 3 ? 3.0 : n * 0.1 - 1.65) + "\n";
  return text;
}

// Expects the wanted lines among lines in this order, the last of them last.
void expectInOrder(const Lines& lines, const Lines& wanted) {
  auto at = lines.begin();
  for (const std::string& line : wanted) {
    at = std::find(at, lines.end(), line);
    ASSERT_NE(at, lines.end()) << line << " missing or out of order";
  }
  EXPECT_EQ(at, lines.end() - 1) << "last: " << lines.back();
}

// Each board found, programmed (the layout and gain arithmetic is the native
// tests' part), its values in their channels, its output port through the
// driver, and the driver calls in order: the KV310 after the KV320 was asked
// and let go; the utility lets its own reference to the device go last.
TEST_F(EngineTest, EachBoardIsFoundProgrammedReadAndLetGo) {
  const struct {
    const char* board;
    double rate;
    uint32_t samples;
    int32_t ftime;  // the shortest interval, 32000 or 16000 / rate
    Lines calls;
  } runs[] = {
      {"KV320", 1000, 320, 16,
       {"kv320 open 1", "kv320 setParameters 1 1", "kv320 start 1", "kv320 stop", "kv320 release"}},
      {"KV310", 1000, 160, 32,
       {"kv320 open 0", "utility open 1", "utility setParameters 1", "utility stop", "kv310-device release",
        "utility release", "kv310-device release"}},
      {"KV310", 500, 64, 64, {}},
      {"KV320", 20000, 6400, 10, {}},  // a block the simulator makes in two chunks
  };
  settings->Kadc[3] = 2;
  settings->Kadc[9] = 4;
  settings->channelK[5] = 2.0f;
  settings->channelB[5] = 1.0f;
  settings->nDO = 32;
  settings->NPK[1] = 17;  // channel 1 -> bit 16
  settings->NPK[2] = 2;   // channel 2 -> bit 1
  PanelState panels[2];  // visible and out of range, showing channels 1 and 2
  for (int j = 0; j < 2; ++j) {
    panels[j].channel = j + 1;
    panels[j].visible = panels[j].outOfRange = 1;
    panelTable[j] = &panels[j];
  }
  for (const auto& r : runs) {
    SCOPED_TRACE(std::string(r.board) + " at " + std::to_string(r.rate));
    settings->FreqStream = r.rate;
    settings->Ftime = 10;
    auto engine = startWith(dcChannels(r.board));
    EXPECT_TRUE(notices.empty());
    EXPECT_EQ(readyAndInit(*engine), std::make_pair(1, 1));
    ASSERT_TRUE(engine->acquiring());
    const bool kv310 = r.board[3] == '1';  // raw counts: a coarser match than the KV320's volts
    EXPECT_EQ(engine->samplesPerBlock, r.samples);
    EXPECT_EQ(settings->Ftime, r.ftime);
    runFor(*engine, 1500);
    for (int n = 1; n <= 32; ++n) {  // x4 saturates at 1.25 V, x16 at 0.3125 V
      const float dc = static_cast<float>(n * 0.1 - 1.65);
      const float expected = n == 3 ? 1.25f : n == 9 ? -0.3125f : n == 5 ? 2.0f * dc + 1.0f : dc;
      EXPECT_NEAR(engine->currentValues[n - 1].load(), expected, kv310 ? 5e-4f : 1e-5f) << "channel " << n;
    }
    engine.reset();
    if (!r.calls.empty()) expectInOrder(events(), r.calls);
    // The reset's byte and four zero words, the tick's 32-bit word, teardown's
    // two zero words, and the port closed last.
    const std::string log = portLog();
    EXPECT_TRUE(log.ends_with("closed\n"));
    static uint8_t bytes[8192];
    const int count = parsePortLog(log.c_str(), bytes, 8192);
    ASSERT_TRUE(count > 0 && bytes[0] == 0x00) << "the reset's byte";
    PortWord words[64];
    ASSERT_EQ(decodePortBytes(bytes + 1, count - 1, false, words, 64), 7);
    // Register select: high through the words that clear the high register (the first of the reset and of
    // teardown), raised only at the start of the tick's long word.
    for (int i = 0; i < 7; ++i) {
      EXPECT_EQ(words[i].value, i == 4 ? 0x00010002u : 0u) << i;
      EXPECT_EQ(words[i].selectedBits, i == 0 || i == 1 || i == 5 ? 0xFFFFu : 0u) << i;
    }
    EXPECT_EQ(words[4].selectRises, 1);
  }
}

// Every failure's notices in order; the rate is refused before anything is
// programmed or started. Faults with no notice of their own leave the board
// set up, but no block ever comes (or the port stays silent): the engine keeps
// running without values. A refused information query keeps the unit gains.
TEST_F(EngineTest, FailureNoticesInOrder) {
  const struct {
    std::string config;
    double rate;
    Lines expected;
    int boardReady, initResult;
    float channel1;  // after ticking
  } cases[] = {
      {"board = none", 1000, {NO_BOARDS}, 0, 0, 0},
      {"board = KV310\nfail = open310", 1000, {NO_BOARDS}, 0, 0, 0},
      {"board = KV320\nfail = open320", 1000, {NO_BOARDS}, 0, 0, 0},  // the KV310 is asked and is not there
      {"board = KV320\nfail = factory320", 1000, {NO_BOARDS}, 0, 0, 0},
      {"board = KV310\nfail = utility", 1000, {"KV310 - Object not created!", NO_BOARDS}, 0, 0, 0},
      {"board = KV310\nfail = device", 1000, {"KV310 - IADCDevice interface not found!", NO_BOARDS}, 1, 0, 0},
      {"board = KV320\nfail = record320", 1000, {cp1251<"KV320E - Ошибка при задании структуры">()}, 1, 1, 0},
      {"board = KV320\nfail = start320", 1000, {cp1251<"KV320E - Ошибка запуска сбора данных">()}, 1, 1, 0},
      {"board = KV310\nfail = record310", 1000, {cp1251<"KV310 - Ошибка при задании структуры">()}, 1, 1, 0},
      {"board = KV320", 102401, {cp1251<"KV320E - Частота сбора 102401 Гц недопустима: допустимо от 100 до 102400 Гц">()}, 0, 0, 0},
      {"board = KV310", 199.9, {cp1251<"KV310 - Частота сбора 199 Гц недопустима: допустимо от 200 до 204800 Гц">()}, 0, 0, 0},
      {"board = KV310", 1e12, {cp1251<"KV310 - Частота сбора 0 Гц недопустима: допустимо от 200 до 204800 Гц">()}, 0, 0, 0},
      {"board = KV320\nfail = read", 1000, {}, 1, 1, 0},
      {"board = KV310\nfail = lockbuffer", 1000, {}, 1, 1, 0},
      {"board = KV310\nfail = query", 1000, {}, 1, 1, 0},  // a full scale of 0 makes every KV310 value 0
      {"board = KV320\nfail = port", 1000, {}, 1, 1, 1},   // the blocks come, the port stays silent
      {"board = KV310\nfail = info", 1000, {}, 1, 1, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.config);
    settings->FreqStream = c.rate;
    auto engine = startWith(c.config + "\nch1 = dc 1");
    EXPECT_EQ(notices, c.expected);
    EXPECT_EQ(readyAndInit(*engine), std::make_pair(c.boardReady, c.initResult));
    EXPECT_EQ(engine->acquiring(), c.expected.empty());
    if (c.config.ends_with("info")) {
      for (int g = 0; g < 8; ++g) EXPECT_EQ(engine->gainFactor[g].load(), 1);
    }
    runFor(*engine, 700);  // ticks must leave a missing or unstarted board alone
    EXPECT_NEAR(engine->currentValues[0].load(), c.channel1, 5e-3f);
    engine.reset();
    if (c.config.ends_with("port")) { EXPECT_EQ(portLog(), "closed\n"); }  // nothing but the closing reached the log
    // A failed set-up never starts a board; one that fails before the end never reaches the KV310's device.
    for (const auto& line : c.expected.empty() ? Lines{} : events())
      EXPECT_TRUE((c.initResult == 1 || line.find("kv310-device") == line.npos) && !line.ends_with("start 1") &&
                  !line.ends_with("setParameters 1") && (c.rate == 1000 || line.find("setParameters") == line.npos))
          << line;
  }
}

TEST_F(EngineTest, StopWhileWaitingForSettings) {
  auto engine = startWith("board = KV320", false);  // the settings are never published
  engine->shutDown();  // the worker ends by itself
  EXPECT_TRUE(engine->initFinished());
  EXPECT_EQ(readyAndInit(*engine), std::make_pair(0, 0));
  EXPECT_TRUE(notices.empty());
}

// A tick that waits on the user-interface thread, as the panels' messages do.
class SendingWorker : public PeriodicWorker {
 public:
  ~SendingWorker() override { stopWorker(); }
  int32_t init() override { return 1; }
  void tick() override {
    SendMessageW(target, WM_USER + 5, 0, 0);
    ticks.fetch_add(1);
  }
  HWND target = nullptr;
  std::atomic<int> ticks{0};
};

LRESULT CALLBACK slowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_USER + 5) Sleep(40);
  return message == WM_USER + 5 ? 0 : DefWindowProcW(window, message, wParam, lParam);
}

TEST(PeriodicWorker, StopsWhileTicksWaitOnTheWindowThread) {
  HWND window = hiddenWindow(L"WorkerTestSlow", slowProcedure);
  for (int round = 0; round < 5; ++round) {
    SendingWorker worker;
    worker.target = window;
    worker.periodMs = 20 + round * 20;
    worker.startEngine(nullptr);
    pumpMessagesFor(400 + round * 37);
    worker.stopWorker();  // would hang for good if the timer were killed under a waiting tick
    EXPECT_GT(worker.ticks.load(), 0);
    int after = worker.ticks.load();
    pumpMessagesFor(250);
    EXPECT_EQ(worker.ticks.load(), after) << "a tick ran after the stop";
  }
  DestroyWindow(window);
}

#if defined(__i386__)
// Pushes words[count-1] .. words[0], calls fn and returns how many bytes the
// callee left on the stack (0 for a standard-call operation). *result gets eax.
extern "C" int32_t stackLeftAfterCall(const void* fn, int32_t count, const int32_t* words, int32_t* result);
asm(R"(
  .text
  .globl _stackLeftAfterCall
_stackLeftAfterCall:
  pushl %ebp
  movl %esp, %ebp
  pushl %esi
  movl 8(%ebp), %eax
  movl 12(%ebp), %ecx
  movl 16(%ebp), %edx
  movl %esp, %esi
1:
  testl %ecx, %ecx
  jz 2f
  decl %ecx
  pushl (%edx,%ecx,4)
  jmp 1b
2:
  call *%eax
  movl 20(%ebp), %ecx
  movl %eax, (%ecx)
  movl %esi, %eax
  subl %esp, %eax
  movl %esi, %esp
  popl %esi
  popl %ebp
  ret
)");

int32_t lastResult = 0;
template <typename... A>
int32_t leftOver(const void* fn, A... args) {
  const int32_t words[] = {static_cast<int32_t>(reinterpret_cast<intptr_t>(args))...};
  return stackLeftAfterCall(fn, sizeof...(A), words, &lastResult);
}
#define W(x) reinterpret_cast<void*>(static_cast<intptr_t>(x))
#define EXPECT_POPS(op, ...) EXPECT_EQ(leftOver(reinterpret_cast<const void*>(op), __VA_ARGS__), 0) << #op

// The caller's side: esp around a call through the declared table type.
__attribute__((noinline)) int32_t espDriftThroughTable(IADCDevice* device) {
  uint32_t before, after;
  uint8_t byte = 0xF0;
  asm volatile("movl %%esp, %0" : "=r"(before));
  device->ops->writePort(device, 1, &byte, 1);
  asm volatile("movl %%esp, %0" : "=r"(after));
  return static_cast<int32_t>(before - after);
}

TEST_F(EngineTest, EveryDriverOperationRemovesItsArguments) {
  writeSimConfig("board = KV320\n");
  IADCFactory* factory = loadDriverLibrary("Tarvelin", "Drivers", "1.0", "KV320E", "StaticFactory");
  ASSERT_NE(factory, nullptr);
  EXPECT_POPS(factory->ops->create, factory, "IADCDevice", W(0));
  auto* device = reinterpret_cast<IADCDevice*>(static_cast<intptr_t>(lastResult));
  ASSERT_NE(device, nullptr);
  const IADCDeviceOps* d = device->ops;
  InfoRecord info;
  float fullScale = 0;
  uint8_t byte = 0xF0;
  static float values[64];
  EXPECT_POPS(d->open, device, W(1), W(0), W(0), W(0));
  EXPECT_POPS(d->setParameters, device, W(0), &info, W(0));
  EXPECT_POPS(d->query, device, W(53), &fullScale);
  EXPECT_EQ(fullScale, 10.0f);  // the arguments arrived where the driver reads them
  EXPECT_POPS(d->writePort, device, W(1), &byte, W(1));
  EXPECT_POPS(d->read, device, W(5), values, W(64), W(0));
  for (auto op : {d->start, d->stop, d->addRef, d->release}) EXPECT_POPS(op, device);
  EXPECT_POPS(d->reserved3, device);
  EXPECT_EQ(espDriftThroughTable(device), 0);
  d->release(device);

  writeSimConfig("board = KV310\n");
  factory = loadDriverLibrary("Tarvelin", "Base library", "1.0", "LABUtility", "StaticFactory");
  ASSERT_NE(factory, nullptr);
  auto* utility = static_cast<IADCUtility*>(factory->ops->create(factory, "IADCUtility", 0));
  ASSERT_NE(utility, nullptr);
  const IADCUtilityOps* u = utility->ops;
  int32_t bytes = 1048576, ready = 1, samples = 0;
  int16_t* block = nullptr;
  IADCDevice* kv310Device = nullptr;
  AcquisitionRecord record;
  EXPECT_POPS(u->open, utility, "KV310E", W(1), W(0), W(160));
  EXPECT_POPS(u->control, utility, W(22), W(0));
  EXPECT_POPS(u->control, utility, W(25), &bytes);
  EXPECT_POPS(u->control, utility, W(100), &kv310Device);
  EXPECT_POPS(u->setParameters, utility, &record, W(0));
  EXPECT_POPS(u->control, utility, W(1), &ready);
  EXPECT_POPS(u->lockBuffer, utility, &block, &samples);
  for (auto op : {u->unlockBuffer, u->stop, u->addRef, u->release}) EXPECT_POPS(op, utility);
  u->release(utility);
  freeDriverLibrary();
}
#endif  // __i386__

// A driver library through the registry, or without maker, group or version
// as <current directory>\<name>.DLL; a missing utility library has its notice.
TEST_F(EngineTest, DriversThroughTheRegistryOrTheCurrentDirectory) {
  EXPECT_EQ(loadDriverLibrary("Tarvelin", "Drivers", "1.0", "NoSuchBoard", "StaticFactory"), nullptr);
  IADCFactory* factory = loadDriverLibrary("Tarvelin", "Drivers", "1.0", "KV320E", "StaticFactory");
  ASSERT_NE(factory, nullptr) << "kvsim.dll is not registered";
  EXPECT_EQ(loadDriverLibrary("Tarvelin", "Drivers", "1.0", "KV320E", "NoSuchSymbol"), nullptr);
  ASSERT_TRUE(CopyFileA(swapDriverPath("Drivers", "KV320E", "").c_str(), "kvsimcopy.DLL", FALSE));
  EXPECT_NE(loadDriverLibrary(nullptr, nullptr, nullptr, "kvsimcopy", "StaticFactory"), nullptr);
  EXPECT_NE(loadDriverLibrary("Tarvelin", "", "1.0", "kvsimcopy", "StaticFactory"), nullptr);
  EXPECT_EQ(loadDriverLibrary(nullptr, nullptr, nullptr, "kvsimmissing", "StaticFactory"), nullptr);
  freeDriverLibrary();
  DeleteFileA("kvsimcopy.DLL");

  const std::string saved = swapDriverPath("Base library", "LABUtility", "Z:\\nonexistent\\kvsim.dll");
  startWith("board = none").reset();
  swapDriverPath("Base library", "LABUtility", saved);
  EXPECT_EQ(notices, (Lines{"KV310 - LABUtility not found!", NO_BOARDS}));
}

}  // namespace
