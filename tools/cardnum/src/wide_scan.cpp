// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include "wide_scan.h"

#include <fmt/format.h>
#include <portio/registers.h>
#include <portvex.h>

namespace cardnum {
namespace {

using namespace slotscan;  // the register layout

uint32_t readConfig(uint32_t address, uint32_t offset) {
    outportdw(kConfigAddressPort, address | ConfigOffset(offset));
    return inportdw(kConfigDataPort);
}

uint16_t low(uint32_t dword) {
    return static_cast<uint16_t>(dword & 0xFFFF);
}
uint16_t high(uint32_t dword) {
    return static_cast<uint16_t>(dword >> 16);
}

// Calls visit(address, first dword) for every function that answers, in bus, device,
// function order; visit returns the header type dword, whose bit 7 says whether functions
// 1-7 of the slot are there to probe.
template <typename Visit>
void walkFunctions(Visit visit) {
    for (uint32_t bus = 0; bus < kBuses; ++bus) {
        for (uint32_t device = 0; device < kDevicesPerBus; ++device) {
            for (uint32_t function = 0; function < kFunctionsPerDevice; ++function) {
                const uint32_t address = ConfigAddress(bus, device, function);
                const uint32_t ids = readConfig(address, kVendorIdOffset);
                if (low(ids) == kNoDevice) continue;  // no function 0: still try the others
                const uint32_t headerDword = visit(address, ids);
                if (function == 0 && (headerDword & kMultiFunction) == 0) break;
            }
        }
    }
}

}  // namespace

std::string slotOf(const PciFunction& function) {
    return fmt::format("{:02x}:{:02x}.{}", function.bus, function.device, function.function);
}

std::vector<PciFunction> scanAllFunctions() {
    std::vector<PciFunction> found;
    walkFunctions([&found](uint32_t address, uint32_t ids) {
        const uint32_t headerDword = readConfig(address, kHeaderTypeDword);
        const uint32_t subsystem = readConfig(address, kSubsystemVendorIdOffset);
        found.push_back(PciFunction{
            static_cast<uint8_t>(ConfigBus(address)), static_cast<uint8_t>(ConfigDevice(address)),
            static_cast<uint8_t>(ConfigFunction(address)), low(ids), high(ids), high(subsystem),
            low(subsystem), readConfig(address, kBar1Offset), readConfig(address, kBar4Offset),
            static_cast<uint8_t>(readConfig(address, kInterruptLineOffset) & 0xFF)});
        return headerDword;
    });
    return found;
}

std::vector<FunctionHeader> readAllHeaders() {
    std::vector<FunctionHeader> found;
    walkFunctions([&found](uint32_t address, uint32_t ids) {
        FunctionHeader f;
        f.bus = static_cast<uint8_t>(ConfigBus(address));
        f.device = static_cast<uint8_t>(ConfigDevice(address));
        f.function = static_cast<uint8_t>(ConfigFunction(address));
        f.dwords[0] = ids;
        for (uint32_t offset = 4; offset < kHeaderBytes; offset += 4)
            f.dwords[offset / 4] = readConfig(address, offset);
        found.push_back(f);
        return f.dwords[kHeaderTypeDword / 4];
    });
    return found;
}

bool eepromPresent(uint16_t localRegBase) {
    const auto port = static_cast<uint32_t>(static_cast<uint16_t>(localRegBase + kCntrlOffset));
    return (inportdw(port) & kEepromPresent) != 0;
}

}  // namespace cardnum
