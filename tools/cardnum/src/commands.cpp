// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include "commands.h"

#include <algorithm>

#if !defined(_WIN32)
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace cardnum {
namespace {

std::vector<Registration>& registry() {
    static std::vector<Registration> commands;
    return commands;
}

}  // namespace

void registerCommand(const Registration& registration) {
    registry().push_back(registration);
}

std::vector<Registration> registeredCommands() {
    std::vector<Registration> commands = registry();
    std::sort(commands.begin(), commands.end(),
              [](const Registration& a, const Registration& b) { return a.rank < b.rank; });
    return commands;
}

bool isStandardOutput(const std::string& file) {
#if defined(_WIN32)
    (void)file;
    return false;
#else
    struct stat named {
    }, out{};
    return ::stat(file.c_str(), &named) == 0 && ::fstat(STDOUT_FILENO, &out) == 0 &&
           named.st_dev == out.st_dev && named.st_ino == out.st_ino;
#endif
}

}  // namespace cardnum
