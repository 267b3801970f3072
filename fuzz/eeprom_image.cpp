// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// The EEPROM image reader. Input: an image file's text.
//
// Properties: reading gives an image or throws StoreError, nothing else; an image that is
// read is written back as text that reads as the same image; saving a card over an image
// that cannot be read fails and leaves the file byte for byte as it was, and saving over
// one that can changes only the words saved.
#include <simpc/eeprom_store.h>

#include <cstdint>

#include "support.h"

namespace {

constexpr uint64_t kTouched = 0x0100000000000081;  // words 0, 7 and 0x38

simpc::EepromWords savedWords() {
    simpc::EepromWords words{};
    for (unsigned i = 0; i < words.size(); ++i) words[i] = static_cast<uint16_t>(0xA500 + i);
    return words;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    std::optional<simpc::EepromStore::Image> parsed;
    try {
        parsed = simpc::EepromStore::parse(text, "fuzz.json");
    } catch (const simpc::StoreError&) {
    }
    if (parsed) {
        const std::string written = simpc::EepromStore::serialise(*parsed);
        fuzz::require(simpc::EepromStore::parse(written, "written") == *parsed,
                      "an image written back reads differently", written);
    }

    // The same text as a file on disk, with a card saved over it.
    const auto file = fuzz::scratch() / "image.eeprom.json";
    fuzz::writeFile(file, text);
    simpc::EepromStore store(file);
    std::optional<simpc::EepromStore::Image> loaded;
    try {
        loaded = store.load();
    } catch (const simpc::StoreError&) {
    }
    fuzz::require(loaded.has_value() == parsed.has_value(),
                  "the image file and its text are judged differently");

    const std::string slot = "00:0a.0";
    const simpc::EepromWords words = savedWords();
    const bool saved = store.save(slot, words, kTouched);
    const auto after = fuzz::readFile(file);
    if (!parsed) {
        fuzz::require(!saved, "a save over an image that cannot be read succeeded");
        fuzz::require(after == text, "a save over an image that cannot be read changed it");
        return 0;
    }
    fuzz::require(saved, "a save over a good image failed", store.lastError());
    const auto reread = simpc::EepromStore::parse(after.value_or(""), "saved");
    simpc::EepromStore::Image expected = *parsed;
    if (auto it = expected.find(slot); it == expected.end()) {
        expected.emplace(slot, words);
    } else {
        for (unsigned i = 0; i < words.size(); ++i) {
            if (kTouched >> i & 1) it->second[i] = words[i];
        }
    }
    fuzz::require(reread == expected, "a save changed more or less than the words saved",
                  after.value_or(""));
    return 0;
}
