// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include "simpc/generic_device.h"

namespace simpc {

GenericDevice::GenericDevice(PciAddress at, const GenericConfig& c)
    : Device(at,
             Identity{.vendorId = c.vendorId,
                      .deviceId = c.deviceId,
                      .classRevision = c.classRevision,
                      .subsystemVendorId = c.subsystemVendorId,
                      .subsystemId = c.subsystemId,
                      .headerType = c.headerType,
                      .interruptLine = c.interruptLine,
                      .interruptPin = static_cast<uint8_t>(c.interruptLine == 0xFF ? 0 : 1)},
             c.bars, defaultBarSizes(c.bars)) {}

}  // namespace simpc
