// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#pragma once

#include <array>
#include <cstdint>

#include "simpc/device.h"
#include "simpc/export.h"

namespace simpc {

struct GenericConfig {
    uint16_t vendorId = 0xFFFF, deviceId = 0xFFFF;
    uint32_t classRevision = 0;  // class code in bits 31-8, revision in 7-0
    uint16_t subsystemVendorId = 0, subsystemId = 0;
    std::array<uint32_t, 6> bars{};  // raw BAR values; 0 = not implemented
    uint8_t interruptLine = 0xFF;
    uint8_t headerType = 0;  // bit 7 is set by the machine when the device has several functions
};

// Any PCI function that only has to show up in configuration space.
class SIMPC_API GenericDevice final : public Device {
  public:
    GenericDevice(PciAddress at, const GenericConfig& cfg);
};

}  // namespace simpc
