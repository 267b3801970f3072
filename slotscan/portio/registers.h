// The hardware registers the system touches, each written once: PCI configuration
// mechanism #1 and the header fields the scan reads, and the 9050 bridge's CNTRL register
// with the EEPROM lines it drives. Constants only, no code: the library, cardnum, the port
// layer's hardware backends, the tests and the benchmarks all read them from here. (The
// simulated PC keeps its own copy, as a reference model must.)
#pragma once

#include <cstdint>

namespace slotscan {

// ---- PCI configuration mechanism #1 ----

inline constexpr uint16_t kConfigAddressPort =
    0xCF8;  // dword: enable, bus, device, function, register
inline constexpr uint16_t kConfigDataPort = 0xCFC;  // the selected configuration dword
inline constexpr uint16_t kConfigPortCount = 8;     // 0xCF8-0xCFF
inline constexpr uint32_t kConfigEnable = 0x80000000;

// The dword written to kConfigAddressPort to select a register (its low two bits dropped).
constexpr uint32_t ConfigAddress(uint32_t bus, uint32_t device, uint32_t function,
                                 uint32_t offset = 0) {
    return kConfigEnable | (bus & 0xFF) << 16 | (device & 0x1F) << 11 | (function & 0x07) << 8 |
           (offset & 0xFC);
}
constexpr uint32_t ConfigBus(uint32_t address) {
    return (address >> 16) & 0xFF;
}
constexpr uint32_t ConfigDevice(uint32_t address) {
    return (address >> 11) & 0x1F;
}
constexpr uint32_t ConfigFunction(uint32_t address) {
    return (address >> 8) & 0x07;
}
constexpr uint32_t ConfigOffset(uint32_t address) {
    return address & 0xFC;
}

inline constexpr uint32_t kBuses = 256;
inline constexpr uint32_t kDevicesPerBus = 32;
inline constexpr uint32_t kFunctionsPerDevice = 8;
inline constexpr uint16_t kNoDevice = 0xFFFF;  // vendor ID read where nothing answers

// Byte offsets in the 64-byte type 0 header.
inline constexpr uint32_t kHeaderBytes = 64;
inline constexpr uint32_t kVendorIdOffset = 0x00;
inline constexpr uint32_t kDeviceIdOffset = 0x02;
inline constexpr uint32_t kHeaderTypeDword = 0x0C;      // header type in bits 16-23
inline constexpr uint32_t kMultiFunction = 0x00800000;  // header type bit 7, in that dword
inline constexpr uint32_t kBar0Offset = 0x10;
inline constexpr uint32_t kBar1Offset = 0x14;  // 9050: its local registers
inline constexpr uint32_t kBar4Offset = 0x20;  // 9050: the card's own I/O range
inline constexpr uint32_t kSubsystemVendorIdOffset = 0x2C;
inline constexpr uint32_t kSubsystemIdOffset = 0x2E;
inline constexpr uint32_t kInterruptLineOffset = 0x3C;
inline constexpr uint32_t kBarIoSpace = 0x1;  // bit 0 of a BAR: an I/O range
inline constexpr uint32_t kBarIoBaseMask = 0xFFFC;

// ---- PLX PCI 9050 bridge ----

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
