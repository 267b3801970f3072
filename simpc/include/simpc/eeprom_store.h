// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>

#include "simpc/eeprom93c46.h"
#include "simpc/export.h"

namespace simpc {

// The image cannot be read, is not a valid image, or its lock stayed held by another process
// for longer than kLockWait. The message names the file.
struct SIMPC_API StoreError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Keeps card EEPROM contents in a JSON file so that they outlive the process:
//   { "00:0a.0": [64 words], ... }
// Writers serialise on an flock of "<image>.lock" (the image itself is replaced by rename,
// so it cannot carry the lock), re-read the image, change only the words they touched,
// and replace the file atomically. Readers take the lock shared. Nobody waits longer than
// kLockWait (limits.h) for the lock.
class SIMPC_API EepromStore {
  public:
    using Image = std::map<std::string, EepromWords>;  // slot ("bb:dd.f") -> words

    explicit EepromStore(std::filesystem::path imageFile);

    const std::filesystem::path& imagePath() const { return image_; }
    std::filesystem::path lockPath() const;

    // Reads the image; empty when the file does not exist. Throws StoreError when it cannot be
    // read or is malformed.
    Image load();
    // Reads the file again: the image when it differs from what load() or reload() last read
    // (removed, created or changed in any way), nothing when it is the same. Throws
    // StoreError like load(), once for each new content of a bad file.
    std::optional<Image> reload();

    // Writes `words` of `slot`, only the indexes set in `touched` if the image already has the
    // card. Returns false and keeps the reason in lastError() on failure; never leaves a
    // partly written image and never overwrites an image it cannot parse. Removes the
    // temporary files of saves that were killed half-way.
    bool save(const std::string& slot, const EepromWords& words, uint64_t touched);

    const std::string& lastError() const { return lastError_; }

    // Parses image text; throws StoreError naming `source`.
    static Image parse(const std::string& text, const std::string& source);
    static std::string serialise(const Image& image);

  private:
    bool fail(std::string message);

    std::filesystem::path image_;
    std::optional<std::string> loaded_;  // text last read; nothing when the file was missing
    std::string failedRead_;             // why the file last could not be read
    std::string lastError_;
};

}  // namespace simpc
