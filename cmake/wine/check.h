// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// The checks of a Windows test program run under Wine, where no test framework is at hand:
// one line per check ("ok: ..." or "FAIL: ...: detail"), then "N passed, M failed", the
// line ctest's log is read by. A program with no check at all fails.
#pragma once

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

namespace wine_check {

struct Counts {
    int passed = 0;
    int failed = 0;
};

inline Counts& counts() {
    static Counts all;
    return all;
}

// Records one check; `detail` says what was seen when it fails.
inline bool check(bool ok, const std::string& what, const std::string& detail = {}) {
    if (ok) {
        ++counts().passed;
        std::printf("ok: %s\n", what.c_str());
    } else {
        ++counts().failed;
        std::printf("FAIL: %s%s%s\n", what.c_str(), detail.empty() ? "" : ": ", detail.c_str());
    }
    std::fflush(stdout);
    return ok;
}

// The rack a program of usage "PROGRAM RACK_FILE WORK_FOLDER" works on: RACK_FILE copied,
// under its own name, into WORK_FOLDER (emptied first), with PORTVEX naming the copy for the
// simulated Portvex.dll, which reads it at the first port access. Nothing, after printing
// the usage, when the arguments are not those two.
inline std::optional<std::filesystem::path> simulatedRack(int argc, char** argv) {
    namespace fs = std::filesystem;
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s RACK_FILE WORK_FOLDER\n", argv[0]);
        return std::nullopt;
    }
    const fs::path work = argv[2];
    std::error_code ignored;
    fs::remove_all(work, ignored);
    fs::create_directories(work);
    const fs::path rack = work / fs::path(argv[1]).filename();
    fs::copy_file(argv[1], rack);
    _putenv_s("PORTVEX", ("sim:" + rack.string()).c_str());
    return rack;
}

// Prints the counts; the program's exit status.
inline int summary() {
    std::printf("%d passed, %d failed\n", counts().passed, counts().failed);
    return counts().failed == 0 && counts().passed > 0 ? 0 : 1;
}

}  // namespace wine_check
