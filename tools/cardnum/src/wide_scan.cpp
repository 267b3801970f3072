#include "wide_scan.h"

#include <fmt/format.h>
#include <portvex.h>

namespace cardnum {
namespace {

constexpr uint32_t kConfigAddressPort = 0xCF8;
constexpr uint32_t kConfigDataPort = 0xCFC;
constexpr uint32_t kBuses = 256;
constexpr uint32_t kDevices = 32;
constexpr uint32_t kFunctions = 8;
constexpr uint32_t kMultiFunction = 0x00800000;  // header type bit 7, in the dword at 0x0C
constexpr uint16_t kCntrlOffset = 0x50;
constexpr uint32_t kEepromPresent = 0x10000000;  // CNTRL bit 28, read only

uint32_t readConfig(uint32_t address, uint32_t offset) {
    outportdw(kConfigAddressPort, address | (offset & 0xFC));
    return inportdw(kConfigDataPort);
}

uint16_t low(uint32_t dword) {
    return static_cast<uint16_t>(dword & 0xFFFF);
}
uint16_t high(uint32_t dword) {
    return static_cast<uint16_t>(dword >> 16);
}

}  // namespace

std::string slotOf(const PciFunction& function) {
    return fmt::format("{:02x}:{:02x}.{}", function.bus, function.device, function.function);
}

std::vector<PciFunction> scanAllFunctions() {
    std::vector<PciFunction> found;
    for (uint32_t bus = 0; bus < kBuses; ++bus) {
        for (uint32_t device = 0; device < kDevices; ++device) {
            for (uint32_t function = 0; function < kFunctions; ++function) {
                const uint32_t address = 0x80000000U | bus << 16 | device << 11 | function << 8;
                const uint32_t ids = readConfig(address, 0x00);
                if (low(ids) == 0xFFFF) continue;  // no function 0: still try the others

                const uint32_t headerDword = readConfig(address, 0x0C);
                const uint32_t subsystem = readConfig(address, 0x2C);
                found.push_back(PciFunction{
                    static_cast<uint8_t>(bus), static_cast<uint8_t>(device),
                    static_cast<uint8_t>(function), low(ids), high(ids), high(subsystem),
                    low(subsystem), readConfig(address, 0x14), readConfig(address, 0x20),
                    static_cast<uint8_t>(readConfig(address, 0x3C) & 0xFF)});
                if (function == 0 && (headerDword & kMultiFunction) == 0) break;
            }
        }
    }
    return found;
}

bool eepromPresent(uint16_t localRegBase) {
    const auto port = static_cast<uint32_t>(static_cast<uint16_t>(localRegBase + kCntrlOffset));
    return (inportdw(port) & kEepromPresent) != 0;
}

}  // namespace cardnum
