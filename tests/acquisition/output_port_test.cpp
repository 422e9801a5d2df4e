#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "acquisition/output_port.h"
#include "acquisition/port_decoder.h"
#include "acquisition/trace_log.h"
#include "acquisition_fakes.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Three bytes per data bit, from the wiring: data on bit 0, clock pulse on 0x02.
void appendBit(Bytes& out, uint8_t base, int bit) {
  const uint8_t d = static_cast<uint8_t>(base | bit);
  out.insert(out.end(), {d, static_cast<uint8_t>(d | 0x02), d});
}

std::vector<PortWord> decodeSerial(const Bytes& bytes) {
  std::vector<PortWord> words(bytes.size() + 1);
  words.resize(decodePortBytes(bytes.data(), bytes.size(), false, words.data(), static_cast<int>(words.size())));
  return words;
}

class OutputPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tracePath = ::testing::TempDir() + "trace_port";
    ASSERT_TRUE(traceLogSetPath(tracePath.c_str()));
  }
  std::atomic<int32_t> ready{1};
  FakePortSink sink;
  OutputPort port{ready, &sink};
  std::string tracePath;
};

TEST_F(OutputPortTest, WordWriteShiftsSixteenBitsAndLatches) {
  port.wordWrite(0x00A5);
  Bytes expected{0xF0};
  for (int bit : {0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 0, 1, 0, 1}) appendBit(expected, 0xF0, bit);
  expected.insert(expected.end(), {0xF0, 0xF4, 0xF0});
  EXPECT_EQ(sink.bytes, expected);
  EXPECT_EQ(readLines(tracePath), std::vector<std::string>{"(int) bits=165(a5)"});
  const auto words = decodeSerial(sink.bytes);
  ASSERT_EQ(words.size(), 1u);
  EXPECT_EQ(words[0].value, 0xA5u);
  EXPECT_EQ(words[0].bits, 16);
}

TEST_F(OutputPortTest, LongWriteIsHighWordThenWord) {
  port.longWrite((1u << 16) | (1u << 1));
  EXPECT_EQ(readLines(tracePath), (std::vector<std::string>{"--------", "(int) bits=1(1)", "(int) bits=2(2)"}));
  // High word: register select raised once, clocked bytes drop it; no latch.
  Bytes expected{0xF8};
  for (int i = 0; i < 15; ++i) expected.insert(expected.end(), {0xF0, 0xF2, 0xF0});
  expected.insert(expected.end(), {0xF1, 0xF3, 0xF1});
  expected.push_back(0xF0);
  for (int i = 0; i < 14; ++i) appendBit(expected, 0xF0, 0);
  appendBit(expected, 0xF0, 1);
  appendBit(expected, 0xF0, 0);
  expected.insert(expected.end(), {0xF0, 0xF4, 0xF0});
  EXPECT_EQ(sink.bytes, expected);
  const auto words = decodeSerial(sink.bytes);
  ASSERT_EQ(words.size(), 1u);
  EXPECT_EQ(words[0].value, 0x00010002u);
  EXPECT_EQ(words[0].bits, 32);
}

TEST_F(OutputPortTest, OutputResetAndTeardown) {
  AcquisitionState state;
  state.outputs8 = 3;
  state.outputs16 = 7;
  state.outputs32 = 9;

  // Board not ready: nothing reaches the port, but the words and trace lines do.
  ready = 0;
  port.outputReset(state);
  EXPECT_TRUE(sink.bytes.empty());
  EXPECT_EQ(readLines(tracePath), std::vector<std::string>(4, "(int) bits=0(0)"));
  EXPECT_EQ(state.outputs8, 0);
  EXPECT_EQ(state.sentOutputs8, 0xFF);
  EXPECT_EQ(state.outputs16, 0u);
  EXPECT_EQ(state.sentOutputs16, 0xFFFFu);
  EXPECT_EQ(state.outputs32, 0u);
  EXPECT_EQ(state.sentOutputs32, 0xFFFFFFFFu);
  EXPECT_EQ(port.baseByte(), 0xF0);

  ready = 1;
  port.outputReset(state);
  ASSERT_EQ(sink.bytes.size(), 1u + 4 * 52);
  EXPECT_EQ(sink.bytes[0], 0x00);
  EXPECT_EQ(sink.bytes[1], 0xF8);
  EXPECT_EQ(sink.bytes[2], 0xF8);
  EXPECT_EQ(sink.bytes[3], 0xFA);
  EXPECT_EQ(sink.bytes[1 + 2 * 52], 0xF0);
  EXPECT_EQ(sink.bytes[1 + 2 * 52 + 2], 0xF2);
  const auto words = decodeSerial(sink.bytes);
  ASSERT_EQ(words.size(), 4u);
  for (const auto& w : words) EXPECT_EQ(w.value, 0u);

  sink.bytes.clear();
  port.clearOutputsAtTeardown();
  ASSERT_EQ(sink.bytes.size(), 2u * 52);
  EXPECT_EQ(sink.bytes[0], 0xF8);
  EXPECT_EQ(sink.bytes[52], 0xF0);
  EXPECT_EQ(port.baseByte(), 0xF0);
  EXPECT_EQ(decodeSerial(sink.bytes).size(), 2u);

  // No sink (no device): writes are dropped without harm.
  OutputPort bare(ready);
  bare.byteWrite(1);
  bare.longWrite(5);
}

TEST_F(OutputPortTest, DecoderRoundTripAndPortLog) {
  const uint16_t shorts[] = {0, 1, 0x8000, 0xFFFF, 0x1234};
  const uint32_t longs[] = {0, 0xFFFFFFFFu, 0x80000001u, 0xDEADBEEFu};
  for (uint16_t w : shorts) port.wordWrite(w);
  for (uint32_t w : longs) port.longWrite(w);
  const auto words = decodeSerial(sink.bytes);
  ASSERT_EQ(words.size(), 9u);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(words[i].value, shorts[i]);
    EXPECT_EQ(words[i].bits, 16);
  }
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(words[5 + i].value, longs[i]);
    EXPECT_EQ(words[5 + i].bits, 32);
  }

  sink.bytes.clear();
  port.byteWrite(0x00);
  port.byteWrite(0x07);
  port.byteWrite(0xF4);
  PortWord direct[4];
  ASSERT_EQ(decodePortBytes(sink.bytes.data(), sink.bytes.size(), true, direct, 4), 3);
  EXPECT_EQ(direct[1].value, 0x07u);
  EXPECT_EQ(direct[2].value, 0xF4u);
  EXPECT_EQ(direct[2].bits, 8);
  EXPECT_EQ(decodePortBytes(sink.bytes.data(), sink.bytes.size(), true, direct, 2), 2);

  uint8_t parsed[8];
  EXPECT_EQ(parsePortLog("F0\nf2\r\n\n0A\n", parsed, 8), 3);
  EXPECT_EQ(parsed[0], 0xF0);
  EXPECT_EQ(parsed[1], 0xF2);
  EXPECT_EQ(parsed[2], 0x0A);
  EXPECT_EQ(parsePortLog("F0\nzz\n01\n", parsed, 8), 1);
  EXPECT_EQ(parsePortLog("F0\nF1\nF2\n", parsed, 2), 2);
}

}  // namespace
