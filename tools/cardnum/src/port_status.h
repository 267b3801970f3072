// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// The port layer's status calls (portvex.h), as cardnum reaches them. On Linux cardnum
// links libportvex and calls them directly. On Windows it works with any Portvex.dll,
// also one that exports only the two port operations: the status calls are looked up in
// the loaded Portvex.dll at run time and used when it has them.
#pragma once

#include <cstdint>
#include <ostream>

namespace cardnum {
namespace port {

const char* backend();
bool ready();
const char* status();
// portvex_io_range_size: 0 where the size is not known, or the port layer cannot tell.
uint32_t ioRangeSize(uint32_t port);

}  // namespace port

// False, with the port layer's reason on `err`, when ports reach no machine.
bool havePortAccess(std::ostream& err);

// True, with the port layer's reason on `err`, when access was refused during the scan
// just made (a hardware backend may learn only at a card's first access that this user
// cannot reach it): what the scan read from cards is then not to be trusted.
bool lostPortAccess(std::ostream& err);

}  // namespace cardnum
