// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#pragma once

#include <cstdint>

#include "simpc/io_handler.h"
#include "simpc/machine.h"

namespace simpc {

// Configuration mechanism #1: an address register at 0xCF8 and a data window at 0xCFC.
class HostBridge final : public IoHandler {
  public:
    static constexpr uint32_t kEnable = 0x80000000;
    static constexpr uint32_t kFirstPort = Machine::kConfigAddress;
    static constexpr uint32_t kLastPort = Machine::kConfigData + 3;

    explicit HostBridge(Machine& machine) : machine_(machine) {}

    uint32_t ioRead(uint32_t port) override {
        if (port == Machine::kConfigAddress) return address_;
        const Device* d = target();
        return d != nullptr ? d->configRead(static_cast<uint8_t>(address_ & 0xFC)) : 0xFFFFFFFF;
    }

    void ioWrite(uint32_t port, uint32_t value) override {
        if (port == Machine::kConfigAddress) {
            // Enabled access to register 0 of 00:00.0 after pointing anywhere else: a scanner
            // starting over. Cheap enough to check for an image another process changed.
            if ((value & (kEnable | 0x00FFFFFC)) == kEnable &&
                (address_ & (kEnable | 0x00FFFF00)) != kEnable) {
                machine_.configScanStarted();
            }
            address_ = value;
            return;
        }
        if (Device* d = target()) d->configWrite(static_cast<uint8_t>(address_ & 0xFC), value);
    }

  private:
    Device* target() const {
        if ((address_ & kEnable) == 0) return nullptr;
        return machine_.configTarget((address_ >> 8) & 0xFFFF);
    }

    Machine& machine_;
    uint32_t address_ = 0;
};

}  // namespace simpc
