// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// The parts of the stand-in /sys that only POSIX tests use: a private temporary folder,
// and children that run as an ordinary user.
#include <grp.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

#include "fake_sysfs.h"

namespace fs = std::filesystem;

namespace portvex::testing {
namespace {

fs::path privateFolder() {
    std::string pattern = (fs::temp_directory_path() / "portvex-sysfs-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    // Ordinary users (the tests' unprivileged children) must be able to walk the tree.
    fs::permissions(pattern, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                 fs::perms::others_read | fs::perms::others_exec);
    return pattern;
}

int waitFor(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

FakeSysfs::FakeSysfs() : FakeSysfs(privateFolder()) {}

int inChild(const std::function<int()>& body) {
    const pid_t pid = fork();
    if (pid == 0) _exit(body());
    return waitFor(pid);
}

int inChildAsOrdinaryUser(const std::function<int()>& body) {
    const pid_t pid = fork();
    if (pid == 0) {
        if (geteuid() == 0) {
            constexpr uid_t kNobody = 65534;
            if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) {
                _exit(120);
            }
        }
        _exit(body());
    }
    return waitFor(pid);
}

}  // namespace portvex::testing
