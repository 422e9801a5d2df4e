// kvsim.dll: the KV320 and KV310 boards simulated behind the drivers' own
// interface. The exported factory gives the KV320 device ("IADCDevice") and
// the LABUtility utility ("IADCUtility"), whose control 100 gives its KV310
// device. Every record handed in is checked as a driver would, and refused
// (result 0) when anything is off.
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>

#include "acquisition/driver_interface_win.h"
#include "acquisition/driver_records.h"
#include "sim_config.h"
#include "sim_stream_win.h"

namespace {

constexpr int32_t KV310_MIN_RATE = 200, KV310_MAX_RATE = 204800;
constexpr int32_t KV320_MIN_RATE = 100, KV320_MAX_RATE = 102400;
constexpr int32_t KV310_LIST = 32, KV320_LIST = 16;

SimConfig config;  // read again whenever the factory creates an object

// The driver's own arrays, handed out by the information query.
int32_t gainArray[8];
double rangeArray[8];
double offsetArray[8];

void loadConfig() {
  char path[MAX_PATH] = {};
  DWORD n = GetEnvironmentVariableA("KVSIM_CONFIG", path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) std::strcpy(path, "kvsim.cfg");
  FILE* f = std::fopen(path, "rb");
  if (!f) {
    demoSimConfig(config);
    return;
  }
  static char text[65536];
  size_t got = std::fread(text, 1, sizeof text - 1, f);
  std::fclose(f);
  text[got] = 0;
  parseSimConfig(text, config);
}

void logEvent(const char* format, ...) {
  if (!config.eventLog[0]) return;
  FILE* f = std::fopen(config.eventLog, "ab");
  if (!f) return;
  va_list args;
  va_start(args, format);
  std::vfprintf(f, format, args);
  va_end(args);
  std::fputc('\n', f);
  std::fclose(f);
}

// ---------------------------------------------------------------- devices

struct SimDevice : IADCDevice {
  LONG refs = 1;
  bool kv320 = false;     // false: the KV310's device, reached through the utility
  bool opened = false;
  bool portClosed = false;
  FILE* portFile = nullptr;
  SimStream stream;
};

SimDevice* asDevice(IADCDevice* d) { return static_cast<SimDevice*>(d); }
const char* deviceName(IADCDevice* d) { return asDevice(d)->kv320 ? "kv320" : "kv310-device"; }

void closePortFile(SimDevice* d) {
  if (d->portFile) std::fclose(d->portFile);
  d->portFile = nullptr;
}

int32_t __stdcall deviceAddRef(IADCDevice* d) {
  logEvent("%s addRef", deviceName(d));
  return InterlockedIncrement(&asDevice(d)->refs);
}

int32_t __stdcall deviceRelease(IADCDevice* d) {
  logEvent("%s release", deviceName(d));
  LONG left = InterlockedDecrement(&asDevice(d)->refs);
  if (left == 0) {
    closePortFile(asDevice(d));
    delete asDevice(d);
  }
  return left;
}

int32_t __stdcall deviceOpen(IADCDevice* d, int32_t a, int32_t b, int32_t c, int32_t e) {
  SimDevice* dev = asDevice(d);
  bool ok = dev->kv320 && config.board == SimBoard::KV320 && !(config.faults & FAULT_OPEN320) && a == 1;
  dev->opened = ok;
  logEvent("%s open %d", deviceName(d), ok ? 1 : 0);
  return ok ? 1 : 0;
}

int32_t __stdcall devicePlaceholder(void*) { return 0; }

bool validInfoRecord(const InfoRecord* r) { return r->id == INFO_RECORD_ID && r->size == 44; }

int32_t informationQuery(SimDevice* dev, int32_t mode, InfoRecord* r) {
  if (config.faults & FAULT_INFO) return 0;
  if (mode == 1) return 1;  // handed back: nothing to keep
  for (int i = 0; i < 8; ++i) {
    gainArray[i] = config.gains[i];
    rangeArray[i] = config.fullScale / config.gains[i];
    offsetArray[i] = 0.0;
  }
  r->gains = gainArray;
  r->ranges = rangeArray;
  r->offsets = offsetArray;
  return 1;
}

bool inRange(double v, int32_t low, int32_t high) { return v >= low && v <= high; }

// KV320: 16 pairs, pair k delivering channels (k+1, k+9) for k < 8 and (k+9, k+17) above.
bool programKV320(SimDevice* dev, const AcquisitionRecord* r) {
  if (r->size != 56 || r->listLength != KV320_LIST || !r->gainList || !r->channelList) return false;
  if (!inRange(r->rateHz, KV320_MIN_RATE, KV320_MAX_RATE)) return false;
  if (r->blockSamples < 32 || r->blockSamples > static_cast<int32_t>(SIM_MAX_BLOCK)) return false;
  int32_t channel[32], gain[32];
  for (int k = 0; k < KV320_LIST; ++k) {
    int32_t pair = r->channelList[k];
    int32_t low = r->gainList[k] & 0xFFFF, high = (r->gainList[k] >> 16) & 0xFFFF;
    if (pair < 0 || pair >= KV320_LIST || !simGainOffered(config, low) || !simGainOffered(config, high))
      return false;
    channel[2 * k] = pair < 8 ? pair : pair + 8;
    channel[2 * k + 1] = pair < 8 ? pair + 8 : pair + 16;
    gain[2 * k] = low;
    gain[2 * k + 1] = high;
  }
  // The rate counts pair conversions: each gives two values, so a block of
  // rate * 160 / 500 values spans 160 ms, as on the KV310.
  dev->stream.program(2.0 * r->rateHz, static_cast<uint32_t>(r->blockSamples), channel, gain);
  return true;
}

int32_t __stdcall deviceSetParameters(IADCDevice* d, int32_t mode, void* record, int32_t) {
  SimDevice* dev = asDevice(d);
  int32_t result = 0;
  if (record && validInfoRecord(static_cast<InfoRecord*>(record)) && (mode == 0 || mode == 1)) {
    result = informationQuery(dev, mode, static_cast<InfoRecord*>(record));
  } else if (record && static_cast<AcquisitionRecord*>(record)->id == ACQUISITION_RECORD_ID && mode == 1 &&
             dev->kv320 && dev->opened) {
    result = !(config.faults & FAULT_RECORD320) && programKV320(dev, static_cast<AcquisitionRecord*>(record));
  }
  logEvent("%s setParameters %d %d", deviceName(d), mode, result);
  return result;
}

int32_t __stdcall deviceStart(IADCDevice* d) {
  SimDevice* dev = asDevice(d);
  if (!dev->kv320 || !dev->stream.programmed()) return 0;
  const int32_t result = (config.faults & FAULT_START320) ? 0 : 1;
  if (result) dev->stream.start();
  logEvent("%s start %d", deviceName(d), result);
  return result;
}

int32_t __stdcall deviceStop(IADCDevice* d) {
  asDevice(d)->stream.stop();
  logEvent("%s stop", deviceName(d));
  return 1;
}

int32_t __stdcall deviceRead(IADCDevice* d, int32_t kind, float* values, int32_t count, int32_t) {
  SimDevice* dev = asDevice(d);
  if (!dev->kv320 || kind != DEVICE_READ_VOLTS || !values || count <= 0 || (config.faults & FAULT_READ))
    return 0;
  return dev->stream.takeVolts(config, values, static_cast<uint32_t>(count)) ? count : 0;
}

int32_t __stdcall deviceWritePort(IADCDevice* d, int32_t port, const uint8_t* bytes, int32_t count) {
  SimDevice* dev = asDevice(d);
  if (port == 0 && !bytes && count == 0) {  // closing the port at shut-down
    if (!dev->portClosed && config.portLog[0]) {
      if (!dev->portFile) dev->portFile = std::fopen(config.portLog, "ab");
      if (dev->portFile) std::fputs("closed\n", dev->portFile);
    }
    dev->portClosed = true;
    closePortFile(dev);
    return 1;
  }
  if (port != 1 || !bytes || count != 1 || dev->portClosed || (config.faults & FAULT_PORT)) return 0;
  if (config.portLog[0]) {
    if (!dev->portFile) dev->portFile = std::fopen(config.portLog, "ab");
    if (dev->portFile) {
      std::fprintf(dev->portFile, "%02X\n", bytes[0]);
      std::fflush(dev->portFile);
    }
  }
  return 1;
}

int32_t __stdcall deviceQuery(IADCDevice* d, int32_t code, void* address) {
  if (code != DEVICE_QUERY_FULL_SCALE || !address || (config.faults & FAULT_QUERY)) return 0;
  *static_cast<float*>(address) = static_cast<float>(config.fullScale);
  return 1;
}

const IADCDeviceOps deviceOps = {
    deviceAddRef, deviceRelease, deviceOpen, devicePlaceholder, deviceSetParameters,
    deviceStart,  deviceStop,    deviceRead, deviceWritePort,   deviceQuery,
};

SimDevice* newDevice(bool kv320) {
  SimDevice* dev = new (std::nothrow) SimDevice;
  if (!dev) return nullptr;
  dev->ops = &deviceOps;
  dev->kv320 = kv320;
  return dev;
}

// ---------------------------------------------------------------- utility

struct SimUtility : IADCUtility {
  LONG refs = 1;
  bool opened = false;
  bool locked = false;
  uint32_t blockSamples = 0;
  int32_t bufferBytes = 0;
  SimDevice* device = nullptr;  // the KV310's device, owned here
  int16_t block[SIM_MAX_BLOCK] = {};
  SimStream stream;
};

SimUtility* asUtility(IADCUtility* u) { return static_cast<SimUtility*>(u); }

int32_t __stdcall utilityAddRef(IADCUtility* u) { return InterlockedIncrement(&asUtility(u)->refs); }

int32_t __stdcall utilityRelease(IADCUtility* u) {
  logEvent("utility release");
  SimUtility* util = asUtility(u);
  LONG left = InterlockedDecrement(&util->refs);
  if (left == 0) {
    if (util->device) deviceRelease(util->device);
    delete util;
  }
  return left;
}

int32_t __stdcall utilityOpen(IADCUtility* u, const char* board, int32_t a, int32_t b, int32_t blockSamples) {
  SimUtility* util = asUtility(u);
  bool ok = config.board == SimBoard::KV310 && !(config.faults & FAULT_OPEN310) && board &&
            !std::strcmp(board, "KV310E") && a == 1 && blockSamples >= 32 &&
            blockSamples <= static_cast<int32_t>(SIM_MAX_BLOCK);
  util->opened = ok;
  if (ok) util->blockSamples = static_cast<uint32_t>(blockSamples);
  logEvent("utility open %d", ok ? 1 : 0);
  return ok ? 1 : 0;
}

bool programKV310(SimUtility* util, const AcquisitionRecord* r) {
  if (r->id != ACQUISITION_RECORD_ID || r->size != 56 || r->listLength != KV310_LIST || !r->gainList ||
      !r->channelList)
    return false;
  if (!inRange(r->rateHz, KV310_MIN_RATE, KV310_MAX_RATE)) return false;
  for (int i = 0; i < KV310_LIST; ++i)
    if (r->channelList[i] < 0 || r->channelList[i] >= 32 || !simGainOffered(config, r->gainList[i])) return false;
  util->stream.program(r->rateHz, util->blockSamples, r->channelList, r->gainList);
  util->stream.start();
  return true;
}

int32_t __stdcall utilitySetParameters(IADCUtility* u, void* record, int32_t) {
  SimUtility* util = asUtility(u);
  int32_t result = util->opened && record && !(config.faults & FAULT_RECORD310) &&
                   programKV310(util, static_cast<AcquisitionRecord*>(record));
  logEvent("utility setParameters %d", result);
  return result;
}

int32_t __stdcall utilityLockBuffer(IADCUtility* u, int16_t** block, int32_t* samples) {
  SimUtility* util = asUtility(u);
  if (!block || !samples || util->locked || (config.faults & FAULT_LOCKBUFFER)) return 0;
  if (!util->stream.takeRaw(config, util->block, util->blockSamples)) return 0;
  util->locked = true;
  *block = util->block;
  *samples = static_cast<int32_t>(util->blockSamples);
  return 1;
}

int32_t __stdcall utilityUnlockBuffer(IADCUtility* u) {
  SimUtility* util = asUtility(u);
  bool was = util->locked;
  util->locked = false;
  return was ? 1 : 0;
}

int32_t __stdcall utilityControl(IADCUtility* u, int32_t code, void* address) {
  SimUtility* util = asUtility(u);
  int32_t result = 0;
  switch (code) {
    case UTILITY_BLOCK_READY:
      if (!address) break;
      *static_cast<int32_t*>(address) = util->stream.blockReady() ? 1 : 0;
      return 1;  // polled every tick: not logged
    case UTILITY_CONTROL_22:
      result = util->opened ? 1 : 0;
      break;
    case UTILITY_BUFFER_SIZE:
      if (address && *static_cast<int32_t*>(address) > 0) {
        util->bufferBytes = *static_cast<int32_t*>(address);
        result = 1;
      }
      break;
    case UTILITY_GET_DEVICE:
      if (!address || !util->opened || (config.faults & FAULT_DEVICE)) break;
      if (!util->device) util->device = newDevice(false);
      *static_cast<IADCDevice**>(address) = util->device;
      result = util->device ? 1 : 0;
      break;
    default:
      break;
  }
  logEvent("utility control %d %d", code, result);
  return result;
}

int32_t __stdcall utilityStop(IADCUtility* u) {
  asUtility(u)->stream.stop();
  logEvent("utility stop");
  return 1;
}

const IADCUtilityOps utilityOps = {
    utilityAddRef,       utilityRelease, utilityOpen,    utilitySetParameters,
    utilityLockBuffer,   utilityUnlockBuffer, utilityControl, utilityStop,
};

// ---------------------------------------------------------------- factory

void* __stdcall factoryCreate(IADCFactory*, const char* name, int32_t) {
  loadConfig();
  void* made = nullptr;
  if (name && !std::strcmp(name, "IADCDevice") && !(config.faults & FAULT_FACTORY320)) {
    made = static_cast<IADCDevice*>(newDevice(true));
  } else if (name && !std::strcmp(name, "IADCUtility") && !(config.faults & FAULT_UTILITY)) {
    SimUtility* util = new (std::nothrow) SimUtility;
    if (util) util->ops = &utilityOps;
    made = static_cast<IADCUtility*>(util);
  }
  logEvent("create %s %d", name ? name : "(null)", made ? 1 : 0);
  return made;
}

const IADCFactoryOps factoryOps = {factoryCreate};

}  // namespace

extern "C" {
IADCFactory StaticFactory = {&factoryOps};
}
