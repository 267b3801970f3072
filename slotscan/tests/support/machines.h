// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// Simulated machines built in code for the library tests, and a fixture that routes the
// process's port accesses to them.
#pragma once

#include <gtest/gtest.h>
#include <portvex/testing.h>
#include <simpc/machine.h>

#include <memory>

#include "pause_counter.h"

namespace testing_support {

// A 9050 card: local registers at `localBase` (I/O), own registers at `ioBase` (I/O).
simpc::CardConfig card(int16_t cardNo, uint16_t localBase, uint16_t ioBase, uint8_t irq);

// Fills bus 0 with `count` ordinary devices (devices 0.. upwards), a typical PC's
// bridges, controllers and adapters.
void addOrdinaryDevices(simpc::Machine& machine, unsigned count, uint8_t bus = 0);

class MachineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        machine = std::make_unique<simpc::Machine>();
        portvex::useMachine(machine.get());
        resetPauseCount();
    }
    void TearDown() override { portvex::useMachine(nullptr); }

    // Card `n` (0-based) at bus 1, device 2n+1, local registers 0xE000 + 0x80n,
    // own registers 0x300 + 0x20n, IRQ 5 + n, numbered `cardNo`.
    simpc::Plx9050Card& addCard(unsigned n, int16_t cardNo);

    uint64_t accesses() const { return machine->counters().total(); }
    void resetCounts() {
        machine->resetCounters();
        resetPauseCount();
    }

    std::unique_ptr<simpc::Machine> machine;
};

}  // namespace testing_support
