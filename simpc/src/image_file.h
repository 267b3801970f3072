#pragma once

// File operations the EEPROM store needs, with one implementation per platform.

#include <cstdint>
#include <filesystem>
#include <string>

#include "simpc/eeprom_store.h"

namespace simpc::image_file {

using detail::FileIdentity;

// An advisory lock on a separate lock file, held until destruction.
class Lock {
  public:
    enum class Mode { Shared, Exclusive };
    // Shared locks do not create the lock file; without one, held() is false and the caller
    // goes on unlocked (no writer has ever run, or the folder is read-only).
    Lock(const std::filesystem::path& lockFile, Mode mode);
    ~Lock();
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

    bool held() const { return handle_ != kNone; }
    const std::string& error() const { return error_; }

  private:
    static constexpr intptr_t kNone = -1;
    intptr_t handle_ = kNone;
    std::string error_;
};

enum class ReadResult { Ok, Missing, Failed };

// Reads the whole file and the identity of what was read.
ReadResult readWhole(const std::filesystem::path& file, std::string& text, FileIdentity& identity,
                     std::string& error);

// Identity of whatever is at `file` now; exists == false when nothing is.
FileIdentity identityOf(const std::filesystem::path& file);

// Writes `text` to a new file in the same folder, flushes it to the disk and renames it over
// `file`, so that readers and crashes see the old contents or the new, never a mixture.
bool replace(const std::filesystem::path& file, const std::string& text, std::string& error);

}  // namespace simpc::image_file
