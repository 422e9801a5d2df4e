#include "network/meter_documents.h"

#include <cmath>

#include "panels/reading_format.h"

namespace {

bool isSet(float limit) { return limit < LIMIT_UNSET; }

void jsonNumber(TextBuffer& out, float value) {
  if (std::isfinite(value))
    out.addReal(value);
  else
    out.add("null");
}

void jsonLimit(TextBuffer& out, float limit) {
  if (isSet(limit))
    jsonNumber(out, limit);
  else
    out.add("null");
}

// A panel text (formatReading) as a JSON string, or null.
void jsonShown(TextBuffer& out, bool shown, float value) {
  if (!shown) {
    out.add("null");
    return;
  }
  char text[32];
  formatReading(value, text, sizeof text);
  out.add('"');
  out.addJsonText(text, sizeof text);
  out.add('"');
}

const char* stateName(int32_t state) {
  switch (state) {
    case READING_PLAIN: return "normal";
    case READING_REFERENCE: return "reference";
    case READING_OUT_OF_RANGE: return "out_of_range";
    default: return "none";
  }
}

void jsonChannel(TextBuffer& out, const ChannelSnapshot& c) {
  const bool reading = c.readingState != READING_NONE;
  const bool ref = isSet(c.ref);
  out.add("{\"channel\":");
  out.addInteger(c.channel);
  out.add(",\"panel\":");
  out.addInteger(c.panel);
  out.add(",\"name\":\"");
  out.addJsonText(c.name, sizeof c.name);
  out.add("\",\"unit\":\"");
  out.addJsonText(c.unit, sizeof c.unit);
  out.add("\",\"value\":");
  jsonNumber(out, c.value);
  out.add(",\"low\":");
  jsonLimit(out, c.low);
  out.add(",\"high\":");
  jsonLimit(out, c.high);
  out.add(",\"ref\":");
  jsonLimit(out, c.ref);
  out.add(",\"state\":\"");
  out.add(stateName(c.readingState));
  out.add("\",\"out_of_range\":");
  out.add(c.readingState == READING_OUT_OF_RANGE ? "true" : "false");
  out.add(",\"output\":");
  out.addInteger(c.output);
  out.add(",\"output_on\":");
  out.add(c.outputOn ? "true" : "false");
  out.add(",\"shown\":{\"reading\":");
  jsonShown(out, reading, c.reading);
  out.add(",\"low\":");
  jsonShown(out, isSet(c.low), c.low);
  out.add(",\"high\":");
  jsonShown(out, isSet(c.high), c.high);
  out.add(",\"ref\":");
  jsonShown(out, ref, c.ref);
  out.add(",\"absolute\":");
  jsonShown(out, reading && ref, c.reading + c.ref);
  out.add("}}");
}

void metricHead(TextBuffer& out, const char* name, const char* type, const char* help) {
  out.add("# HELP ");
  out.add(name);
  out.add(' ');
  out.add(help);
  out.add("\n# TYPE ");
  out.add(name);
  out.add(' ');
  out.add(type);
  out.add('\n');
}

void channelLabels(TextBuffer& out, const char* name, const ChannelSnapshot& c) {
  out.add(name);
  out.add("{channel=\"");
  out.addInteger(c.channel);
  out.add("\",name=\"");
  out.addLabelText(c.name, sizeof c.name);
  out.add("\",unit=\"");
  out.addLabelText(c.unit, sizeof c.unit);
  out.add("\"} ");
}

// One metric over the shown channels; only those for which has() holds.
template <typename Has, typename Value>
void channelMetric(TextBuffer& out, const MeterSnapshot& s, const char* name, const char* help, Has has,
                   Value value) {
  metricHead(out, name, "gauge", help);
  for (int i = 0; i < s.channelCount; ++i) {
    const ChannelSnapshot& c = s.channels[i];
    if (!has(c)) continue;
    channelLabels(out, name, c);
    out.addReal(value(c));
    out.add('\n');
  }
}

void plainMetric(TextBuffer& out, const char* name, const char* type, const char* help, uint64_t value) {
  metricHead(out, name, type, help);
  out.add(name);
  out.add(' ');
  out.addUnsigned(value);
  out.add('\n');
}

}  // namespace

const char* boardName(int32_t boardType) {
  return boardType == BOARD_KV310 ? "KV310" : boardType == BOARD_KV320 ? "KV320" : "none";
}

void renderValuesJson(const MeterSnapshot& s, TextBuffer& out) {
  out.add("{\"time\":");
  if (s.timeMs > 0)
    out.addReal(static_cast<double>(s.timeMs) / 1000.0);
  else
    out.add("null");
  out.add(",\"board\":\"");
  out.add(boardName(s.boardType));
  out.add("\",\"rate\":");
  out.addReal(s.rateHz);
  out.add(",\"recording\":");
  out.add(s.recording ? "true" : "false");
  out.add(",\"output_word\":");
  out.addUnsigned(s.outputWord);
  out.add(",\"output_bits\":");
  out.addInteger(s.outputBits);
  out.add(",\"ticks\":");
  out.addUnsigned(s.ticks);
  out.add(",\"blocks_lost\":");
  out.addUnsigned(s.blocksLost);
  out.add(",\"channels\":[");
  for (int i = 0; i < s.channelCount; ++i) {
    if (i) out.add(",\n");
    jsonChannel(out, s.channels[i]);
  }
  out.add("]}\n");
}

void renderMetrics(const MeterSnapshot& s, const char* version, TextBuffer& out) {
  auto always = [](const ChannelSnapshot&) { return true; };
  channelMetric(out, s, "skalenor_channel_value", "Latest value of the channel in its unit (K x volts + B).", always,
                [](const ChannelSnapshot& c) { return c.value; });
  channelMetric(out, s, "skalenor_channel_out_of_range", "1 while the panel's reading is outside its limits.", always,
                [](const ChannelSnapshot& c) { return c.readingState == READING_OUT_OF_RANGE ? 1.0f : 0.0f; });
  channelMetric(out, s, "skalenor_channel_limit_low", "Lower limit of the channel's panel, while it is on.",
                [](const ChannelSnapshot& c) { return isSet(c.low); }, [](const ChannelSnapshot& c) { return c.low; });
  channelMetric(out, s, "skalenor_channel_limit_high", "Upper limit of the channel's panel, while it is on.",
                [](const ChannelSnapshot& c) { return isSet(c.high); },
                [](const ChannelSnapshot& c) { return c.high; });
  plainMetric(out, "skalenor_output_word", "gauge", "Relay-command outputs as last written to the board's port.",
              s.outputWord);
  plainMetric(out, "skalenor_recording", "gauge", "1 while a recording runs.", s.recording ? 1 : 0);
  plainMetric(out, "skalenor_ticks_total", "counter", "Blocks of samples processed since the program started.",
              s.ticks);
  plainMetric(out, "skalenor_blocks_lost_total", "counter",
              "Blocks the board produced that never reached the program.", s.blocksLost);
  metricHead(out, "skalenor_info", "gauge", "Program version and board.");
  out.add("skalenor_info{version=\"");
  out.add(version);
  out.add("\",board=\"");
  out.add(boardName(s.boardType));
  out.add("\"} 1\n");
}
