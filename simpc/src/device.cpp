// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include "simpc/device.h"

#include <fmt/format.h>

namespace simpc {

namespace {

uint32_t dword(uint16_t low, uint16_t high) {
    return uint32_t{low} | (uint32_t{high} << 16);
}

// Writable address bits of a BAR: those above its size; the type bits never change.
uint32_t barWriteMask(uint32_t value, uint32_t size) {
    if (value == 0 || size == 0) return 0;  // not implemented: reads 0 whatever is written
    uint32_t typeBits = (value & 1) ? 0x3u : 0xFu;
    return ~(size - 1) & ~typeBits;
}

}  // namespace

uint32_t defaultBarSize(uint32_t barValue) {
    return (barValue & 1) ? 16 : 4096;
}

std::array<uint32_t, 6> defaultBarSizes(const std::array<uint32_t, 6>& bars) {
    std::array<uint32_t, 6> sizes{};
    for (unsigned i = 0; i < sizes.size(); ++i) sizes[i] = defaultBarSize(bars[i]);
    return sizes;
}

Device::Device(PciAddress at, const Identity& id, const std::array<uint32_t, 6>& bars,
               const std::array<uint32_t, 6>& barSizes)
    : address_(at) {
    dwords_[cfg::kVendorId / 4] = dword(id.vendorId, id.deviceId);
    dwords_[cfg::kClassRevision / 4] = id.classRevision;
    dwords_[cfg::kHeaderType / 4] = uint32_t{id.headerType} << 16;
    dwords_[cfg::kSubsystemVendorId / 4] = dword(id.subsystemVendorId, id.subsystemId);
    dwords_[cfg::kInterruptLine / 4] =
        uint32_t{id.interruptLine} | (uint32_t{id.interruptPin} << 8);

    // Firmware left I/O and memory decoding on for anything with BARs.
    bool hasBars = false;
    for (unsigned i = 0; i < cfg::kBarCount; ++i) {
        dwords_[cfg::kBar0 / 4 + i] = bars[i];
        writable_[cfg::kBar0 / 4 + i] = barWriteMask(bars[i], barSizes[i]);
        hasBars = hasBars || bars[i] != 0;
    }
    dwords_[cfg::kCommand / 4] = hasBars ? 0x0003 : 0;

    writable_[cfg::kCommand / 4] = 0x0000FFFF;  // command; status bits are not modelled
    writable_[0x0C / 4] = 0xFF00FFFF;           // all but the header type
    writable_[cfg::kInterruptLine / 4] = 0x000000FF;
    for (unsigned i = 0x40 / 4; i < writable_.size(); ++i) writable_[i] = 0xFFFFFFFF;
}

Device::~Device() = default;

void Device::configWrite(uint8_t reg, uint32_t value) {
    unsigned i = reg >> 2;
    uint32_t old = dwords_[i];
    dwords_[i] = (old & ~writable_[i]) | (value & writable_[i]);
    if (dwords_[i] != old) configChanged(static_cast<uint8_t>(i * 4), old);
}

void Device::configChanged(uint8_t, uint32_t) {}

uint16_t Device::vendorId() const {
    return static_cast<uint16_t>(dwords_[0] & 0xFFFF);
}
uint16_t Device::deviceId() const {
    return static_cast<uint16_t>(dwords_[0] >> 16);
}
uint8_t Device::headerType() const {
    return static_cast<uint8_t>(dwords_[cfg::kHeaderType / 4] >> 16);
}
uint32_t Device::bar(unsigned index) const {
    return index < cfg::kBarCount ? dwords_[cfg::kBar0 / 4 + index] : 0;
}
uint8_t Device::interruptLine() const {
    return static_cast<uint8_t>(dwords_[cfg::kInterruptLine / 4]);
}

void Device::setMultiFunction(bool on) {
    uint32_t bit = uint32_t{cfg::kMultiFunction} << 16;
    auto& d = dwords_[cfg::kHeaderType / 4];
    d = on ? (d | bit) : (d & ~bit);
}

std::string Device::describe() const {
    return fmt::format("{} {:04x}:{:04x} class {:06x}", formatSlot(address_), vendorId(),
                       deviceId(), dwords_[cfg::kClassRevision / 4] >> 8);
}

}  // namespace simpc
