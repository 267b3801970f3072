// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// Reading the bus dump lspci writes with -x, -xxx or -xxxx (also with -v, -n or -D): for
// each function a line that starts with its slot, then its configuration space in lines
// of sixteen hexadecimal bytes, then a blank line.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "captured_machine.h"

namespace cardnum::capture {

struct LspciDump {
    std::vector<CapturedFunction> functions;  // headers only, in the dump's order
    // Functions outside PCI domain 0000, which configuration mechanism #1 cannot reach
    // and a rack cannot hold: their slots with the domain ("0001:00:02.0").
    std::vector<std::string> leftOut;
};

// Where a dump stops making sense: the line (from 1) and what was expected there.
struct DumpError {
    std::size_t line = 0;
    std::string message;
};

// Reads a whole dump. Every function must carry at least the 64 bytes of its header, in
// lines at offsets 00, 10, 20 and on; a slot may appear once. Anything else is a DumpError
// naming the first line that is wrong. Takes time in proportion to the text.
std::variant<LspciDump, DumpError> readLspciDump(std::string_view text);

}  // namespace cardnum::capture
