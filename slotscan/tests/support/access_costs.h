// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// What the library's work costs in port accesses and pauses, exactly. The tests compare
// these sums with the simulated PC's counters, so a change to the scan or to the EEPROM
// protocol shows as a changed count; the manual pages state them (manual_costs_test.cpp).
#pragma once

#include <cstdint>

namespace testing_support {

// A scan of buses 0-3 that finds nothing: a write of 0xCF8 and a read of 0xCFC for each
// of the 128 slots.
inline constexpr uint64_t kEmptyScanAccesses = 256;
// Each device that answers adds the other 15 dwords of its header, written and read.
inline constexpr uint64_t kPerDeviceAccesses = 30;
// One card number read from the EEPROM.
inline constexpr uint64_t kEepromReadAccesses = 106;
// One word written (EWEN, WRITE with its data, CS low and high, EWDS), not counting the
// reads that poll for ready.
inline constexpr uint64_t kEepromWriteAccesses = 185;
// The pause before a card number is read (the EEPROM fetches the word), and the one after
// a word is written (the EEPROM programs it).
inline constexpr uint64_t kEepromReadPauses = 1;
inline constexpr uint64_t kEepromWritePauses = 1;

struct Cost {
    uint64_t accesses = 0;
    uint64_t pauses = 0;
    friend constexpr Cost operator+(Cost a, Cost b) {
        return {a.accesses + b.accesses, a.pauses + b.pauses};
    }
};

// One scan, on a machine where `devices` devices answer at function 0 of buses 0-3, of which
// `cards` are in the table: what every lookup and listing costs.
constexpr Cost scanCost(uint64_t devices, uint64_t cards) {
    return {kEmptyScanAccesses + devices * kPerDeviceAccesses + cards * kEepromReadAccesses,
            cards * kEepromReadPauses};
}
// The word written, with `pollReads` reads polling for ready (one more than the reads that
// find the EEPROM busy), then read back.
constexpr Cost numberWriteCost(uint64_t pollReads) {
    return Cost{kEepromWriteAccesses + pollReads, kEepromWritePauses} +
           Cost{kEepromReadAccesses, kEepromReadPauses};
}
// A renumbering that finds its card: one scan, then the number written and read back.
constexpr Cost renumberCost(uint64_t devices, uint64_t cards, uint64_t pollReads) {
    return scanCost(devices, cards) + numberWriteCost(pollReads);
}

}  // namespace testing_support
