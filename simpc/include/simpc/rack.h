// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#pragma once

#include <filesystem>
#include <memory>
#include <stdexcept>

#include "simpc/export.h"
#include "simpc/machine.h"

namespace simpc {

// A rack file that cannot be used. The message starts with "file:line:column:" where the
// place is known, then says which entry and key is wrong and why.
struct SIMPC_API RackError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Builds the machine a rack file describes and attaches its EEPROM image.
// Throws RackError for a bad rack and StoreError for a bad image.
SIMPC_API std::unique_ptr<Machine> loadRack(const std::filesystem::path& rackFile);

// The image a rack uses when it does not name one: "<stem>.eeprom.json" beside it.
SIMPC_API std::filesystem::path defaultImagePath(const std::filesystem::path& rackFile);

}  // namespace simpc
