// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// The files a rack target's input becomes: the text up to the first NUL as rack.toml in the
// scratch folder, and the rest, after a NUL, as the EEPROM image beside it (without a NUL,
// the rack has no image yet). The seeds keep a rack's text first, so that they stay readable.
#pragma once

#include <simpc/rack.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>
#include <utility>

#include "support.h"

namespace fuzz {

struct RackInput {
    std::filesystem::path rack, image;
    std::string_view rackText;
    std::optional<std::string_view> imageText;
};

inline std::pair<std::string_view, std::optional<std::string_view>> splitAtNul(const uint8_t* data,
                                                                               size_t size) {
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    const size_t nul = all.find('\0');
    if (nul == std::string_view::npos) return {all, std::nullopt};
    return {all.substr(0, nul), all.substr(nul + 1)};
}

inline RackInput placeRack(const uint8_t* data, size_t size) {
    const auto [rackText, imageText] = splitAtNul(data, size);
    RackInput in{scratch() / "rack.toml", {}, rackText, imageText};
    in.image = simpc::defaultImagePath(in.rack);
    writeFile(in.rack, rackText);
    if (imageText) {
        writeFile(in.image, *imageText);
    } else {
        removeFile(in.image);
    }
    return in;
}

}  // namespace fuzz
