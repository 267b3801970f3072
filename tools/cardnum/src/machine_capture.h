// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// A capture of the machine the port layer reaches, for a rack file that replays it.
#pragma once

#include <slotscan.h>

#include "captured_machine.h"

namespace cardnum {

// Every function that answers on buses 0-255 with its 64-byte header, read through
// configuration mechanism #1 and never written; and for each card (a function matching
// `filter`) whose local registers lie in I/O space, CNTRL and all 64 words of its EEPROM,
// read with the library's own READ protocol and waits, and BAR4's size where the port
// layer knows it. The only port writes are the configuration addresses and the EEPROM
// protocol's.
capture::CapturedMachine captureMachine(const PCIID& filter);

}  // namespace cardnum
