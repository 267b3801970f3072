// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// What the fuzz targets share: a private folder for the files an input becomes, whole-file
// reads and writes, and the check that stops the run when a property breaks.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>

namespace fuzz {

// A broken property: said on standard error, then abort(), which libFuzzer reports as a
// crash and keeps the input of.
[[noreturn]] inline void broken(std::string_view what, std::string_view detail = {}) {
    std::fprintf(stderr, "BROKEN PROPERTY: %.*s\n", static_cast<int>(what.size()), what.data());
    if (!detail.empty()) {
        std::fprintf(stderr, "--- detail ---\n%.*s\n--------------\n",
                     static_cast<int>(detail.size()), detail.data());
    }
    std::abort();
}

inline void require(bool holds, std::string_view what, std::string_view detail = {}) {
    if (!holds) broken(what, detail);
}

// A folder of this process's own, made at the first use and removed at exit.
inline const std::filesystem::path& scratch() {
    struct Folder {
        std::filesystem::path path;
        Folder() {
            std::string name = (std::filesystem::temp_directory_path() / "slotscan-fuzz-XXXXXX");
            if (::mkdtemp(name.data()) == nullptr) broken("cannot make a scratch folder");
            path = name;
        }
        ~Folder() {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
    };
    static const Folder folder;
    return folder.path;
}

inline void writeFile(const std::filesystem::path& file, std::string_view bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    require(static_cast<bool>(out.flush()), "cannot write a scratch file");
}

// The file's bytes, or nothing when it is not there.
inline std::optional<std::string> readFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void removeFile(const std::filesystem::path& file) {
    std::error_code ignored;
    std::filesystem::remove(file, ignored);
}

}  // namespace fuzz
