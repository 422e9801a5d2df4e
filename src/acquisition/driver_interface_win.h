// The board drivers' binary interface. A driver object's first word points to
// a table of operations, each taking the object as first argument in the
// platform's standard calling convention; results > 0 mean success. The
// tables are written out as structs of function pointers so that their layout
// is fixed here, not by a compiler's idea of a vtable.
#pragma once

#include <cstdint>

#if !defined(__stdcall) && !defined(_MSC_VER) && !defined(_WIN32)
#define __stdcall
#endif

struct IADCDevice;
struct IADCUtility;
struct IADCFactory;

using DriverPlaceholder = int32_t(__stdcall*)(void*);  // a position the program never calls

struct IADCDeviceOps {
  int32_t(__stdcall* addRef)(IADCDevice*);                                             // 0
  int32_t(__stdcall* release)(IADCDevice*);                                            // 1
  int32_t(__stdcall* open)(IADCDevice*, int32_t, int32_t, int32_t, int32_t);           // 2: (1, 0, 0, 0)
  DriverPlaceholder reserved3;                                                         // 3
  int32_t(__stdcall* setParameters)(IADCDevice*, int32_t mode, void* record, int32_t); // 4
  int32_t(__stdcall* start)(IADCDevice*);                                              // 5
  int32_t(__stdcall* stop)(IADCDevice*);                                               // 6
  int32_t(__stdcall* read)(IADCDevice*, int32_t kind, float* values, int32_t count, int32_t);  // 7: kind 5
  int32_t(__stdcall* writePort)(IADCDevice*, int32_t port, const uint8_t* bytes, int32_t count);  // 8
  int32_t(__stdcall* query)(IADCDevice*, int32_t code, void* address);                // 9
};

struct IADCUtilityOps {
  int32_t(__stdcall* addRef)(IADCUtility*);                                           // 0
  int32_t(__stdcall* release)(IADCUtility*);                                          // 1
  int32_t(__stdcall* open)(IADCUtility*, const char* board, int32_t, int32_t, int32_t blockSamples);  // 2
  int32_t(__stdcall* setParameters)(IADCUtility*, void* record, int32_t);             // 3
  int32_t(__stdcall* lockBuffer)(IADCUtility*, int16_t** block, int32_t* samples);    // 4
  int32_t(__stdcall* unlockBuffer)(IADCUtility*);                                     // 5
  int32_t(__stdcall* control)(IADCUtility*, int32_t code, void* address);             // 6
  int32_t(__stdcall* stop)(IADCUtility*);                                             // 7
};

struct IADCFactoryOps {
  void*(__stdcall* create)(IADCFactory*, const char* interfaceName, int32_t);         // 0
};

struct IADCDevice { const IADCDeviceOps* ops; };
struct IADCUtility { const IADCUtilityOps* ops; };
struct IADCFactory { const IADCFactoryOps* ops; };

static_assert(sizeof(IADCDeviceOps) == 10 * sizeof(void*));
static_assert(sizeof(IADCUtilityOps) == 8 * sizeof(void*));

// Fixed codes of the drivers.
inline constexpr int32_t DEVICE_READ_VOLTS = 5;
inline constexpr int32_t DEVICE_QUERY_FULL_SCALE = 53;
inline constexpr int32_t UTILITY_BLOCK_READY = 1;
inline constexpr int32_t UTILITY_CONTROL_22 = 22;
inline constexpr int32_t UTILITY_BUFFER_SIZE = 25;
inline constexpr int32_t UTILITY_BUFFER_BYTES = 1048576;
inline constexpr int32_t UTILITY_GET_DEVICE = 100;

inline constexpr const char DRIVER_MAKER[] = "Tarvelin";
inline constexpr const char DRIVER_VERSION[] = "1.0";
inline constexpr const char FACTORY_SYMBOL[] = "StaticFactory";

// Loads a driver library found under HKLM\SOFTWARE\<maker>\<group>\<version>\<name>
// (value "path") and returns its exported factory object, or null. Frees the
// library loaded before. Without maker, group or version the file is
// <current directory>\<name>.DLL.
IADCFactory* loadDriverLibrary(const char* maker, const char* group, const char* version,
                               const char* name, const char* factorySymbol);
// Frees the library held, if any (the objects it made must be released first).
void freeDriverLibrary();
