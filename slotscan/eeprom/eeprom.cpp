// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include "eeprom.h"

#include "portio/portio.h"

namespace slotscan {
namespace {

struct CommandShape {
    unsigned shift;
    uint8_t count;
};

// Command width for an EEPROM type code; count 0 means "not a type we drive".
CommandShape ShapeFor(int type) {
    if (type == 0) return {0, 9};
    if (type == 1 || type == 2) return {2, 11};
    return {0, 0};
}

constexpr uint32_t kRead = 0x180;
constexpr uint32_t kEwen = 0x130;
constexpr uint32_t kWrite = 0x140;
constexpr uint32_t kEwds = 0x100;

uint16_t Cntrl(uint16_t base) {
    return static_cast<uint16_t>(base + kCntrlOffset);
}

// DO as one CNTRL read shows it.
bool DataOut(uint32_t cntrl) {
    return (cntrl & kEepromDataOut) != 0;
}

// EepromSendBits, returning CNTRL as it read before the lines were lowered.
uint32_t SendBits(uint16_t base, uint32_t command, uint8_t count) {
    const uint16_t reg = Cntrl(base);
    const uint32_t before = PortRead(reg);
    uint32_t v = before & kEepromLinesLow;
    PortWrite(reg, v);
    v |= kEepromChipSelect;
    PortWrite(reg, v);
    for (int i = count - 1; i >= 0; --i) {
        const bool bit = ((command >> i) & 1U) != 0;
        PortWrite(reg, bit ? v | kEepromDataIn : v);
        EepromClock(base);
    }
    return before;
}

// DO before the command and in place of the dummy bit, as one READ showed them.
struct ReadLevels {
    bool deselected = true;
    bool dummy = false;
};

void ReadWord(uint16_t base, int type, uint16_t byteAddress, uint16_t* word, ReadLevels* levels) {
    const CommandShape shape = ShapeFor(type);
    if (shape.count == 0) {
        *word = 0xFFFF;
        return;
    }
    const uint16_t reg = Cntrl(base);
    const uint32_t wordAddress = static_cast<uint32_t>(byteAddress) >> 1;
    const uint32_t before = SendBits(base, (kRead << shape.shift) | wordAddress, shape.count);
    const uint32_t dummy = PortRead(reg);
    PortWrite(reg, dummy | kEepromDataIn);
    Pause(kWordFetchWait);
    uint16_t value = 0;
    uint32_t v = 0;
    for (int i = 0; i < 16; ++i) {
        EepromClock(base);
        v = PortRead(reg);
        const unsigned bit = DataOut(v) ? 1U : 0U;
        value = static_cast<uint16_t>((static_cast<unsigned>(value) << 1) | bit);
    }
    *word = value;
    PortWrite(reg, v & kEepromLinesLow);
    if (levels != nullptr) *levels = ReadLevels{DataOut(before), DataOut(dummy)};
}

}  // namespace

void EepromClock(uint16_t base) {
    const uint16_t reg = Cntrl(base);
    const uint32_t r = PortRead(reg);
    PortWrite(reg, r | kEepromClock);
    PortWrite(reg, r & kEepromClockLow);
}

void EepromSendBits(uint16_t base, uint32_t command, uint8_t count) {
    SendBits(base, command, count);
}

void EepromReadWord(uint16_t base, int type, uint16_t byteAddress, uint16_t* word) {
    ReadWord(base, type, byteAddress, word, nullptr);
}

void EepromReadAll(uint16_t base, EepromContents* contents) {
    contents->deselectedLow = true;
    contents->dummyHigh = true;
    for (unsigned i = 0; i < kEepromWords; ++i) {
        ReadLevels levels;
        ReadWord(base, 0, static_cast<uint16_t>(2 * i), &contents->words[i], &levels);
        contents->deselectedLow = contents->deselectedLow && !levels.deselected;
        contents->dummyHigh = contents->dummyHigh && levels.dummy;
    }
}

void EepromWriteWord(uint16_t base, int type, uint16_t byteAddress, uint32_t value) {
    const CommandShape shape = ShapeFor(type);
    if (shape.count == 0) return;
    const uint16_t reg = Cntrl(base);
    const uint32_t wordAddress = static_cast<uint32_t>(byteAddress) >> 1;

    EepromSendBits(base, kEwen << shape.shift, shape.count);
    EepromSendBits(base, (kWrite << shape.shift) | wordAddress, shape.count);

    const uint32_t v = (PortRead(reg) & kEepromKeepChipSelect) | kEepromChipSelect;
    for (int i = 15; i >= 0; --i) {
        const bool bit = ((value >> i) & 1U) != 0;
        PortWrite(reg, bit ? v | kEepromDataIn : v);
        EepromClock(base);
    }
    PortWrite(reg, v & kEepromChipSelectLow);  // CS low starts the programming cycle
    PortWrite(reg, v);                         // CS high again shows busy/ready on DO

    uint32_t w = 0;
    for (int poll = 0; poll < kEepromReadyPolls; ++poll) {
        w = PortRead(reg);
        if ((w & kEepromDataOut) != 0) break;
    }

    EepromSendBits(base, kEwds << shape.shift, shape.count);
    PortWrite(reg, w & kEepromLinesLow);
    Pause(kProgrammingWait);
}

}  // namespace slotscan
