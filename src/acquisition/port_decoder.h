// Reads a stream of digital-output port bytes back into the words written:
// for checking what reached the port (tests, the simulated board's port log).
#pragma once

#include <cstddef>
#include <cstdint>

struct PortWord {
  uint32_t value;  // the bits shifted in, last one in bit 0 (low 32 bits kept)
  int bits;        // 8 for a direct byte; 16 or 32 for a serial word
  // Serial words: the bits (at their places in value) whose clock edge came
  // while register select was high, and the rising edges of register select
  // seen before the word's latch.
  uint32_t selectedBits = 0;
  int selectRises = 0;
};

// direct: every byte is an 8-bit output word (nDO 8). Otherwise the bytes
// are the serial protocol: a rising clock edge shifts in the data bit, a
// rising latch edge ends a word; register select is recorded per bit. Stores at most maxWords words; returns how
// many were stored.
int decodePortBytes(const uint8_t* bytes, size_t count, bool direct, PortWord* words, int maxWords);

// Parses a port log: one byte per line as two hex digits. Blank lines are
// skipped; anything else stops the parse. Returns the number of bytes stored
// (at most maxBytes).
int parsePortLog(const char* text, uint8_t* bytes, int maxBytes);
