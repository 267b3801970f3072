// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// Writing a file that readers (node_exporter's textfile collector, another process loading
// an EEPROM image) see whole: the old contents or the new, never part of either.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string_view>

namespace files {

// Why a file could not be written; the message names the file and gives the system's own
// reason.
class Error : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

enum class Mode {
    ReadableByAll,  // 0644 whatever the umask (a collector reads as its own user)
    Kept,           // the replaced file's mode, 0644 for a new file
};

// Puts `text` in `target`:
//  - absent, or a regular file: replaced atomically by a file made in the same folder,
//    complete and flushed to the disk before it takes the name. On Linux the new file has
//    no name until it is complete (O_TMPFILE) where the file system allows; otherwise, and
//    for the instant between naming and renaming, it is ".NAME.tmp-XXXXXX" (NAME cut short
//    when that would be too long), which no "*.prom" glob matches. Such files left by a
//    killed writer are removed by the next write to the same folder; those of a writer
//    still at work are left alone.
//  - a link: what it leads to is written, as above, in that file's own folder; the link
//    stays.
//  - anything else that is not a folder (a character device, a FIFO): written straight
//    through, never replaced.
//  - a folder, or a link leading nowhere: refused.
// On failure throws Error, and `target` is left as it was (a device or FIFO may have taken
// part of the text).
void writeWhole(const std::filesystem::path& target, std::string_view text,
                Mode mode = Mode::ReadableByAll);

}  // namespace files
