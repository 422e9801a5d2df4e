// The channel settings dialog's rules: field texts in, settings out.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "panels/channel_settings.h"

// A limit field that is on, opened showing shown over the value old: the value in full, or "refused".
std::string limit(const std::string& text, const std::string& shown = "", float old = 0) {
  char value[32] = "refused";
  if (float v; readLimit(text, shown, old, &v)) std::snprintf(value, sizeof value, "%.9g", v);
  return value;
}

TEST(ChannelSettings, FieldsKeypadAndLimits) {
  const std::pair<std::string, std::string> texts[] = {
      {formatB(1000007.0f), "K07"},  {formatB(1000000.0f), "1e+06"},  // the base itself and 33 are numbers
      {formatB(1000033.0f), "1.00003e+06"}, {formatB(-2.5f), "-2.5"}, {formatK(0.001f), "0.001"},
      {formatLimit(12.5f), "12.5"}, {keypadAppend("1234567", '8'), "12345678"},
      {keypadAppend("12345678", '9'), "12345678"}, {keypadAppend("1.-", '.'), "1.-."},  // the keypad does not check
      {keypadBackspace(""), ""}, {keypadBackspace("12"), "1"}, {limit("4.5"), "4.5"}, {limit("5-"), "5"},
      {limit("-2e10"), "-2e+10"}, {limit("2", "1.5", 1.5f), "2"},
      {limit("1.23457", "1.23457", 1.2345678f), "1.23456776"},  // left as shown: the value "%lg" cannot show
      // No number: refused rather than a limit of 0, also in a field switched on empty.
      {limit("--"), "refused"}, {limit(""), "refused"}, {limit("", "", 7), "refused"},
      {limit("1e10"), "refused"}, {limit("inf"), "refused"},  // read back as "not set", or not a number
      {storableText("mV") ? "yes" : "no", "yes"}, {storableText("m|V") ? "yes" : "no", "no"},
  };
  for (const auto& [got, want] : texts) EXPECT_EQ(got, want);
}

TEST(ChannelSettings, OkReadsEveryFieldOrKeepsTheOldValue) {
  // Old values: K 2, B 3.
  const struct {
    const char *k, *b, *interval, *name;
    float wantK, wantB;
    int32_t wantInterval;
    const char* wantName;
    bool changed;
  } cases[] = {
      {"2", "3", "500", "abc", 2, 3, 500, "abc", false},
      {"", "", "", "", 2, 3, 200, "", false},                 // empty: K and B kept, interval 200
      {"x", "?", "-5", "abcdefgh", 2, 3, 200, "abcdef", false},  // unreadable; name cut to 6
      {"1.5e1", "K07", "100", "ok", 15, 1000007, 200, "ok", true},
      {"2", "K7", "400000", "ok", 2, 1000007, 360000, "ok", true},
      {"2", "K", "360000", "", 2, 3, 360000, "", false},        // "K" naming no channel: B kept
      {"2", "K33", "25.5", "", 2, 3, 200, "", false},
      {"2", "K00", "99999999999999", "", 2, 3, 360000, "", false},
      {"2", "k07", "201", "", 2, 3, 201, "", false},            // only the capital K is a reference
      {"2", "-0.25", "0", "", 2, -0.25f, 200, "", true},
      {"2", "K123", "1", "", 2, 1000012, 200, "", true},        // two digits at most
      {"2", "3", "500", " a b\tc ", 2, 3, 500, "a_b_c", false},  // blanks end a name in the file: trimmed, "_" within
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.k) + " | " + c.b + " | " + c.interval);
    auto s = std::make_unique<MeterSettings>();
    s->channelK[5] = 2;
    s->channelB[5] = 3;
    s->Kadc[5] = 3;
    ChannelForm form{0, c.k, c.b, "\xC2\xEE\xEB\xFC\xF2\xFB\xF5", c.name, c.interval, 4, "", ""};  // "Вольтых"
    EXPECT_EQ(applyChannelForm(*s, 5, form), c.changed);
    EXPECT_EQ(s->channelK[5], c.wantK);
    EXPECT_EQ(s->channelB[5], c.wantB);
    EXPECT_EQ(s->Interval[5], c.wantInterval);
    EXPECT_STREQ(s->channelName[5], c.wantName);
    EXPECT_STREQ(s->unitText[5], "\xC2\xEE\xEB\xFC\xF2\xFB");
    // The output stored, no gain button checked, other channels untouched.
    EXPECT_TRUE(s->NPK[5] == 4 && s->Kadc[5] == 3 && s->channelK[4] == 0);
  }
  // A checked gain button is stored; fields left as shown keep values "%g" cannot show in full.
  auto s = std::make_unique<MeterSettings>();
  s->channelK[1] = 1.2345678f;
  s->channelB[1] = 1000033.0f;
  const ChannelForm untouched{2, formatK(1.2345678f), formatB(1000033.0f), "", "", "500", 0,
                              formatK(1.2345678f), formatB(1000033.0f)};
  EXPECT_FALSE(applyChannelForm(*s, 1, untouched));
  EXPECT_EQ(s->Kadc[1], 2);
  EXPECT_TRUE(s->channelK[1] == 1.2345678f && s->channelB[1] == 1000033.0f);
  EXPECT_FALSE(applyChannelForm(*s, 33, ChannelForm{}));
}
