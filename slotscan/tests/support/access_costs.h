// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// What the library's work costs in port accesses, exactly. The tests add these up and
// compare them with the simulated PC's counters, so a change to the scan or to the EEPROM
// protocol shows as a changed count.
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

}  // namespace testing_support
