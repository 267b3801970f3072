// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// Every register the library touches, under the library's namespace, for tools built on
// its core: PCI configuration (hw/pci_config.h, below the library) and the 9050 bridge
// (eeprom/plx9050.h). It holds no fact of its own.
#pragma once

#include <hw/pci_config.h>

#include "eeprom/plx9050.h"

namespace slotscan {
using namespace pci;  // NOLINT(google-build-using-namespace)
}  // namespace slotscan
