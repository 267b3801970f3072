// Microwire access to the 93C46-family serial EEPROM behind a 9050 bridge, by driving the
// EEPROM pins of the bridge's CNTRL register (local register base + 0x50) one write per
// pin change.
#pragma once

#include <cstdint>

namespace slotscan {

inline constexpr uint16_t kCntrlOffset = 0x50;
inline constexpr uint32_t kEepromClock = 0x01000000;       // SK, to the EEPROM
inline constexpr uint32_t kEepromChipSelect = 0x02000000;  // CS, to the EEPROM
inline constexpr uint32_t kEepromDataIn = 0x04000000;      // DI, to the EEPROM
inline constexpr uint32_t kEepromDataOut = 0x08000000;     // DO, from the EEPROM
inline constexpr uint32_t kEepromLinesLow = 0xF0FFFFFF;
inline constexpr uint32_t kEepromKeepChipSelect = 0xF2FFFFFF;
inline constexpr uint32_t kEepromChipSelectLow = 0xFDFFFFFF;
inline constexpr uint32_t kEepromClockLow = 0xFEFFFFFF;

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

}  // namespace slotscan
