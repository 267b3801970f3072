// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include "files/atomic_file.h"

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <random>
#include <string>
#include <utility>

#include "files/owned.h"

namespace files {
namespace {

namespace fs = std::filesystem;

[[noreturn]] void fail(const fs::path& target, const std::string& what, const std::string& why) {
    throw Error("cannot write " + target.string() + ": " + what + ": " + why);
}

[[noreturn]] void refuse(const fs::path& target, const std::string& why) {
    throw Error("cannot write " + target.string() + ": " + why);
}

// Temporary files are ".NAME.tmp-" and a unique ending; NAME is cut short so that the whole
// stays within the longest name a folder takes.
constexpr std::size_t kLongestName = 255;
constexpr std::size_t kUniqueEnding = 8;

std::string temporaryPrefix(const fs::path& target) {
    std::string name = target.filename().string();
    const std::size_t room = kLongestName - kUniqueEnding - std::strlen("..tmp-");
    if (name.size() > room) name.resize(room);
    return "." + name + ".tmp-";
}

std::string uniqueEnding() {
    static std::mt19937_64 generator{std::random_device{}()};
    static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::string ending;
    for (std::size_t i = 0; i < kUniqueEnding; ++i) ending += kDigits[generator() % 36];
    return ending;
}

fs::path folderOf(const fs::path& target) {
    return target.has_parent_path() ? target.parent_path() : fs::path(".");
}

}  // namespace

#if defined(_WIN32)

namespace {

// The system's own text for a Windows error code.
std::string systemError(DWORD code) {
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = length > 0 ? std::string(text, length) : std::string();
    LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == ' ' || message.back() == '.')) {
        message.pop_back();
    }
    return message + " (Windows error " + std::to_string(code) + ")";
}

[[noreturn]] void failWith(const fs::path& target, const std::string& what, DWORD code) {
    fail(target, what, systemError(code));
}

bool writeAll(HANDLE file, std::string_view text) {
    while (!text.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(text.size(), 1U << 30));
        DWORD written = 0;
        if (!WriteFile(file, text.data(), chunk, &written, nullptr)) return false;
        text.remove_prefix(written);
    }
    return true;
}

// Temporary files of killed writers; a writer at work keeps its own open without sharing
// deletion, so it cannot be removed.
void removeLeftovers(const fs::path& folder, const std::string& prefix) {
    WIN32_FIND_DATAW found{};
    const fs::path pattern = folder / (prefix + "*");
    HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        DeleteFileW((folder / found.cFileName).c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

void writeThrough(const fs::path& target, HANDLE file, std::string_view text) {
    if (!writeAll(file, text)) failWith(target, "cannot write to it", GetLastError());
}

void replace(const fs::path& target, std::string_view text) {
    const fs::path folder = folderOf(target);
    const std::string prefix = temporaryPrefix(target);
    removeLeftovers(folder, prefix);
    const fs::path temporary = folder / (prefix + uniqueEnding());
    Handle out(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out)
        failWith(target, "cannot create a temporary file in " + folder.string(), GetLastError());
    auto abandon = [&](const char* step) {
        const DWORD code = GetLastError();
        out.reset();
        DeleteFileW(temporary.c_str());
        failWith(target, step, code);
    };
    if (!writeAll(out.get(), text)) abandon("cannot write the temporary file");
    if (!FlushFileBuffers(out.get())) abandon("cannot flush the temporary file to disk");
    out.reset();
    if (!MoveFileExW(temporary.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        abandon("cannot move the temporary file over it");
    }
}

}  // namespace

void writeWhole(const fs::path& target, std::string_view text, Mode) {
    if (!target.has_filename()) refuse(target, "the name ends in a folder separator");
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD code = GetLastError();
        if (code != ERROR_FILE_NOT_FOUND) failWith(target, "cannot look at it", code);
        replace(target, text);
        return;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) refuse(target, "it is a folder");
    constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    Handle existing(CreateFileW(target.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!existing) failWith(target, "cannot open it", GetLastError());
    if (GetFileType(existing.get()) != FILE_TYPE_DISK) {
        existing.reset();
        Handle device(CreateFileW(target.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!device) failWith(target, "cannot open it", GetLastError());
        writeThrough(target, device.get(), text);
        return;
    }
    // A link leads to the file it names: that one is replaced, in its own folder.
    std::wstring finalPath(32768, L'\0');
    const DWORD length = GetFinalPathNameByHandleW(existing.get(), finalPath.data(),
                                                   static_cast<DWORD>(finalPath.size()), 0);
    existing.reset();
    if (length == 0 || length >= finalPath.size()) {
        replace(target, text);
        return;
    }
    finalPath.resize(length);
    replace(fs::path(finalPath), text);
}

#else

namespace {

std::string systemError(int error) {
    return std::strerror(error);
}

bool writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// Temporary files whose writer is gone. A writer holds an exclusive lock on its temporary
// file for as long as it lives, so a file that can be locked was left by a killed one.
void removeLeftovers(const fs::path& folderPath, int folder, const std::string& prefix) {
    std::error_code ec;
    for (fs::directory_iterator it(folderPath, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.rfind(prefix, 0) != 0) continue;
        Fd file(::openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat st {};
        if (!file || ::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        if (::flock(file.get(), LOCK_EX | LOCK_NB) == 0) ::unlinkat(folder, name.c_str(), 0);
    }
}

// A new file in `folder`, locked (see removeLeftovers), with no name where the file system
// allows it (`name` then stays empty) and ".NAME.tmp-XXXXXXXX" otherwise.
Fd createTemporary(int folder, const std::string& prefix, std::string& name) {
    name.clear();
#if defined(O_TMPFILE)
    Fd unnamed(::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
    if (unnamed && ::flock(unnamed.get(), LOCK_EX) == 0) return unnamed;
#endif
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = prefix + uniqueEnding();
        Fd named(::openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (named) {
            ::flock(named.get(), LOCK_EX);
            return named;
        }
        if (errno != EEXIST) break;
    }
    name.clear();
    return Fd(-1);
}

// Gives the unnamed file `fd` a temporary name in `folder`.
bool nameTemporary(int fd, int folder, const std::string& prefix, std::string& name) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = prefix + uniqueEnding();
        if (::linkat(AT_FDCWD, self.c_str(), folder, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
            return true;
        if (errno != EEXIST) break;
    }
    name.clear();
    return false;
}

void replace(const fs::path& target, std::string_view text, Mode mode) {
    const fs::path folderPath = folderOf(target);
    const std::string base = target.filename().string();
    Fd folder(::open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder) fail(target, "cannot open its folder " + folderPath.string(), systemError(errno));
    const std::string prefix = temporaryPrefix(target);
    removeLeftovers(folderPath, folder.get(), prefix);

    mode_t permissions = 0644;
    struct stat old {};
    if (mode == Mode::Kept && ::fstatat(folder.get(), base.c_str(), &old, 0) == 0)
        permissions = old.st_mode & 07777;

    std::string name;
    Fd out = createTemporary(folder.get(), prefix, name);
    if (!out) {
        fail(target, "cannot create a temporary file in " + folderPath.string(),
             systemError(errno));
    }
    const char* step = nullptr;
    if (::fchmod(out.get(), permissions) != 0) {
        step = "cannot set the temporary file's mode";
    } else if (!writeAll(out.get(), text)) {
        step = "cannot write the temporary file";
    } else if (::fsync(out.get()) != 0) {
        step = "cannot flush the temporary file to disk";
    } else if (name.empty() && !nameTemporary(out.get(), folder.get(), prefix, name)) {
        step = "cannot give the temporary file a name";
    } else if (::renameat(folder.get(), name.c_str(), folder.get(), base.c_str()) != 0) {
        step = "cannot rename the temporary file over it";
    }
    const int error = errno;
    if (step != nullptr) {
        if (!name.empty()) ::unlinkat(folder.get(), name.c_str(), 0);
        fail(target, step, systemError(error));
    }
    // The rename is on disk once the folder is; a folder that cannot be synced still holds
    // the whole new file.
    ::fsync(folder.get());
}

// A device or a FIFO takes the text as it comes, as `sort -o` writes it.
void writeThrough(const fs::path& target, std::string_view text) {
    Fd out(::open(target.c_str(), O_WRONLY | O_TRUNC | O_NOCTTY | O_CLOEXEC));
    if (!out) fail(target, "cannot open it", systemError(errno));
    if (!writeAll(out.get(), text)) fail(target, "cannot write to it", systemError(errno));
    if (out.close() != 0) fail(target, "cannot write to it", systemError(errno));
}

}  // namespace

void writeWhole(const fs::path& target, std::string_view text, Mode mode) {
    if (target.empty()) refuse(target, "no file name given");
    struct stat st {};
    if (::lstat(target.c_str(), &st) != 0) {
        if (errno != ENOENT) fail(target, "cannot look at it", systemError(errno));
        if (!target.has_filename()) refuse(target, "the name ends in a folder separator");
        replace(target, text, mode);
        return;
    }
    fs::path file = target;
    if (S_ISLNK(st.st_mode)) {
        if (::stat(target.c_str(), &st) != 0) {
            if (errno == ENOENT) refuse(target, "it is a link that leads nowhere");
            fail(target, "cannot follow the link", systemError(errno));
        }
        if (S_ISREG(st.st_mode)) {
            std::error_code ec;
            file = fs::canonical(target, ec);
            if (ec) fail(target, "cannot follow the link", ec.message());
        }
    }
    if (S_ISDIR(st.st_mode)) refuse(target, "it is a folder");
    if (S_ISREG(st.st_mode)) {
        replace(file, text, mode);
    } else {
        writeThrough(target, text);
    }
}

#endif

}  // namespace files
