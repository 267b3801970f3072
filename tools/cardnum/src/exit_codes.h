// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// What cardnum's exit status means; the manual page and the README list the same codes.
#pragma once

#include <string_view>

namespace cardnum {

enum ExitCode : int {
    kDone = 0,          // the command did what was asked
    kNotFound = 1,      // no such card, renumbering refused or not confirmed, doctor found problems
    kUsage = 2,         // bad command line
    kNoPortAccess = 3,  // the port layer reaches no machine
    kOutputFailed = 4,  // the result could not be written to standard output or --output FILE
    kInternal = 5,      // out of memory, or another failure inside cardnum
};

// What each status means, for --help and for the error member of --json output.
inline constexpr std::string_view kExitMeanings[] = {
    "done",
    "no such card, renumbering refused or not confirmed, or doctor found problems",
    "bad command line",
    "no port access",
    "the result could not be written to standard output or to the --output file",
    "internal error (out of memory, say)",
};

}  // namespace cardnum
