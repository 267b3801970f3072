#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>

#include "simpc/eeprom93c46.h"
#include "simpc/export.h"

namespace simpc {

namespace detail {
// Enough of a file's metadata to notice that it was replaced or changed.
struct FileIdentity {
    bool exists = false;
    uint64_t device = 0, inode = 0, size = 0;
    int64_t mtimeNs = 0;
    bool operator==(const FileIdentity&) const = default;
};
}  // namespace detail

// The image cannot be read or is not a valid image. The message names the file.
struct SIMPC_API StoreError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Keeps card EEPROM contents in a JSON file so that they outlive the process:
//   { "00:0a.0": [64 words], ... }
// Writers serialise on an flock of "<image>.lock" (the image itself is replaced by rename,
// so it cannot carry the lock), re-read the image, change only the words they touched,
// and replace the file atomically. Readers take the lock shared.
class SIMPC_API EepromStore {
  public:
    using Image = std::map<std::string, EepromWords>;  // slot ("bb:dd.f") -> words

    explicit EepromStore(std::filesystem::path imageFile);

    const std::filesystem::path& imagePath() const { return image_; }
    std::filesystem::path lockPath() const;

    // Reads the image; empty when the file does not exist. Throws StoreError when it cannot be
    // read or is malformed. Remembers the file's identity for changedOnDisk().
    Image load();
    // The file was replaced, changed, created or removed since the last load().
    bool changedOnDisk() const;

    // Writes `words` of `slot`, only the indexes set in `touched` if the image already has the
    // card. Returns false and keeps the reason in lastError() on failure; never leaves a
    // partly written image and never overwrites an image it cannot parse.
    bool save(const std::string& slot, const EepromWords& words, uint64_t touched);

    const std::string& lastError() const { return lastError_; }

    // Parses image text; throws StoreError naming `source`.
    static Image parse(const std::string& text, const std::string& source);
    static std::string serialise(const Image& image);

  private:
    bool fail(std::string message);

    std::filesystem::path image_;
    detail::FileIdentity loaded_;
    std::string lastError_;
};

}  // namespace simpc
