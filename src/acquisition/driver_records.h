// The two records the board drivers exchange with the engine at set-up.
// Their layout belongs to the drivers: little-endian, packed on 4-byte
// boundaries, pointers 32 bits wide on the target.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr int32_t INFO_RECORD_ID = 300;
inline constexpr int32_t ACQUISITION_RECORD_ID = 100;

#pragma pack(push, 4)

// Filled by the device's setParameters in mode 0; the arrays belong to the driver.
struct InfoRecord {
  int32_t id = INFO_RECORD_ID;
  int32_t size = 44;
  int32_t reserved8 = 0;
  int32_t reserved12 = 0;
  int32_t* gains = nullptr;      // gain factor per gain code; entries 1-4 are used
  double* ranges = nullptr;      // not used
  double* offsets = nullptr;     // not used
  int32_t reserved28 = 0;
  uint8_t untouched32[8] = {};   // left as it is by the program
  int32_t reserved40 = 0;
};

// Programs a board: rate, list length and the gain and channel lists.
struct AcquisitionRecord {
  int32_t id = ACQUISITION_RECORD_ID;
  int32_t size = 56;
  int32_t mode = 2;
  int32_t blockSamples = 0;      // KV320: samples per block; KV310: 0
  int32_t source = 0;            // KV310 1, KV320 2
  int32_t pairMode = 0;          // KV310 0, KV320 16
  int32_t reserved24 = 0;
  double rateHz = 0.0;
  int32_t reserved36 = 0;
  int32_t reserved40 = 0;
  int32_t listLength = 0;        // KV310 32, KV320 16
  int32_t* gainList = nullptr;
  int32_t* channelList = nullptr;
};

#pragma pack(pop)

static_assert(offsetof(InfoRecord, gains) == 16);
static_assert(offsetof(AcquisitionRecord, rateHz) == 28);
static_assert(offsetof(AcquisitionRecord, listLength) == 44);
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(InfoRecord) == 44);
static_assert(offsetof(InfoRecord, ranges) == 20 && offsetof(InfoRecord, offsets) == 24);
static_assert(offsetof(InfoRecord, untouched32) == 32 && offsetof(InfoRecord, reserved40) == 40);
static_assert(sizeof(AcquisitionRecord) == 56);
static_assert(offsetof(AcquisitionRecord, gainList) == 48 && offsetof(AcquisitionRecord, channelList) == 52);
#endif
