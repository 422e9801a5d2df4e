// The engine's init: waits for the settings, finds a board (KV320 first, then
// KV310), programs it and fixes the shortest recording interval. Also the
// closing of the board at teardown.
#include "acquisition/acquisition_engine_win.h"

#include <mmsystem.h>

#include <cstdio>

#include "acquisition/board_layout.h"
#include "acquisition/trace_log.h"
#include "settings/cp1251_literal.h"

namespace {

constexpr DWORD SETTLE_MS = 1000;
constexpr DWORD SETTINGS_POLL_MS = 50;

const char* const NOTICE_NO_BOARDS = cp1251<"Устройства KV310/KV320 не найдены!">();
const char* const NOTICE_KV320_RECORD = cp1251<"KV320E - Ошибка при задании структуры">();
const char* const NOTICE_KV320_START = cp1251<"KV320E - Ошибка запуска сбора данных">();
const char* const NOTICE_KV310_RECORD = cp1251<"KV310 - Ошибка при задании структуры">();
const char* const NOTICE_NO_UTILITY_LIBRARY = "KV310 - LABUtility not found!";
const char* const NOTICE_NO_UTILITY = "KV310 - Object not created!";
const char* const NOTICE_NO_DEVICE = "KV310 - IADCDevice interface not found!";
const char* const NOTICE_RATE_FORMAT =
    cp1251<"%s - Частота сбора %d Гц недопустима: допустимо от %d до %d Гц">();

}  // namespace

void AcquisitionEngine::notice(const char* textCp1251) {
  if (noticeWindow) SendMessageA(noticeWindow, WM_USER, ENGINE_NOTICE, reinterpret_cast<LPARAM>(textCp1251));
}

bool AcquisitionEngine::refuseRate(BoardType board) {
  if (rateFitsBoard(board, sampleRateHz)) return false;
  char text[160];
  std::snprintf(text, sizeof text, NOTICE_RATE_FORMAT, board == BOARD_KV320 ? "KV320E" : "KV310", sampleRateHz,
                minimumRateHz(board), maximumRateHz(board));
  notice(text);
  return true;
}

void AcquisitionEngine::informationQuery() {
  InfoRecord info;
  if (device_->ops->setParameters(device_, 0, &info, 0) > 0) takeDriverGains(*this, info.gains);
  device_->ops->setParameters(device_, 1, &info, 0);
  fullScaleVolts = 0.0f;
  device_->ops->query(device_, DEVICE_QUERY_FULL_SCALE, &fullScaleVolts);
}

AcquisitionEngine::SetupResult AcquisitionEngine::setUpKV320(MeterSettings& settings) {
  if (refuseRate(BOARD_KV320)) {
    device_->ops->release(device_);
    device_ = nullptr;
    return SetupResult::Refused;
  }
  boardType.store(BOARD_KV320);
  applyFrameLayout(*this, BOARD_KV320);
  portSink_.device = device_;
  boardReady.store(1);
  outputPort_.outputReset(*this);
  informationQuery();
  fillKV320Lists(*this, settings);
  applyBlockSize(*this, BOARD_KV320);
  AcquisitionRecord record;
  fillKV320Record(record, *this);
  if (device_->ops->setParameters(device_, 1, &record, 0) <= 0) {
    notice(NOTICE_KV320_RECORD);
  } else {
    acquiring_ = device_->ops->start(device_) > 0;
    if (!acquiring_) notice(NOTICE_KV320_START);
  }
  return SetupResult::Ready;
}

AcquisitionEngine::SetupResult AcquisitionEngine::setUpKV310(MeterSettings& settings) {
  applyFrameLayout(*this, BOARD_KV310);
  boardType.store(BOARD_KV310);
  IADCFactory* factory = loadDriverLibrary(DRIVER_MAKER, "Base library", DRIVER_VERSION, "LABUtility", FACTORY_SYMBOL);
  if (!factory) {
    notice(NOTICE_NO_UTILITY_LIBRARY);
    return SetupResult::NotFound;
  }
  utility_ = static_cast<IADCUtility*>(factory->ops->create(factory, "IADCUtility", 0));
  if (!utility_) {
    notice(NOTICE_NO_UTILITY);
    return SetupResult::NotFound;
  }
  if (refuseRate(BOARD_KV310)) return SetupResult::Refused;
  applyBlockSize(*this, BOARD_KV310);
  traceValue("(int)dimension", static_cast<int>(samplesPerBlock));
  if (utility_->ops->open(utility_, "KV310E", 1, 0, static_cast<int32_t>(samplesPerBlock)) <= 0)
    return SetupResult::NotFound;
  boardReady.store(1);
  utility_->ops->control(utility_, UTILITY_CONTROL_22, nullptr);
  int32_t bufferBytes = UTILITY_BUFFER_BYTES;
  utility_->ops->control(utility_, UTILITY_BUFFER_SIZE, &bufferBytes);
  IADCDevice* device = nullptr;
  if (utility_->ops->control(utility_, UTILITY_GET_DEVICE, &device) <= 0 || !device) {
    // boardReady stays 1 without a device: ticks, outputs and teardown leave it alone.
    notice(NOTICE_NO_DEVICE);
    return SetupResult::NotFound;
  }
  device_ = device;
  device_->ops->addRef(device_);
  portSink_.device = device_;
  outputPort_.outputReset(*this);
  informationQuery();
  fillKV310Lists(*this, settings);
  AcquisitionRecord record;
  fillKV310Record(record, *this);
  // Like every driver operation, more than 0 is success; a refused record
  // starts nothing, so the user must hear of it rather than see frozen panels.
  acquiring_ = utility_->ops->setParameters(utility_, &record, 0) > 0;
  if (!acquiring_) notice(NOTICE_KV310_RECORD);
  return SetupResult::Ready;
}

AcquisitionEngine::SetupResult AcquisitionEngine::detectAndSetUp(MeterSettings& settings) {
  IADCFactory* factory = loadDriverLibrary(DRIVER_MAKER, "Drivers", DRIVER_VERSION, "KV320E", FACTORY_SYMBOL);
  IADCDevice* device = factory ? static_cast<IADCDevice*>(factory->ops->create(factory, "IADCDevice", 0)) : nullptr;
  if (device && device->ops->open(device, 1, 0, 0, 0) > 0) {
    device_ = device;
    return setUpKV320(settings);
  }
  if (device) device->ops->release(device);
  return setUpKV310(settings);
}

int32_t AcquisitionEngine::init() {
  timeBeginPeriod(TIMER_RESOLUTION_MS);
  periodBegun_ = true;
  if (waitForStop(SETTLE_MS)) return 0;
  for (auto& value : currentValues) value.store(0.0f);
  for (auto& factor : gainFactor) factor.store(1);
  MeterSettings* settings = meterSettings.load();
  while (!settings || settings->loadedMarker.load() != SETTINGS_LOADED_MARK) {
    if (waitForStop(SETTINGS_POLL_MS)) return 0;
    settings = meterSettings.load();
  }
  sampleRateHz = truncatedRate(sharedLoad(settings->FreqStream));
  recordIntervalMs = static_cast<uint32_t>(sharedLoad(settings->Ftime));
  switch (detectAndSetUp(*settings)) {
    case SetupResult::NotFound:
      notice(NOTICE_NO_BOARDS);
      return 0;
    case SetupResult::Refused:
      return 0;
    case SetupResult::Ready:
      break;
  }
  raiseRecordInterval(*this, *settings, static_cast<BoardType>(boardType.load()));
  recordTimeMs = initialRecordTime;
  previousRecordTimeMs = initialRecordTime;
  return 1;
}

void AcquisitionEngine::closeBoard() {
  if (boardReady.load() && device_) {
    outputPort_.clearOutputsAtTeardown();
    device_->ops->writePort(device_, 0, nullptr, 0);
  }
  if (utility_) {
    utility_->ops->stop(utility_);
    if (device_) device_->ops->release(device_);
    utility_->ops->release(utility_);
  } else if (device_) {
    device_->ops->stop(device_);
    device_->ops->release(device_);
  }
  device_ = nullptr;
  utility_ = nullptr;
  portSink_.device = nullptr;
  acquiring_ = false;
  freeDriverLibrary();
}
