// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// The processor's port instructions and the per-thread permission that guards them, as
// the ioperm backend uses them; its tests put stand-ins in their place.
#pragma once

#include <cstdint>
#include <memory>

namespace portvex {

class PortInstructions {
  public:
    PortInstructions() = default;
    PortInstructions(const PortInstructions&) = delete;
    PortInstructions& operator=(const PortInstructions&) = delete;
    virtual ~PortInstructions() = default;

    // Grants the calling thread ports [from, from + count); 0 or the errno of the refusal.
    virtual int grant(uint32_t from, uint32_t count) = 0;
    virtual uint32_t in(uint16_t port) = 0;
    virtual void out(uint16_t port, uint32_t value) = 0;
};

// ioperm() and the 32-bit in/out instructions (ENOSYS on processors without them).
std::unique_ptr<PortInstructions> makeProcessorPortInstructions();

}  // namespace portvex
