#include "engine_harness.h"

#include <algorithm>

#include "acquisition/periodic_worker_win.h"
#include "acquisition/trace_log.h"
#include "panels/panel_table.h"

namespace {
constexpr DWORD INIT_WAIT_MS = 30000;

std::string driverKey(const char* group, const char* name) {
  return std::string("SOFTWARE\\Tarvelin\\") + group + "\\1.0\\" + name;
}
}  // namespace

void expectInOrder(const Lines& lines, const Lines& wanted) {
  auto at = lines.begin();
  for (const std::string& line : wanted) {
    at = std::find(at, lines.end(), line);
    ASSERT_NE(at, lines.end()) << line << " missing or out of order";
  }
  EXPECT_EQ(at, lines.end() - 1) << "last: " << lines.back();
}

HWND hiddenWindow(const wchar_t* className, WNDPROC procedure, void* user) {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = procedure;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = className;
  RegisterClassW(&wc);  // fails harmlessly when already registered
  HWND window = CreateWindowW(className, L"", 0, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(user));
  return window;
}

NoticeWindow::NoticeWindow() : window_(hiddenWindow(L"EngineTestNotices", procedure, this)) {}

LRESULT CALLBACK NoticeWindow::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_USER && wParam == ENGINE_NOTICE) {
    if (auto* self = windowUser<NoticeWindow>(window)) self->notices.emplace_back(reinterpret_cast<const char*>(lParam));
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void EngineTest::SetUp() {
  char cwd[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, cwd);
  folder_ = std::string(cwd) + "\\engine_work_" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
  CreateDirectoryA(folder_.c_str(), nullptr);
  for (const char* name : {"port.log", "events.log", "kvsim.cfg"}) DeleteFileA(path(name).c_str());
  traceLogSetPath(path("Trace").c_str());
  settings = new MeterSettings;
  settings->FreqStream = 1000.0;
  settings->Ftime = 10;
  settings->nDO = 8;
  for (int n = 1; n <= 32; ++n) settings->channelK[n] = 1.0f;
  notices = std::make_unique<NoticeWindow>();
}

void EngineTest::TearDown() {
  meterSettings.store(nullptr);
  for (auto& panel : panelTable) panel = nullptr;
  delete settings;
  settings = nullptr;
  notices.reset();
  SetEnvironmentVariableA("KVSIM_CONFIG", nullptr);
}

void EngineTest::writeSimConfig(const std::string& text) {
  ASSERT_TRUE(writeFile(path("kvsim.cfg"),
                        text + "\nportlog = " + path("port.log") + "\neventlog = " + path("events.log") + "\n"));
  SetEnvironmentVariableA("KVSIM_CONFIG", path("kvsim.cfg").c_str());
}

std::unique_ptr<AcquisitionEngine> EngineTest::startEngine() {
  settings->loadedMarker.store(SETTINGS_LOADED_MARK);
  meterSettings.store(settings);
  auto engine = std::make_unique<AcquisitionEngine>();
  engine->startEngine(notices->handle());
  DWORD start = GetTickCount();
  while (!engine->initFinished() && GetTickCount() - start < INIT_WAIT_MS) pumpMessagesFor(20);
  EXPECT_TRUE(engine->initFinished());
  pumpMessagesFor(20);
  return engine;
}

std::unique_ptr<AcquisitionEngine> EngineTest::startWith(const std::string& config) {
  notices->notices.clear();
  for (const char* name : {"port.log", "events.log"}) DeleteFileA(path(name).c_str());
  writeSimConfig(config);
  return startEngine();
}

void EngineTest::runFor(AcquisitionEngine& engine, DWORD ms) {
  engine.running.store(1);
  pumpMessagesFor(ms);
  engine.running.store(0);
}

std::string driverPath(const char* group, const char* name) {
  char value[512] = {};
  DWORD bytes = sizeof value;
  return RegGetValueA(HKEY_LOCAL_MACHINE, driverKey(group, name).c_str(), "path", RRF_RT_REG_SZ, nullptr, value,
                      &bytes) == ERROR_SUCCESS
             ? std::string(value)
             : std::string();
}

bool setDriverPath(const char* group, const char* name, const std::string& value) {
  return RegSetKeyValueA(HKEY_LOCAL_MACHINE, driverKey(group, name).c_str(), "path", REG_SZ, value.c_str(),
                         static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}
