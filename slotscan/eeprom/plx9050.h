// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// The PLX PCI 9050 bridge as the library drives it: its IDs (the library's default
// filter) and its CNTRL register with the EEPROM lines. BAR1 (pci::kBar1Offset) decodes the
// bridge's local registers, where CNTRL is; BAR4 the card's own I/O range. Constants only.
#pragma once

#include <cstdint>

namespace slotscan {

inline constexpr uint16_t kPlxVendorId = 0x10B5;
inline constexpr uint16_t kPci9050DeviceId = 0x9050;

// CNTRL, at the local register base (BAR1) + kCntrlOffset. Bits 24-27 are the EEPROM
// lines; bit 28 reads 1 when an EEPROM is fitted.
inline constexpr uint16_t kCntrlOffset = 0x50;
inline constexpr uint32_t kEepromClock = 0x01000000;       // SK, to the EEPROM
inline constexpr uint32_t kEepromChipSelect = 0x02000000;  // CS, to the EEPROM
inline constexpr uint32_t kEepromDataIn = 0x04000000;      // DI, to the EEPROM
inline constexpr uint32_t kEepromDataOut = 0x08000000;     // DO, from the EEPROM
inline constexpr uint32_t kEepromPresent = 0x10000000;     // read only
inline constexpr uint32_t kEepromLines = 0x0F000000;
inline constexpr uint32_t kEepromLinesLow = ~kEepromLines;
inline constexpr uint32_t kEepromKeepChipSelect = ~(kEepromLines & ~kEepromChipSelect);
inline constexpr uint32_t kEepromChipSelectLow = ~kEepromChipSelect;
inline constexpr uint32_t kEepromClockLow = ~kEepromClock;

}  // namespace slotscan
