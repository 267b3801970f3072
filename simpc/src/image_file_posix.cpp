// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include <fcntl.h>
#include <files/owned.h>
#include <fmt/format.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "image_file.h"
#include "simpc/limits.h"

namespace simpc::image_file {

namespace fs = std::filesystem;
using files::Fd;

namespace {

std::string errnoText() {
    return std::strerror(errno);
}

const char* kindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a plain file";
}

// The processes /proc/locks shows holding a lock on the open file `fd`, for the message of a
// waiter; empty where that cannot be known.
std::string holders(int fd) {
    struct stat st {};
    std::ifstream locks("/proc/locks");
    if (::fstat(fd, &st) != 0 || !locks) return {};
    const std::string file =
        fmt::format("{:02x}:{:02x}:{}", major(st.st_dev), minor(st.st_dev), st.st_ino);
    std::string pids;
    // "1: FLOCK  ADVISORY  WRITE 1234 08:01:5678 0 EOF"; waiters have "->" after the number.
    for (std::string line; std::getline(locks, line);) {
        std::istringstream fields(line);
        std::string number, type, advisory, access, pid, where;
        fields >> number >> type >> advisory >> access >> pid >> where;
        if (type == "->" || where != file || pid == "-1" || pid == "0") continue;
        pids += (pids.empty() ? "" : ", ") + pid;
    }
    return pids;
}

}  // namespace

Lock::Lock(const fs::path& lockFile, Mode mode, std::chrono::milliseconds wait) {
    Fd fd(mode == Mode::Shared ? ::open(lockFile.c_str(), O_RDONLY | O_CLOEXEC)
                               : ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
    if (!fd) {
        if (mode == Mode::Exclusive) {
            error_ = fmt::format("cannot open lock file {}: {}", lockFile.string(), errnoText());
        }
        return;
    }
    const int op = (mode == Mode::Shared ? LOCK_SH : LOCK_EX) | LOCK_NB;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    auto pause = std::chrono::milliseconds(1);
    while (::flock(fd.get(), op) != 0) {
        if (errno == EINTR) continue;
        if (errno != EWOULDBLOCK) {
            error_ = fmt::format("cannot lock {}: {}", lockFile.string(), errnoText());
            return;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            const std::string pids = holders(fd.get());
            busy_ = true;
            error_ = fmt::format("lock file {} is held by {} (waited {} s)", lockFile.string(),
                                 pids.empty() ? "another process" : "process " + pids,
                                 std::chrono::duration<double>(wait).count());
            return;
        }
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::milliseconds(50));
    }
    handle_ = fd.release();  // kept open: closing releases the flock
}

Lock::~Lock() {
    if (held()) ::close(static_cast<int>(handle_));
}

ReadResult readWhole(const fs::path& file, std::string& text, std::string& error) {
    auto failed = [&](std::string why) {
        error = std::move(why);
        return ReadResult::Failed;
    };
    // Only a plain file is opened: opening a device has effects of its own (a tape
    // rewinds, a watchdog starts). Non-blocking, so that a FIFO put in the file's place
    // since does not wait for a writer; checked again once open.
    struct stat named {};
    if (::stat(file.c_str(), &named) == 0 && !S_ISREG(named.st_mode)) {
        return failed(fmt::format("it is {}", kindOf(named.st_mode)));
    }
    Fd fd(::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd) return errno == ENOENT ? ReadResult::Missing : failed(errnoText());
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return failed(errnoText());
    if (!S_ISREG(st.st_mode)) return failed(fmt::format("it is {}", kindOf(st.st_mode)));
    auto tooLarge = [&] {
        return failed(fmt::format("it is larger than the limit of {} bytes", kMaxFileBytes));
    };
    if (static_cast<std::uintmax_t>(st.st_size) > kMaxFileBytes) return tooLarge();
    text.clear();
    char buffer[16384];
    for (;;) {
        ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n == 0) return ReadResult::Ok;
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return failed(errnoText());
        text.append(buffer, static_cast<size_t>(n));
        if (text.size() > kMaxFileBytes) return tooLarge();  // grew while being read
    }
}

}  // namespace simpc::image_file
