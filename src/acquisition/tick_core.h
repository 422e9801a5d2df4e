// The arithmetic of one engine tick, without the board and the windows:
// the KV310 block conversion and everything a block does once it is in
// sampleBuffer (channel values, recorder rows, digital outputs).
//
// Runs on the multimedia-timer thread. Reads the settings and the panels'
// published fields without locks and allocates nothing.
#pragma once

#include <cstdint>

#include "acquisition/acquisition_state.h"
#include "acquisition/output_port.h"
#include "panels/panel_table.h"
#include "recording/recorder_link.h"
#include "settings/meter_settings.h"

inline constexpr int FRAME_SIZE = 32;  // one value per channel
inline constexpr uint32_t MAX_FRAMES_PER_BLOCK = SAMPLE_BUFFER_SIZE / FRAME_SIZE;

// True when the block layout keeps every sample and row inside the engine's
// buffers: 1 to MAX_FRAMES_PER_BLOCK frames, samplesPerBlock covering them and
// within sampleBuffer, and slotPosition a permutation of the 32 positions.
bool blockLayoutValid(const AcquisitionState& state);

// KV310: raw counts to volts, entry i scaled by fullScaleVolts * 2^-15 and
// divided by the gain at frame position i mod 32. Converts samplesPerBlock
// samples; false (and nothing converted) when that exceeds sampleBuffer.
bool convertKV310Block(AcquisitionState& state, const int16_t* raw);

// One block already in sampleBuffer: the recording clock and start, the 32
// channel values into currentValues, recorder rows and markers, the output
// word to the port when it changed, appendRows. The panels' PANEL_SAMPLES
// messages are left to the caller. panels[j] is the panel at position j + 1
// (null entries are skipped); recorder may be null (nothing is recorded).
// Returns false, touching nothing, when the block layout is not valid.
//
// Recorder rows have one column per recorded panel, in panel order (the order
// in which the recording lists its channels); a channel shown on two recorded
// panels fills two columns. Checking boardReady and running, reading the
// block and sending PANEL_SAMPLES stay with the engine.
bool processBlock(AcquisitionState& state, const MeterSettings& settings, PanelState* const panels[PANEL_COUNT],
                  RecorderLink* recorder, OutputPort& port);
