// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include "simpc/eeprom_store.h"

#include <files/atomic_file.h>
#include <fmt/format.h>

#include <nlohmann/json.hpp>

#include "image_file.h"
#include "printable.h"
#include "simpc/limits.h"
#include "simpc/pci_address.h"

namespace simpc {

namespace fs = std::filesystem;

using image_file::Lock;
using image_file::ReadResult;

EepromStore::EepromStore(fs::path imageFile) : image_(std::move(imageFile)) {}

fs::path EepromStore::lockPath() const {
    fs::path p = image_;
    p += ".lock";
    return p;
}

bool EepromStore::fail(std::string message) {
    lastError_ = std::move(message);
    return false;
}

EepromStore::Image EepromStore::parse(const std::string& text, const std::string& source) {
    auto corrupt = [&](const std::string& why) {
        return StoreError(printable(fmt::format("EEPROM image {} is corrupt: {}", source, why)));
    };
    nlohmann::json doc;
    try {
        doc = nlohmann::json::parse(text);
    } catch (const nlohmann::json::exception& e) {
        throw corrupt(e.what());
    }
    if (!doc.is_object()) throw corrupt("expected an object mapping slots to word lists");

    Image image;
    for (const auto& [key, value] : doc.items()) {
        PciAddress at;
        try {
            at = parseSlot(key);
        } catch (const std::invalid_argument& e) {
            throw corrupt(e.what());
        }
        if (!value.is_array() || value.size() != kEepromWords) {
            throw corrupt(fmt::format("'{}' must be a list of {} words", key, kEepromWords));
        }
        EepromWords words{};
        for (unsigned i = 0; i < kEepromWords; ++i) {
            const auto& w = value[i];
            if (!w.is_number_unsigned() || w.get<uint64_t>() > 0xFFFF) {
                throw corrupt(fmt::format("'{}' word {} is not a number 0-65535", key, i));
            }
            words[i] = static_cast<uint16_t>(w.get<uint64_t>());
        }
        if (!image.emplace(formatSlot(at), words).second) {
            throw corrupt(fmt::format("slot {} appears twice", formatSlot(at)));
        }
    }
    return image;
}

std::string EepromStore::serialise(const Image& image) {
    // One card per line keeps the file readable and diffable.
    std::string text = "{";
    const char* separator = "\n";
    for (const auto& [slot, words] : image) {
        text += separator;
        text += fmt::format("  \"{}\": {}", slot, nlohmann::json(words).dump());
        separator = ",\n";
    }
    text += image.empty() ? "}\n" : "\n}\n";
    return text;
}

EepromStore::Image EepromStore::load() {
    loaded_.reset();
    failedRead_.clear();
    if (auto image = reload()) return *image;
    return {};
}

std::optional<EepromStore::Image> EepromStore::reload() {
    auto failure = [&](const std::string& why) {
        lastError_ = fmt::format("cannot read EEPROM image {}: {}", image_.string(), why);
        return StoreError(lastError_);
    };
    Lock lock(lockPath(), Lock::Mode::Shared, kLockWait);
    if (lock.busy()) throw failure(lock.error());
    std::string text, error;
    switch (image_file::readWhole(image_, text, error)) {
        case ReadResult::Missing:
            failedRead_.clear();
            if (!loaded_) return std::nullopt;
            loaded_.reset();
            return Image{};
        case ReadResult::Failed:
            // Remembered, so that a file that cannot be read is reported once, not at every
            // scan.
            if (error == failedRead_) return std::nullopt;
            failedRead_ = error;
            throw failure(error);
        case ReadResult::Ok:
            break;
    }
    failedRead_.clear();
    if (loaded_ == text) return std::nullopt;
    loaded_ = text;
    try {
        return parse(text, image_.string());
    } catch (const StoreError& e) {
        lastError_ = e.what();
        throw;
    }
}

bool EepromStore::save(const std::string& slot, const EepromWords& words, uint64_t touched) {
    auto failure = [&](const std::string& why) {
        return fail(fmt::format("cannot save EEPROM image {}: {}", image_.string(), why));
    };
    Lock lock(lockPath(), Lock::Mode::Exclusive, kLockWait);
    if (!lock.held()) return failure(lock.error());

    // Another process may have changed other words since this one loaded the image.
    Image image;
    std::string text, error;
    switch (image_file::readWhole(image_, text, error)) {
        case ReadResult::Missing:
            break;
        case ReadResult::Failed:
            return failure(fmt::format("cannot read it: {}", error));
        case ReadResult::Ok:
            try {
                image = parse(text, image_.string());
            } catch (const StoreError& e) {
                return fail(std::string(e.what()) + "; not overwriting it");
            }
            break;
    }
    auto [entry, added] = image.try_emplace(slot, words);
    if (!added) {
        for (unsigned i = 0; i < kEepromWords; ++i) {
            if (touched & (uint64_t{1} << i)) entry->second[i] = words[i];
        }
    }
    // Temporary files that killed saves left beside the image go with this one.
    try {
        files::writeWhole(image_, serialise(image), files::Mode::Kept);
    } catch (const files::Error& e) {
        return fail(e.what());
    }
    lastError_.clear();
    return true;
}

}  // namespace simpc
