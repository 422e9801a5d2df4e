// The one settings record of the program. Every field is named after its key
// in skalenor.cfg (see settings_file.h for the file format).
//
// Channels are numbered 1-32: per-channel arrays have 64 entries indexed by
// channel number, entries 0 and 33-63 are never filled from the file. Graph
// data is indexed by graph slot 0-3 (written as 1-4 in the file).
//
// Threads: the user-interface thread writes single fields; the engine's timer
// thread reads them without a lock. Fields that the timer thread reads go
// through sharedLoad/sharedStore so that those accesses are atomic.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

inline constexpr int CHANNEL_COUNT = 32;
inline constexpr int CHANNEL_ARRAY_SIZE = 64;
inline constexpr int GRAPH_SLOTS = 4;
inline constexpr int TRACES_PER_GRAPH = 8;
inline constexpr int32_t SETTINGS_LOADED_MARK = 12345678;
inline constexpr int32_t CHANNEL_REF_BASE = 1000000;
inline constexpr float LIMIT_UNSET = 1.0e10f;
inline constexpr int SETTINGS_TEXT_SIZE = 64;   // unitText, channelName
inline constexpr int PLOT_NAME_SIZE = 256;
inline constexpr int DEVICE_NAME_SIZE = 32;
inline constexpr int WEB_ADDRESS_SIZE = 16;     // dotted IPv4 address and its NUL
inline constexpr const char* WEB_ADDRESS_LOCAL = "127.0.0.1";

struct MeterSettings {
  void* ownerWindow = nullptr;  // main window: target of the reader's notice
  int32_t nDO = 0;              // output word width: 8, 16 or 32

  int32_t Channel[CHANNEL_ARRAY_SIZE] = {};   // by panel position 1-32: channel shown, 0 = none
  int32_t FlagRec[CHANNEL_ARRAY_SIZE] = {};   // channel is recorded
  int32_t Interval[CHANNEL_ARRAY_SIZE] = {};  // panel refresh interval, ms
  int32_t Kadc[CHANNEL_ARRAY_SIZE] = {};      // gain code 1-4, 0 = amplification 1
  int32_t ACmode[CHANNEL_ARRAY_SIZE] = {};    // 1 = RMS measurement
  int32_t chPlot[GRAPH_SLOTS * TRACES_PER_GRAPH] = {};  // 8 * slot + trace -> channel
  int32_t scPlot[GRAPH_SLOTS] = {};           // time-scale index per graph
  float channelK[CHANNEL_ARRAY_SIZE] = {};
  float channelB[CHANNEL_ARRAY_SIZE] = {};    // 1000001-1000032: reference to a channel
  float minLimit[CHANNEL_ARRAY_SIZE] = {};
  float maxLimit[CHANNEL_ARRAY_SIZE] = {};
  float refLevel[CHANNEL_ARRAY_SIZE] = {};
  int32_t scaleYMode[GRAPH_SLOTS] = {};
  double scaleYValue[GRAPH_SLOTS] = {};
  char unitText[CHANNEL_ARRAY_SIZE][SETTINGS_TEXT_SIZE] = {};     // Windows-1251 bytes
  char channelName[CHANNEL_ARRAY_SIZE][SETTINGS_TEXT_SIZE] = {};  // Windows-1251 bytes
  int32_t NPK[CHANNEL_ARRAY_SIZE] = {};       // relay-command output number, 0 = none
  int32_t TimeType = 0;                       // 0 = from 00:00:00, 1 = clock time
  int32_t CheckLabel = 0;                     // mark output switchings in recordings
  int32_t lrScale[16] = {};                   // entries 0-7: left/right axis trace per graph
  char plotName[8][PLOT_NAME_SIZE] = {};      // entries 0-3 used
  int32_t Ftime = 10;                         // recording interval, ms
  int32_t rPlot[32] = {};                     // entries 0-15: graph window rectangles
  int32_t rWnd[4] = {};                       // main window rectangle
  char deviceName[DEVICE_NAME_SIZE] = {};
  int32_t colPlot[GRAPH_SLOTS][TRACES_PER_GRAPH] = {};  // 0x00BBGGRR
  std::atomic<int32_t> loadedMarker{0};       // SETTINGS_LOADED_MARK once filled
  double FreqStream = 0.0;                    // sampling rate, Hz
  int32_t WebPort = 0;                        // HTTP server port, 0 = off
  char WebAddress[WEB_ADDRESS_SIZE] = "127.0.0.1";  // address the server listens on
};

// Atomic access to a field that another thread reads or writes.
template <typename T>
inline T sharedLoad(const T& field) {
  return std::atomic_ref<T>(const_cast<T&>(field)).load(std::memory_order_relaxed);
}
template <typename T>
inline void sharedStore(T& field, T value) {
  std::atomic_ref<T>(field).store(value, std::memory_order_relaxed);
}

// The process-wide record, published by start-up once filled.
extern std::atomic<MeterSettings*> meterSettings;

// True when B names a channel (1000001-1000032); the channel number goes to *channel.
inline bool isChannelReference(float b, int* channel = nullptr) {
  if (!(b >= static_cast<float>(CHANNEL_REF_BASE + 1) && b <= static_cast<float>(CHANNEL_REF_BASE + CHANNEL_COUNT)))
    return false;
  if (channel) *channel = static_cast<int>(b) - CHANNEL_REF_BASE;
  return true;
}

// A dotted IPv4 address of exactly length characters: four decimal numbers
// 0-255 without signs or blanks. The four bytes go to bytes when it is not null.
bool parseIpv4(const char* text, size_t length, uint8_t bytes[4]);
