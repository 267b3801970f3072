// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// The rack file reader, register declarations included, with the EEPROM image the rack
// uses. Input: the rack's text, then optionally a NUL and the image's text (without one,
// the rack has no image yet).
//
// Properties: loading gives a machine or throws RackError or StoreError, nothing else; a
// rack that is refused leaves its image (and itself) byte for byte as it was; a machine
// that loads answers every configuration read.
#include <simpc/rack.h>

#include <cstdint>

#include "rack_input.h"
#include "support.h"

namespace {

using simpc::Machine;

uint32_t readConfig(Machine& machine, uint32_t bus, uint32_t slot, uint32_t offset) {
    machine.out(Machine::kConfigAddress, 0x80000000U | bus << 16 | slot << 8 | offset);
    return machine.in(Machine::kConfigData);
}

// The whole configuration space of every function on the buses a rack can name, then every
// dword of each I/O range the BARs decode.
void readEverything(Machine& machine) {
    for (uint32_t bus = 0; bus < 4; ++bus) {
        for (uint32_t slot = 0; slot < 256; ++slot) {
            if (readConfig(machine, bus, slot, 0) == 0xFFFFFFFF) continue;
            for (uint32_t offset = 4; offset < 256; offset += 4) {
                (void)readConfig(machine, bus, slot, offset);
            }
            for (uint32_t bar = 0; bar < 6; ++bar) {
                const uint32_t value = readConfig(machine, bus, slot, 0x10 + 4 * bar);
                if ((value & 1) == 0) continue;
                // A card's own registers (BAR4) are written too, with their behaviours;
                // the bridge's (BAR1) only read, as its EEPROM is written through them.
                const uint32_t base = value & 0xFFFC;
                for (uint32_t port = base; port < base + 256 && port < 0xFFFC; port += 4) {
                    if (bar == 4) machine.out(port, 0xA5A5A5A5);
                    (void)machine.in(port);
                }
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fuzz::RackInput in = fuzz::placeRack(data, size);

    bool refused = false;
    std::unique_ptr<simpc::Machine> machine;
    try {
        machine = simpc::loadRack(in.rack);
    } catch (const simpc::RackError&) {
        refused = true;
    } catch (const simpc::StoreError&) {
        refused = true;
    }
    if (refused) {
        const auto imageAfter = fuzz::readFile(in.image);
        fuzz::require(imageAfter.has_value() == in.imageText.has_value() &&
                          (!in.imageText || *imageAfter == *in.imageText),
                      "a refused rack changed its EEPROM image");
        fuzz::require(fuzz::readFile(in.rack) == std::string(in.rackText),
                      "a refused rack changed its own file");
        return 0;
    }
    fuzz::require(machine != nullptr, "loadRack gave no machine and threw nothing");
    readEverything(*machine);
    return 0;
}
