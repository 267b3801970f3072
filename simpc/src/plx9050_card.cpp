// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include "simpc/plx9050_card.h"

#include <fmt/format.h>

#include "simpc/machine.h"

namespace simpc {

namespace {

constexpr unsigned kCardNumberWord = 0x38;

std::array<uint32_t, 6> cardBarSizes(const std::array<uint32_t, 6>& bars, uint32_t ioSize) {
    std::array<uint32_t, 6> sizes = defaultBarSizes(bars);
    if (bars[4] & 1) sizes[4] = ioSize;
    sizes[0] = Plx9050Card::kLocalSize;  // local registers in memory space
    sizes[1] = Plx9050Card::kLocalSize;  // and in I/O space
    return sizes;
}

}  // namespace

Plx9050Card::Plx9050Card(PciAddress at, const CardConfig& c)
    : Device(at,
             Identity{.vendorId = c.vendorId,
                      .deviceId = c.deviceId,
                      .classRevision = c.classRevision,
                      .subsystemVendorId = c.subsystemVendorId,
                      .subsystemId = c.subsystemId,
                      .headerType = 0,
                      .interruptLine = c.interruptLine,
                      .interruptPin = 1},
             c.bars, cardBarSizes(c.bars, c.ioSize)),
      ioRegisters_(std::make_unique<CardRegisters>(formatSlot(at), c.ioSize, c.registers)),
      eeprom_(c.eeprom, c.faults, c.busyReads) {
    localWrite(cntrl::kOffset, c.cntrl);
    resetOrReloadWrites_ = 0;  // the power-on value is not a driver's write
}

std::optional<uint32_t> Plx9050Card::ioBase() const {
    uint32_t bar1 = bar(1);
    if ((bar1 & 1) == 0) return std::nullopt;
    uint32_t base = bar1 & ~uint32_t{3};
    if (base >= Machine::kPortCount) return std::nullopt;
    return base;
}

std::optional<uint32_t> Plx9050Card::ioRangeBase() const {
    uint32_t bar4 = bar(4);
    if ((bar4 & 1) == 0) return std::nullopt;
    uint32_t base = bar4 & ~uint32_t{3};
    if (base >= Machine::kPortCount) return std::nullopt;
    return base;
}

uint16_t Plx9050Card::localRegBase() const {
    return static_cast<uint16_t>(ioBase().value_or(0));
}

uint32_t Plx9050Card::localRead(uint32_t offset) {
    offset &= kLocalSize - 4;
    uint32_t value = regs_[offset / 4];
    if (offset == cntrl::kOffset) {
        if (eeprom_.sampleDataOut()) value |= cntrl::kDo;
        if (eeprom_.fitted()) value |= cntrl::kPresent;
    }
    return value;
}

void Plx9050Card::localWrite(uint32_t offset, uint32_t value) {
    offset &= kLocalSize - 4;
    if (offset != cntrl::kOffset) {
        regs_[offset / 4] = value;
        return;
    }
    value &= ~(cntrl::kDo | cntrl::kPresent);
    regs_[offset / 4] = value;
    if (value & (cntrl::kReload | cntrl::kSoftReset)) ++resetOrReloadWrites_;
    eeprom_.setPins((value & cntrl::kCs) != 0, (value & cntrl::kSk) != 0,
                    (value & cntrl::kDi) != 0);
}

void Plx9050Card::configChanged(uint8_t reg, uint32_t) {
    if (machine_ == nullptr) return;
    if (reg == cfg::kBar0 + 4) machine_->localBaseChanged(*this);
    if (reg == cfg::kBar0 + 16) machine_->ioRangeChanged(*this);
}

std::string Plx9050Card::describe() const {
    std::string local = ioBase() ? fmt::format("local registers at {:#06x}", *ioBase())
                                 : std::string("no local registers in I/O space");
    std::string rom = eeprom_.fitted()
                          ? fmt::format("EEPROM word 0x38 = {:#06x}", eeprom_.word(kCardNumberWord))
                          : std::string("no EEPROM");
    return fmt::format("{} 9050 card, {}, {}", Device::describe(), local, rom);
}

}  // namespace simpc
