// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#pragma once

// File operations the EEPROM store and the rack reader need, with one implementation per
// platform. Saving an image replaces it whole through files/atomic_file.h.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>

namespace simpc::image_file {

// An advisory lock on a separate lock file, held until destruction.
class Lock {
  public:
    enum class Mode { Shared, Exclusive };
    // Waits at most `wait` while another process holds the lock; then busy() is true and
    // error() names the lock file and, where it can be known, the process holding it.
    // Shared locks do not create the lock file; without one, held() is false, error() is
    // empty and the caller goes on unlocked (no writer has ever run, or the folder is
    // read-only).
    Lock(const std::filesystem::path& lockFile, Mode mode, std::chrono::milliseconds wait);
    ~Lock();
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

    bool held() const { return handle_ != kNone; }
    bool busy() const { return busy_; }
    const std::string& error() const { return error_; }

  private:
    static constexpr intptr_t kNone = -1;
    intptr_t handle_ = kNone;
    bool busy_ = false;
    std::string error_;
};

enum class ReadResult { Ok, Missing, Failed };

// Reads the whole of a regular file of at most kMaxFileBytes. Anything else (a FIFO, a
// device, a folder, a larger file) is refused at once, without blocking; `error` then says
// why, without naming the file.
ReadResult readWhole(const std::filesystem::path& file, std::string& text, std::string& error);

}  // namespace simpc::image_file
