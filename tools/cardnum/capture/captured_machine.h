// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// A machine as a capture holds it, and the rack file and EEPROM image that replay it on the
// simulated PC (PORTVEX=sim:RACK.toml). No port access and no command line here: the
// capture through the port layer, the lspci dump reader and tests all fill the same value.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cardnum::capture {

inline constexpr unsigned kHeaderDwords = 16;  // the 64-byte header
inline constexpr unsigned kEepromWords = 64;

// What a capture learnt of a card's EEPROM.
enum class Eeprom {
    NotRead,    // out of reach (BAR1 not an I/O range, or a bus dump): the rack's default
    Answered,   // every word, as the part gave it
    NoEeprom,   // CNTRL says none is fitted
    StuckLow,   // DO low whatever the part is asked, even deselected
    StuckHigh,  // DO high whatever the part is asked: no part drives it
};

// One PCI function: where it answers and the first 64 bytes of its configuration space.
struct CapturedFunction {
    uint8_t bus = 0;
    uint8_t device = 0;
    uint8_t function = 0;
    std::array<uint32_t, kHeaderDwords> header{};

    // Set for a card on the bridge (it matches the IDs sought); the rest only then.
    bool isCard = false;
    Eeprom eeprom = Eeprom::NotRead;
    std::array<uint16_t, kEepromWords> words{};  // when Answered
    std::optional<uint32_t> cntrl;               // CNTRL before the capture touched it
    std::optional<uint32_t> bar4Size;            // bytes of BAR4's I/O range, when known

    uint16_t vendor() const { return static_cast<uint16_t>(header[0]); }
    uint16_t deviceId() const { return static_cast<uint16_t>(header[0] >> 16); }
    uint16_t subsystemVendor() const { return static_cast<uint16_t>(header[11]); }
    uint16_t subsystemId() const { return static_cast<uint16_t>(header[11] >> 16); }
    uint32_t bar(unsigned index) const { return header[4 + index]; }
    bool multiFunction() const { return (header[3] & 0x00800000U) != 0; }
};

// "05:00.1", as lspci and rack files write a slot.
std::string slotText(const CapturedFunction& function);

struct CapturedMachine {
    std::string description;                  // what the rack's description says
    std::vector<CapturedFunction> functions;  // in bus, device, function order
    std::vector<std::string> notes;           // lines for the rack's opening comment
};

// The rack file. With an image name the cards' words are left to that image, which
// imageText() writes; without one they are written into the rack itself.
std::string rackText(const CapturedMachine& machine, const std::string& imageName = {});

// Why the simulated PC could not replay the machine, if it could not: two cards whose local
// registers (BAR1, 128 bytes of I/O space) share ports, or cover the configuration ports
// 0xCF8-0xCFF. Firmware that left BARs unplaced, or an edited dump, gives such a machine.
std::optional<std::string> replayClash(const CapturedMachine& machine);

// The EEPROM image: { "bb:dd.f": [64 words], ... } for each card whose EEPROM answered.
std::string imageText(const CapturedMachine& machine);

// How many cards the capture holds, and how many of their EEPROMs it read whole.
struct CaptureCounts {
    std::size_t functions = 0;
    std::size_t cards = 0;
    std::size_t eepromsRead = 0;
};
CaptureCounts countsOf(const CapturedMachine& machine);

}  // namespace cardnum::capture
