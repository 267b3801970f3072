// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// The checks of a Windows test program run under Wine, where no test framework is at hand:
// one line per check ("ok: ..." or "FAIL: ...: detail"), then "N passed, M failed", the
// line ctest's log is read by. A program with no check at all fails.
#pragma once

#include <cstdio>
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

// Prints the counts; the program's exit status.
inline int summary() {
    std::printf("%d passed, %d failed\n", counts().passed, counts().failed);
    return counts().failed == 0 && counts().passed > 0 ? 0 : 1;
}

}  // namespace wine_check
