// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// Microwire access to the 93C46-family serial EEPROM behind a 9050 bridge, by driving the
// EEPROM pins of the bridge's CNTRL register (local register base + 0x50) one write per
// pin change.
#pragma once

#include <chrono>
#include <cstdint>

#include "eeprom/plx9050.h"

namespace slotscan {

// The protocol's two waits. After a READ command and its address the part is given time
// to fetch the word before it is clocked out; after a write sequence (and EWDS) the part is
// given time to finish programming before anything else talks to it.
inline constexpr std::chrono::microseconds kWordFetchWait{1000};
inline constexpr std::chrono::microseconds kProgrammingWait{1000};

// Reads the ready poll gives up after when the EEPROM never shows DO high.
inline constexpr int kEepromReadyPolls = 10000;

// One clock pulse: one read, two writes.
void EepromClock(uint16_t base);
// Lowers all lines, raises CS and shifts out the low `count` bits of `command`, MSB first.
void EepromSendBits(uint16_t base, uint32_t command, uint8_t count);
// Type 0: 6 address bits; types 1 and 2: 8 address bits; any other type reads 0xFFFF
// without touching the hardware.
void EepromReadWord(uint16_t base, int type, uint16_t byteAddress, uint16_t* word);
// Writes the low 16 bits of `value`; any type other than 0, 1 or 2 does nothing.
void EepromWriteWord(uint16_t base, int type, uint16_t byteAddress, uint32_t value);

// Words in a 93C46 organised by 16 bits, the part the library drives (type 0).
inline constexpr unsigned kEepromWords = 64;

// A whole 93C46 as reads show it: every word, and DO where the READ protocol shows it
// outside the data. Before a command CS is low and no part drives DO, so a pull-up holds it
// high; between the address and the data a part that answers drives DO low (the dummy
// bit). A part that answers reads deselectedLow = false and dummyHigh = false.
struct EepromContents {
    uint16_t words[kEepromWords];
    bool deselectedLow;  // DO read low before every command
    bool dummyHigh;      // DO read high in place of every dummy bit
};

// Reads words 0 to 63 of a type 0 part one READ at a time, each with exactly the accesses
// and the wait of EepromReadWord: a whole-EEPROM copy costs 64 of the reads a lookup makes.
void EepromReadAll(uint16_t base, EepromContents* contents);

}  // namespace slotscan
