// The board's digital-output port: the 8-bit byte written directly, and 16-
// and 32-bit relay-command words shifted out serially through it.
//
// Serial lines of the port byte: data in bit 0, clock 0x02, latch 0x04 and
// register select 0x08. The upper nibble of the base byte (0xF0) is kept high
// on every serial write.
#pragma once

#include <atomic>
#include <cstdint>

#include "acquisition/acquisition_state.h"

inline constexpr uint8_t PORT_DATA_BIT = 0x01;
inline constexpr uint8_t PORT_CLOCK_BIT = 0x02;
inline constexpr uint8_t PORT_LATCH_BIT = 0x04;
inline constexpr uint8_t PORT_SELECT_BIT = 0x08;
inline constexpr uint8_t PORT_BASE_BYTE = 0xF0;
inline constexpr uint8_t PORT_RESET_BASE_BYTE = 0xF8;
inline constexpr const char* TRACE_OUTPUT_BITS = "(int) bits";
inline constexpr const char* TRACE_LONG_WRITE = "--------";

// Where the port bytes go: the driver's writePort on the board, a log in tests.
class PortSink {
 public:
  virtual ~PortSink();
  virtual void writeByte(uint8_t value) = 0;
};

class OutputPort {
 public:
  // Bytes reach the sink only while boardReady is 1 and a sink is set; the
  // trace lines are written in every case.
  explicit OutputPort(const std::atomic<int32_t>& boardReady, PortSink* sink = nullptr)
      : boardReady_(boardReady), sink_(sink) {}

  void setSink(PortSink* sink) { sink_ = sink; }
  uint8_t baseByte() const { return base_; }

  void byteWrite(uint8_t value);
  // Shifts the 16 bits out from the most significant and latches them.
  void wordWrite(uint16_t word);
  // Shifts 16 bits out with the register select raised first; no latch, so
  // the following word write completes a 32-bit word.
  void highWordWrite(uint16_t word);
  // Bits 16-31 as a high-word write, then bits 0-15 as a word write.
  void longWrite(uint32_t word);
  // Clears every output and makes the next tick write its word whatever it is.
  void outputReset(AcquisitionState& state);
  // Leaves both registers cleared before the board is closed.
  void clearOutputsAtTeardown();

 private:
  void put(uint8_t value);

  const std::atomic<int32_t>& boardReady_;
  PortSink* sink_;
  uint8_t base_ = PORT_BASE_BYTE;
};
