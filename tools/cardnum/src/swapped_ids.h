// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// IDs given in the other order: lspci writes vendor first, the library's record device
// first, and IDs copied from one into the other find nothing, silently.
#pragma once

#include <ostream>

#include "commands.h"

namespace cardnum {

// When the IDs given with --pci or --id match no card the library finds, but match some
// with vendor and device (and the subsystem's two words) exchanged, warns on `err` and
// names the IDs to give. Scans again: for commands that found nothing.
void warnIfSwapped(const CommonOptions& options, std::ostream& err);

}  // namespace cardnum
