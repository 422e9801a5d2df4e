#include "acquisition/output_port.h"

#include "acquisition/trace_log.h"

PortSink::~PortSink() = default;

void OutputPort::put(uint8_t value) {
  if (sink_ != nullptr && boardReady_.load(std::memory_order_relaxed) == 1) sink_->writeByte(value);
}

void OutputPort::byteWrite(uint8_t value) { put(value); }

void OutputPort::wordWrite(uint16_t word) {
  traceValue(TRACE_OUTPUT_BITS, word);
  const uint8_t b = base_;
  put(b);
  for (int i = 15; i >= 0; --i) {
    const uint8_t d = static_cast<uint8_t>(b | ((word >> i) & 1u));
    put(d);
    put(static_cast<uint8_t>(d | PORT_CLOCK_BIT));
    put(static_cast<uint8_t>(d & ~PORT_CLOCK_BIT));
  }
  put(b);
  put(static_cast<uint8_t>(b | PORT_LATCH_BIT));
  put(b);
}

void OutputPort::highWordWrite(uint16_t word) {
  traceValue(TRACE_OUTPUT_BITS, word);
  const uint8_t b = base_;
  put(static_cast<uint8_t>(b | PORT_SELECT_BIT));
  for (int i = 15; i >= 0; --i) {
    const uint8_t d = static_cast<uint8_t>(b | ((word >> i) & 1u));
    const uint8_t clocked = static_cast<uint8_t>((d & ~PORT_SELECT_BIT) | PORT_CLOCK_BIT);
    put(d);
    put(clocked);
    put(static_cast<uint8_t>(clocked & ~PORT_CLOCK_BIT));
  }
}

void OutputPort::longWrite(uint32_t word) {
  traceText(TRACE_LONG_WRITE);
  highWordWrite(static_cast<uint16_t>(word >> 16));
  wordWrite(static_cast<uint16_t>(word & 0xFFFFu));
}

void OutputPort::outputReset(AcquisitionState& state) {
  byteWrite(0);
  state.outputs8 = 0;
  state.sentOutputs8 = 0xFF;
  state.outputs16 = 0;
  state.sentOutputs16 = 0xFFFF;
  state.outputs32 = 0;
  state.sentOutputs32 = 0xFFFFFFFFu;
  base_ = PORT_RESET_BASE_BYTE;
  wordWrite(0);
  wordWrite(0);
  base_ = PORT_BASE_BYTE;
  wordWrite(0);
  wordWrite(0);
}

void OutputPort::clearOutputsAtTeardown() {
  base_ = PORT_RESET_BASE_BYTE;
  wordWrite(0);
  base_ = PORT_BASE_BYTE;
  wordWrite(0);
}
