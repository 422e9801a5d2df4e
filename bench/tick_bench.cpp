// processBlock on the largest block: 32768 samples (1024 frames of 32), all
// channels recorded at the shortest interval, half of them in AC mode; and,
// for scale, one plain read of the same block.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>

#include "acquisition/tick_core.h"
#include "acquisition/trace_log.h"

namespace {

class NullRecorder : public RecorderLink {
 public:
  bool isRecording() const override { return true; }
  void clearMarkerText() override {}
  void addMarker(float, int, int) override {}
  void appendRows(const float* values, uint32_t count) override {
    rows += count;
    benchmark::DoNotOptimize(values);
  }
  uint64_t rows = 0;
};

class NullSink : public PortSink {
 public:
  void writeByte(uint8_t) override {}
};

struct Fixture {
  Fixture() {
    a->framesPerBlock = MAX_FRAMES_PER_BLOCK;
    a->samplesPerBlock = SAMPLE_BUFFER_SIZE;
    a->boardReady = 1;
    a->running = 1;
    a->recordTimeMs = a->previousRecordTimeMs = RECORD_TIME_IDLE;
    for (int i = 0; i < 32; ++i) a->slotPosition[i] = i;
    std::mt19937 random(7);
    std::uniform_real_distribution<float> volts(-10.0f, 10.0f);
    for (float& x : a->sampleBuffer) x = volts(random);
    s->Ftime = 1;
    s->nDO = 16;
    for (int n = 1; n <= 32; ++n) {
      s->FlagRec[n] = 1;
      s->ACmode[n] = n % 2;
      s->channelK[n] = 1.5f;
      s->channelB[n] = 0.25f;
      panelStore[n - 1].channel = n;
      panelStore[n - 1].visible = 1;
      panels[n - 1] = &panelStore[n - 1];
    }
  }
  std::unique_ptr<AcquisitionState> a = std::make_unique<AcquisitionState>();
  std::unique_ptr<MeterSettings> s = std::make_unique<MeterSettings>();
  PanelState panelStore[32];
  PanelState* panels[32] = {};
  NullRecorder recorder;
  NullSink sink;
  OutputPort port{a->boardReady, &sink};
};

void setNsPerSample(benchmark::State& state) {
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * SAMPLE_BUFFER_SIZE);
  state.counters["ns_per_sample"] = benchmark::Counter(SAMPLE_BUFFER_SIZE * 1e-9,
                                                       benchmark::Counter::kIsIterationInvariantRate |
                                                           benchmark::Counter::kInvert);
}

// Argument: recording interval in ms (1 is the shortest the tick accepts).
void BM_ProcessBlock(benchmark::State& state) {
  traceLogSetPath("/dev/null");
  Fixture f;
  f.s->Ftime = static_cast<int32_t>(state.range(0));
  // First block starts the clock, second one the recording.
  processBlock(*f.a, *f.s, f.panels, &f.recorder, f.port);
  processBlock(*f.a, *f.s, f.panels, &f.recorder, f.port);
  if (f.a->recordActive != 1 || f.a->recordedChannelCount != 32) state.SkipWithError("recording did not start");
  for (auto _ : state) {
    processBlock(*f.a, *f.s, f.panels, &f.recorder, f.port);
    benchmark::ClobberMemory();
  }
  state.counters["rows_per_block"] = static_cast<double>(f.recorder.rows) / (state.iterations() + 1) / 32;
  setNsPerSample(state);
}
BENCHMARK(BM_ProcessBlock)->Arg(1)->Arg(1000);

// Reading every sample once: 32 running sums, one per frame position.
void BM_ReadBlockOnce(benchmark::State& state) {
  Fixture f;
  for (auto _ : state) {
    float sums[32] = {};
    const float* x = f.a->sampleBuffer;
    for (uint32_t k = 0; k < MAX_FRAMES_PER_BLOCK; ++k, x += 32)
      for (int p = 0; p < 32; ++p) sums[p] += x[p];
    benchmark::DoNotOptimize(sums);
    benchmark::ClobberMemory();
  }
  setNsPerSample(state);
}
BENCHMARK(BM_ReadBlockOnce);

// The same read through one running sum (bound by the add latency).
void BM_ReadBlockOnceSerial(benchmark::State& state) {
  Fixture f;
  for (auto _ : state) {
    float sum = 0.0f;
    for (float x : f.a->sampleBuffer) sum += x;
    benchmark::DoNotOptimize(sum);
    benchmark::ClobberMemory();
  }
  setNsPerSample(state);
}
BENCHMARK(BM_ReadBlockOnceSerial);

}  // namespace

BENCHMARK_MAIN();
