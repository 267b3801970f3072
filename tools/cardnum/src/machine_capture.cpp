// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include "machine_capture.h"

#include <eeprom/eeprom.h>
#include <eeprom/plx9050.h>
#include <hw/pci_config.h>
#include <portvex.h>

#include <algorithm>

#include "id_filter.h"
#include "port_status.h"
#include "wide_scan.h"

namespace cardnum {
namespace {

using capture::CapturedFunction;
using capture::Eeprom;

// The EEPROM as the reads showed it. A fault is told only when every read agrees with it:
// a part that answers drives the dummy bit low, and leaves DO to the pull-up while it is
// deselected.
// BAR4's size where the port layer knows it and a rack can hold it (a power of two from 4
// to 256 bytes); else the rack's default stands.
void rangeSize(CapturedFunction& card) {
    const uint32_t bar4 = card.bar(4);
    if ((bar4 & pci::kBarIoSpace) == 0) return;
    const uint32_t size = port::ioRangeSize(bar4 & pci::kBarIoBaseMask);
    if (size >= 4 && size <= 256 && (size & (size - 1)) == 0) card.bar4Size = size;
}

void readEeprom(CapturedFunction& card) {
    const uint32_t bar1 = card.bar(1);
    const auto base = static_cast<uint16_t>(bar1 & pci::kBarIoBaseMask);
    if ((bar1 & pci::kBarIoSpace) == 0 || base == 0) return;  // out of reach: NotRead
    const uint32_t cntrl = inportdw(static_cast<uint32_t>(base + slotscan::kCntrlOffset));
    card.cntrl = cntrl & ~(slotscan::kEepromDataOut | slotscan::kEepromPresent);
    if ((cntrl & slotscan::kEepromPresent) == 0) {
        card.eeprom = Eeprom::NoEeprom;
        return;
    }
    slotscan::EepromContents contents{};
    slotscan::EepromReadAll(base, &contents);
    const auto all = [&contents](uint16_t value) {
        return std::all_of(std::begin(contents.words), std::end(contents.words),
                           [value](uint16_t word) { return word == value; });
    };
    if (contents.dummyHigh && all(0xFFFF)) {
        card.eeprom = Eeprom::StuckHigh;
    } else if (contents.deselectedLow && all(0x0000)) {
        card.eeprom = Eeprom::StuckLow;
    } else {
        card.eeprom = Eeprom::Answered;
        std::copy(std::begin(contents.words), std::end(contents.words), card.words.begin());
    }
}

}  // namespace

capture::CapturedMachine captureMachine(const PCIID& filter) {
    capture::CapturedMachine machine;
    for (const FunctionHeader& read : readAllHeaders()) {
        CapturedFunction f;
        f.bus = read.bus;
        f.device = read.device;
        f.function = read.function;
        f.header = read.dwords;
        f.isCard =
            matchesFilter(filter, f.vendor(), f.deviceId(), f.subsystemId(), f.subsystemVendor());
        machine.functions.push_back(f);
    }
    for (CapturedFunction& f : machine.functions) {
        if (!f.isCard) continue;
        rangeSize(f);
        readEeprom(f);
    }
    return machine;
}

}  // namespace cardnum
