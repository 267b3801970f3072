// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// PCI configuration mechanism #1 and the fields of the type 0 header that a scan reads:
// the ports, the address dword, the header offsets and the BAR bits. Facts of the PC, not of
// any card or layer: the port layer and the library both read them from here. Constants
// only, no code. (The simulated PC keeps its own copy, as a reference model must.)
#pragma once

#include <cstdint>

namespace pci {

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
inline constexpr uint32_t kBar1Offset = 0x14;
inline constexpr uint32_t kBar4Offset = 0x20;
inline constexpr uint32_t kSubsystemVendorIdOffset = 0x2C;
inline constexpr uint32_t kSubsystemIdOffset = 0x2E;
inline constexpr uint32_t kInterruptLineOffset = 0x3C;
inline constexpr uint32_t kBarIoSpace = 0x1;  // bit 0 of a BAR: an I/O range
inline constexpr uint32_t kBarIoBaseMask = 0xFFFC;

}  // namespace pci
