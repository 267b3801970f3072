#include "simpc/generic_device.h"

namespace simpc {

namespace {

std::array<uint32_t, 6> defaultSizes(const std::array<uint32_t, 6>& bars) {
    std::array<uint32_t, 6> sizes{};
    for (unsigned i = 0; i < sizes.size(); ++i) sizes[i] = defaultBarSize(bars[i]);
    return sizes;
}

}  // namespace

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
             c.bars, defaultSizes(c.bars)) {}

}  // namespace simpc
