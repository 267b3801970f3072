// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// The library's only ways to the hardware: 32-bit port reads and writes through the port
// layer, and pauses taken from the operating system.
#pragma once

#include <portvex.h>

#include <chrono>
#include <cstdint>

namespace slotscan {

inline uint32_t PortRead(uint16_t port) {
    return inportdw(port);
}
inline void PortWrite(uint16_t port, uint32_t value) {
    outportdw(port, value);
}

// Sleeps the calling thread for at least `duration`.
void Pause(std::chrono::microseconds duration);

}  // namespace slotscan
