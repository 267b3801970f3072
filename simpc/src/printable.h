// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#pragma once

#include <fmt/format.h>

#include <string>
#include <string_view>

namespace simpc {

// A message quoting text from a file, with each control character written as \xNN: a NUL
// would otherwise end the message where a C string is taken of it, and others garble it.
inline std::string printable(std::string_view text) {
    std::string shown;
    shown.reserve(text.size());
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            shown += fmt::format("\\x{:02x}", byte);
        } else {
            shown += c;
        }
    }
    return shown;
}

}  // namespace simpc
