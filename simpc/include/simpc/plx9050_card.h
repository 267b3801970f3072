// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "simpc/card_registers.h"
#include "simpc/device.h"
#include "simpc/eeprom93c46.h"
#include "simpc/export.h"
#include "simpc/io_handler.h"

namespace simpc {

// CNTRL bits the card cares about.
namespace cntrl {
inline constexpr uint32_t kOffset = 0x50;
inline constexpr uint32_t kSk = 1u << 24;
inline constexpr uint32_t kCs = 1u << 25;
inline constexpr uint32_t kDi = 1u << 26;
inline constexpr uint32_t kDo = 1u << 27;
inline constexpr uint32_t kPresent = 1u << 28;
inline constexpr uint32_t kReload = 1u << 29;
inline constexpr uint32_t kSoftReset = 1u << 30;
// PCI 2.1 features on, retry delay 15, everything else as the bridge resets.
inline constexpr uint32_t kDefault = 0x00784000;
}  // namespace cntrl

struct CardConfig {
    uint16_t vendorId = 0x10B5, deviceId = 0x9050, subsystemVendorId = 0, subsystemId = 0;
    std::array<uint32_t, 6> bars{};  // raw BAR0..BAR5 (bit 0 set = I/O)
    uint8_t interruptLine = 0xFF;
    uint32_t cntrl = cntrl::kDefault;  // bits 27 and 28 are computed on read
    EepromWords eeprom = kBlankEeprom;
    unsigned busyReads = 4;  // CNTRL reads that show busy once the status is displayed
    EepromFaults faults{};
    uint32_t classRevision = 0x06800001;  // "other bridge", revision 1
    // The card's own I/O range (BAR4, the base programs are given): its size in bytes, a
    // power of two from 4 to 256, and its registers. A card without registers decodes
    // nothing there.
    uint32_t ioSize = 16;
    std::vector<RegisterConfig> registers;
};

// An add-in card built on the 9050 bridge: local registers in I/O space through BAR1,
// and a 93C46 on the CNTRL pins.
class SIMPC_API Plx9050Card final : public Device, public IoHandler {
  public:
    static constexpr uint32_t kLocalSize = 128;

    Plx9050Card(PciAddress at, const CardConfig& cfg);

    Eeprom93C46& eeprom() { return eeprom_; }
    const Eeprom93C46& eeprom() const { return eeprom_; }

    uint32_t cntrl() const { return regs_[cntrl::kOffset / 4]; }
    unsigned resetOrReloadWrites() const { return resetOrReloadWrites_; }
    // BAR1 & 0xFFFC, or 0 when BAR1 is a memory BAR or lies beyond the 64K port space.
    uint16_t localRegBase() const;

    // Local register access by offset, as through BAR1 (offset & 0x7C).
    uint32_t localRead(uint32_t offset);
    void localWrite(uint32_t offset, uint32_t value);

    // The registers of the card's own I/O range (BAR4).
    CardRegisters& ioRegisters() { return *ioRegisters_; }
    // BAR4 & 0xFFFC, if BAR4 is an I/O BAR inside the 64K port space.
    std::optional<uint32_t> ioRangeBase() const;

    uint32_t ioRead(uint32_t port) override { return localRead(port - decodedBase_); }
    void ioWrite(uint32_t port, uint32_t value) override { localWrite(port - decodedBase_, value); }

    std::string describe() const override;

  private:
    friend class Machine;
    void configChanged(uint8_t reg, uint32_t oldValue) override;

    // Base of the local registers in I/O space, if BAR1 places them there.
    std::optional<uint32_t> ioBase() const;

    Machine* machine_ = nullptr;
    uint32_t decodedBase_ = 0;  // where the machine currently routes the ports
    bool decoding_ = false;
    std::unique_ptr<CardRegisters> ioRegisters_;
    uint32_t ioDecodedBase_ = 0;  // where the machine routes the I/O range, while ioDecoding_
    bool ioDecoding_ = false;
    std::array<uint32_t, kLocalSize / 4> regs_{};
    Eeprom93C46 eeprom_;
    unsigned resetOrReloadWrites_ = 0;
};

}  // namespace simpc
