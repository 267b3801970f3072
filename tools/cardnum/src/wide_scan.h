// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// cardnum's own scan, wider than the library's: every bus, every function. It only reads
// (configuration addresses written to 0xCF8, data read from 0xCFC), and it is used to
// explain why a card is not found, never to find one.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace cardnum {

struct PciFunction {
    uint8_t bus = 0;
    uint8_t device = 0;
    uint8_t function = 0;
    uint16_t vendor = 0;
    uint16_t deviceId = 0;
    uint16_t subsystemId = 0;
    uint16_t subsystemVendor = 0;
    uint32_t bar1 = 0;
    uint32_t bar4 = 0;
    uint8_t irq = 0;

    bool bar1InIo() const { return (bar1 & 1U) != 0; }
    bool bar4InIo() const { return (bar4 & 1U) != 0; }
};

// "05:00.1"
std::string slotOf(const PciFunction& function);

// Every function that answers on buses 0-255. Functions 1-7 of a slot are probed when its
// function 0 reports several functions (header type bit 7), or does not answer at all.
std::vector<PciFunction> scanAllFunctions();

// One function's first 64 bytes of configuration space, as dwords.
struct FunctionHeader {
    uint8_t bus = 0;
    uint8_t device = 0;
    uint8_t function = 0;
    std::array<uint32_t, 16> dwords{};
};

// The same walk as scanAllFunctions, reading each function's whole 64-byte header, one
// dword at a time and nothing else.
std::vector<FunctionHeader> readAllHeaders();

// The EEPROM-present bit (28) of the 9050's CNTRL register at localRegBase + 0x50.
bool eepromPresent(uint16_t localRegBase);

}  // namespace cardnum
