// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#pragma once

// The limits the simulated PC puts on what it reads and on how long it waits. Each is
// documented in simpc/README.md.

#include <chrono>
#include <cstdint>

namespace simpc {

// Rack files and EEPROM images larger than this are refused unread. A full rack of cards is
// a few kilobytes; this leaves room for any real one and keeps a wrong path (/dev/zero, a
// huge log) from eating memory.
inline constexpr std::uintmax_t kMaxFileBytes = std::uintmax_t{4} << 20;

// Tables, dotted keys and arrays in a rack file may nest this deep, counted along one path
// ([a.b] is 2 levels, x = [[1]] is 3). Deeper input is refused before the TOML parser, whose
// recursion would otherwise run out of stack.
inline constexpr unsigned kMaxRackNesting = 64;

// How long a process waits for the EEPROM image's lock while another process holds it. A save
// takes milliseconds; a holder that keeps it this long is stopped or stuck.
inline constexpr std::chrono::milliseconds kLockWait{5000};

}  // namespace simpc
