// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include "machines.h"

namespace testing_support {

simpc::CardConfig card(int16_t cardNo, uint16_t localBase, uint16_t ioBase, uint8_t irq) {
    simpc::CardConfig config;
    config.bars = {0xFEBF0000U, localBase | 1U, 0, 0, ioBase | 1U, 0};
    config.interruptLine = irq;
    config.eeprom.fill(0xFFFF);
    config.eeprom[0x38] = static_cast<uint16_t>(cardNo);
    return config;
}

void addOrdinaryDevices(simpc::Machine& machine, unsigned count, uint8_t bus) {
    for (unsigned i = 0; i < count; ++i) {
        simpc::GenericConfig config;
        config.vendorId = 0x8086;
        config.deviceId = static_cast<uint16_t>(0x7000 + i);
        config.classRevision = 0x06000000;
        // Some of them have I/O BARs at BAR1 and BAR4 too: only the IDs keep them out.
        config.bars = {0xE0000000U, 0xC001U + 0x40U * i, 0, 0, 0xD001U + 0x40U * i, 0};
        machine.addGeneric({bus, static_cast<uint8_t>(i), 0}, config);
    }
}

simpc::Plx9050Card& MachineTest::addCard(unsigned n, int16_t cardNo) {
    return machine->addCard(
        {1, static_cast<uint8_t>(2 * n + 1), 0},
        card(cardNo, static_cast<uint16_t>(0xE000 + 0x80 * n),
             static_cast<uint16_t>(0x300 + 0x20 * n), static_cast<uint8_t>(5 + n)));
}

}  // namespace testing_support
