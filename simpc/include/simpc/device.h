// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "simpc/export.h"
#include "simpc/pci_address.h"

namespace simpc {

class Machine;

// Offsets in the type-0 configuration header.
namespace cfg {
inline constexpr uint8_t kVendorId = 0x00;
inline constexpr uint8_t kDeviceId = 0x02;
inline constexpr uint8_t kCommand = 0x04;
inline constexpr uint8_t kClassRevision = 0x08;
inline constexpr uint8_t kHeaderType = 0x0E;
inline constexpr uint8_t kBar0 = 0x10;
inline constexpr uint8_t kSubsystemVendorId = 0x2C;
inline constexpr uint8_t kSubsystemId = 0x2E;
inline constexpr uint8_t kInterruptLine = 0x3C;
inline constexpr uint8_t kInterruptPin = 0x3D;
inline constexpr uint8_t kMultiFunction = 0x80;
inline constexpr unsigned kBarCount = 6;
}  // namespace cfg

// One PCI function with its 256-byte configuration space.
class SIMPC_API Device {
  public:
    virtual ~Device();
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    PciAddress address() const { return address_; }

    // Dword at a register offset (the low two bits are ignored).
    uint32_t configRead(uint8_t reg) const { return dwords_[reg >> 2]; }
    // Stores the writable bits of the dword; identification registers stay as they are.
    void configWrite(uint8_t reg, uint32_t value);

    uint16_t vendorId() const;
    uint16_t deviceId() const;
    uint8_t headerType() const;
    uint32_t bar(unsigned index) const;
    uint8_t interruptLine() const;

    // One line for listings and messages, e.g. "00:0a.0 10b5:9050 ...".
    virtual std::string describe() const;

  protected:
    struct Identity {
        uint16_t vendorId = 0, deviceId = 0;
        uint32_t classRevision = 0;
        uint16_t subsystemVendorId = 0, subsystemId = 0;
        uint8_t headerType = 0;
        uint8_t interruptLine = 0xFF, interruptPin = 0;
    };
    // barSizes: decoded size of each implemented BAR (a BAR whose value is 0 is not implemented).
    Device(PciAddress at, const Identity& id, const std::array<uint32_t, 6>& bars,
           const std::array<uint32_t, 6>& barSizes);

    // Called after a configuration write changed the dword at `reg`.
    virtual void configChanged(uint8_t reg, uint32_t oldValue);

  private:
    friend class Machine;
    void setMultiFunction(bool on);

    PciAddress address_;
    std::array<uint32_t, 64> dwords_{};
    std::array<uint32_t, 64> writable_{};
};

// Size the machine assumes for a BAR when nothing tells it better.
SIMPC_API uint32_t defaultBarSize(uint32_t barValue);
// The same for all six BARs.
SIMPC_API std::array<uint32_t, 6> defaultBarSizes(const std::array<uint32_t, 6>& bars);

}  // namespace simpc
