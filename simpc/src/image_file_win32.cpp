// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <files/owned.h>
#include <fmt/format.h>
#include <windows.h>

#include <algorithm>
#include <chrono>

#include "image_file.h"
#include "simpc/limits.h"

namespace simpc::image_file {

namespace fs = std::filesystem;
using files::Handle;

namespace {

std::string lastErrorText() {
    return fmt::format("Windows error {}", ::GetLastError());
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE openFile(const fs::path& file, DWORD access, DWORD disposition) {
    return ::CreateFileW(file.c_str(), access, kShareAll, nullptr, disposition,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

bool missing(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

}  // namespace

Lock::Lock(const fs::path& lockFile, Mode mode, std::chrono::milliseconds wait) {
    Handle h(openFile(lockFile, GENERIC_READ | GENERIC_WRITE,
                      mode == Mode::Shared ? OPEN_EXISTING : OPEN_ALWAYS));
    if (!h) {
        if (mode == Mode::Exclusive) {
            error_ =
                fmt::format("cannot open lock file {}: {}", lockFile.string(), lastErrorText());
        }
        return;
    }
    const DWORD flags =
        (mode == Mode::Exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0) | LOCKFILE_FAIL_IMMEDIATELY;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    auto pause = std::chrono::milliseconds(1);
    for (;;) {
        OVERLAPPED whole{};
        if (::LockFileEx(h.get(), flags, 0, 1, 0, &whole)) break;
        if (::GetLastError() != ERROR_LOCK_VIOLATION) {
            error_ = fmt::format("cannot lock {}: {}", lockFile.string(), lastErrorText());
            return;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            busy_ = true;
            error_ = fmt::format("lock file {} is held by another process (waited {} s)",
                                 lockFile.string(), std::chrono::duration<double>(wait).count());
            return;
        }
        ::Sleep(static_cast<DWORD>(pause.count()));
        pause = std::min(pause * 2, std::chrono::milliseconds(50));
    }
    handle_ = reinterpret_cast<intptr_t>(h.release());
}

Lock::~Lock() {
    if (held()) ::CloseHandle(reinterpret_cast<HANDLE>(handle_));  // closing releases the lock
}

ReadResult readWhole(const fs::path& file, std::string& text, std::string& error) {
    auto failed = [&](std::string why) {
        error = std::move(why);
        return ReadResult::Failed;
    };
    Handle h(openFile(file, GENERIC_READ, OPEN_EXISTING));
    if (!h) return missing(::GetLastError()) ? ReadResult::Missing : failed(lastErrorText());
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(h.get(), &info)) return failed(lastErrorText());
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return failed("it is a folder");
    if (::GetFileType(h.get()) != FILE_TYPE_DISK) return failed("it is not a plain file");
    auto tooLarge = [&] {
        return failed(fmt::format("it is larger than the limit of {} bytes", kMaxFileBytes));
    };
    if (((uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow) > kMaxFileBytes) {
        return tooLarge();
    }
    text.clear();
    char buffer[16384];
    for (;;) {
        DWORD n = 0;
        if (!::ReadFile(h.get(), buffer, sizeof buffer, &n, nullptr)) {
            return failed(lastErrorText());
        }
        if (n == 0) return ReadResult::Ok;
        text.append(buffer, n);
        if (text.size() > kMaxFileBytes) return tooLarge();  // grew while being read
    }
}

}  // namespace simpc::image_file
