#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <tuple>
#include <vector>

#include "acquisition/output_port.h"
#include "acquisition/port_decoder.h"
#include "acquisition/trace_log.h"
#include "acquisition_fakes.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Lines = std::vector<std::string>;

class OutputPortTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(traceLogSetPath(tracePath.c_str())); }
  std::atomic<int32_t> ready{1};
  FakePortSink sink;
  OutputPort port{ready, &sink};
  std::string tracePath = ::testing::TempDir() + "trace_port";
};

// The words as the board's shift register receives them (highest bit first), their trace lines, and the
// direct bytes of the 8-bit port.
TEST_F(OutputPortTest, WordsRoundTripThroughTheDecoderAndAreTraced) {
  const Words written = {{0xA5, 16}, {0x00010002u, 32}, {0, 16}, {0x8000, 16}, {0xFFFF, 16},
                         {0, 32}, {0xFFFFFFFFu, 32}, {0x80000001u, 32}, {0xDEADBEEFu, 32}};
  for (const PortWord& w : written)
    w.bits == 16 ? port.wordWrite(static_cast<uint16_t>(w.value)) : port.longWrite(w.value);
  EXPECT_EQ(decodeWords(sink.bytes), written);
  const Lines trace = readLines(tracePath);
  EXPECT_EQ(Lines(trace.begin(), trace.begin() + 4), (Lines{"(int) bits=165(a5)", "--------", "(int) bits=1(1)", "(int) bits=2(2)"}));
  // High word: register select raised once (0xF8), clocked bytes drop it; no latch before the low word.
  EXPECT_EQ(Bytes(sink.bytes.begin() + 52, sink.bytes.begin() + 55), (Bytes{0xF8, 0xF0, 0xF2}));
  // So no bit of any word is clocked with register select high; a long word raises it once, at its start.
  for (const PortWord& w : decodeWords(sink.bytes))
    EXPECT_EQ(std::make_pair(w.selectedBits, w.selectRises), std::make_pair(0u, w.bits == 32 ? 1 : 0)) << w;

  sink.bytes.clear();
  for (uint8_t b : {0x00, 0x07, 0xF4}) port.byteWrite(b);
  EXPECT_EQ(decodeWords(sink.bytes, true), (Words{{0x00, 8}, {0x07, 8}, {0xF4, 8}}));
  PortWord direct[2];
  EXPECT_EQ(decodePortBytes(sink.bytes.data(), sink.bytes.size(), true, direct, 2), 2);
}

TEST_F(OutputPortTest, OutputResetAndTeardown) {
  AcquisitionState state;

  // Board not ready: nothing reaches the port, but the words and trace lines do.
  ready = 0;
  port.outputReset(state);
  EXPECT_TRUE(sink.bytes.empty());
  EXPECT_EQ(readLines(tracePath), Lines(4, "(int) bits=0(0)"));
  EXPECT_EQ(std::tie(state.sentOutputs8, state.sentOutputs16, state.sentOutputs32),
            std::make_tuple(0xFF, 0xFFFFu, 0xFFFFFFFFu));

  ready = 1;
  port.outputReset(state);
  ASSERT_EQ(sink.bytes.size(), 1u + 4 * 52);
  // The reset byte, then 52 bytes a word: the third word (at 1 + 2 * 52 = 105) drops the register select.
  for (auto [at, byte] : {std::pair{0, 0x00}, {1, 0xF8}, {2, 0xF8}, {3, 0xFA}, {105, 0xF0}, {107, 0xF2}})
    EXPECT_EQ(sink.bytes[at], byte) << "byte " << at;
  const Words reset = decodeWords(sink.bytes);
  EXPECT_EQ(reset, Words(4, {0u, 16}));
  // The first two words go with register select high throughout, the last two without.
  for (int i = 0; i < 4; ++i) EXPECT_EQ(reset[i].selectedBits, i < 2 ? 0xFFFFu : 0u) << i;

  sink.bytes.clear();
  port.clearOutputsAtTeardown();
  ASSERT_EQ(sink.bytes.size(), 2u * 52);
  EXPECT_EQ(std::tie(sink.bytes[0], sink.bytes[52]), std::make_tuple(0xF8, 0xF0));
  EXPECT_EQ(port.baseByte(), 0xF0);
  EXPECT_EQ(decodeWords(sink.bytes).size(), 2u);

  OutputPort bare(ready);  // no sink (no device): writes are dropped without harm
  bare.longWrite(5);
}

TEST(PortLog, ParsesHexBytesUpToTheFirstBadLine) {
  uint8_t parsed[8];
  ASSERT_EQ(parsePortLog("F0\nf2\r\n\n0A\n", parsed, 8), 3);
  EXPECT_EQ(Bytes(parsed, parsed + 3), (Bytes{0xF0, 0xF2, 0x0A}));
  EXPECT_EQ(parsePortLog("F0\nzz\n01\n", parsed, 8), 1);
  EXPECT_EQ(parsePortLog("F0\nF1\nF2\n", parsed, 2), 2);
}

}  // namespace
