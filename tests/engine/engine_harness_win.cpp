#include "engine_harness.h"

#include <cstdio>

#include "acquisition/periodic_worker_win.h"
#include "acquisition/trace_log.h"
#include "panels/panel_table.h"

namespace {
constexpr wchar_t NOTICE_CLASS[] = L"EngineTestNotices";
constexpr DWORD INIT_WAIT_MS = 30000;
}  // namespace

std::string readWholeFile(const std::string& path) {
  std::string text;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return text;
  char buffer[4096];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, got);
  std::fclose(f);
  return text;
}

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

NoticeWindow::NoticeWindow() {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = procedure;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = NOTICE_CLASS;
  RegisterClassW(&wc);  // fails harmlessly when already registered
  window_ = CreateWindowW(NOTICE_CLASS, L"", 0, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
  SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

NoticeWindow::~NoticeWindow() { DestroyWindow(window_); }

LRESULT CALLBACK NoticeWindow::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_USER && wParam == ENGINE_NOTICE) {
    auto* self = reinterpret_cast<NoticeWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self) self->notices.emplace_back(reinterpret_cast<const char*>(lParam));
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
  std::string all = text + "\nportlog = " + path("port.log") + "\neventlog = " + path("events.log") + "\n";
  FILE* f = std::fopen(path("kvsim.cfg").c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(all.data(), 1, all.size(), f);
  std::fclose(f);
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

void EngineTest::runFor(AcquisitionEngine& engine, DWORD ms) {
  engine.running.store(1);
  pumpMessagesFor(ms);
  engine.running.store(0);
}

namespace {
std::string driverKey(const char* group, const char* name) {
  return std::string("SOFTWARE\\Tarvelin\\") + group + "\\1.0\\" + name;
}
}  // namespace

std::string driverPath(const char* group, const char* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, driverKey(group, name).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return {};
  char value[512] = {};
  DWORD bytes = sizeof value - 1;
  DWORD type = 0;
  LONG status = RegQueryValueExA(key, "path", nullptr, &type, reinterpret_cast<BYTE*>(value), &bytes);
  RegCloseKey(key);
  return status == ERROR_SUCCESS ? std::string(value) : std::string();
}

bool setDriverPath(const char* group, const char* name, const std::string& value) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, driverKey(group, name).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                      &key, nullptr) != ERROR_SUCCESS)
    return false;
  LONG status = RegSetValueExA(key, "path", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                               static_cast<DWORD>(value.size() + 1));
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}
