// The simulated boards' configuration file and signals.
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
#include <vector>

#include "sim_config.h"

namespace {

using Gains = std::vector<int32_t>;

TEST(SimConfig, ParsesEveryKey) {
  SimConfig c;
  parseSimConfig(
      "# test board\r\nboard = KV310\r\ngains = 2, 4, 8, 16\nfullscale = 5\nch1 = dc 1.5\n"
      "ch2 = sine 2 50 0.5   ; with offset\nch3 = square -1 1 10\nch32 = ramp 0 4 2\nnoise = 0.01\nseed = 42\n"
      "portlog = C:\\logs\\Port Log.txt\nfail = open320\nfail = Record310\nstall = 3 4.5\n\n",
      c);
  EXPECT_EQ(std::tie(c.firstBadLine, c.board, c.fullScale, c.noise, c.seed, c.faults, c.stallFrom, c.stallFor),
            std::make_tuple(0, SimBoard::KV310, 5.0, 0.01, 42u, FAULT_OPEN320 | FAULT_RECORD310, 3.0, 4.5));
  EXPECT_EQ(Gains(c.gains, c.gains + 8), (Gains{1, 2, 4, 8, 16, 1, 1, 1}));
  EXPECT_EQ(std::tie(c.channels[0].a, c.channels[1].c, c.channels[31].wave), std::make_tuple(1.5, 0.5, SimWave::Ramp));
  EXPECT_STREQ(c.portLog, "C:\\logs\\Port Log.txt");  // case and blanks kept in paths

  parseSimConfig("board = none\nch33 = dc 1\nch1 = dc\nfail = everything\ngains = 1,2,3\nstall = 3 0\n", c);
  EXPECT_EQ(c.board, SimBoard::None);
  EXPECT_EQ(c.stallFor, 0.0);
  EXPECT_EQ(std::tie(c.firstBadLine, c.channels[0].a, c.faults, c.gains[2]), std::make_tuple(2, 0.0, 0u, 10));
}

TEST(SimConfig, SignalsAreAFunctionOfTheSampleIndex) {
  SimConfig c;
  parseSimConfig("ch1 = dc 2\nch2 = sine 1 1 0.25\nch3 = square 0 5 1\nch4 = ramp 0 10 1\n", c);
  // {channel, sample, volts}: a sine's crest at a quarter period, a square low in its second half.
  for (auto [channel, sample, volts] : {std::tuple{0, 12345, 2.0}, {1, 250, 1.25}, {1, 750, -0.75}, {2, 600, 0.0},
                                        {3, 1250, 2.5}})
    EXPECT_NEAR(simChannelVolts(c, channel, sample, 1000.0), volts, 1e-9) << channel << " " << sample;
  // A stream block (sines rotated frame to frame) gives the same samples, far into the stream too
  // (within what a float sample can tell).
  parseSimConfig("noise = 0.01\nch5 = sine 3 47.3 1\n", c);
  int32_t positions[32];
  for (int p = 0; p < 32; ++p) positions[p] = (p * 7) % 32;
  double block[1024];
  for (uint64_t first : {uint64_t{0}, uint64_t{13}, uint64_t{40000000011}}) {
    simStreamVolts(c, positions, first, 1024, 102400.0, block);
    for (uint32_t i = 0; i < 1024; ++i)
      ASSERT_NEAR(block[i], simChannelVolts(c, positions[(first + i) % 32], first + i, 102400.0), 1e-6) << first + i;
  }

  // Noise (the same samples for the same seed, as the stream block shows): another seed, other
  // samples; sigma about right.
  SimConfig a, b;
  parseSimConfig("noise = 0.1\nseed = 7\n", a);
  parseSimConfig("noise = 0.1\nseed = 8\n", b);
  double sum = 0, squares = 0;
  int differ = 0;
  for (int i = 0; i < 20000; ++i) {
    const double v = simChannelVolts(a, 5, i, 1000.0);
    differ += v != simChannelVolts(b, 5, i, 1000.0);
    sum += v;
    squares += v * v;
  }
  EXPECT_GT(differ, 19000);
  EXPECT_NEAR(sum / 20000, 0.0, 0.01);
  EXPECT_NEAR(std::sqrt(squares / 20000), 0.1, 0.01);
}

TEST(SimConfig, RawCountsAndClipping) {
  // {volts, gain, raw count}; 1 V x 10 would be 32768, which clamps.
  for (auto [volts, gain, count] : {std::tuple{1.0, 1, 3277}, {1.0, 10, 32767}, {-20.0, 1, -32768}, {0.05, 100, 16384}})
    EXPECT_EQ(simRawCount(volts, gain, 10.0), count) << volts << " V x " << gain;
  for (auto [volts, clipped] : {std::pair{0.5, 0.5f}, {2.0, 1.0f}, {-2.0, -1.0f}})
    EXPECT_FLOAT_EQ(simClippedVolts(volts, 10, 10.0), clipped) << volts;
  SimConfig c;
  parseSimConfig("gains = 1, 3, 9, 27\n", c);
  for (auto [gain, offered] : {std::pair{1, true}, {27, true}, {10, false}, {0, false}})
    EXPECT_EQ(simGainOffered(c, gain), offered) << gain;
}

}  // namespace
