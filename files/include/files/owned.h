// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// An open file owned by one object, closed when that object goes: a descriptor on POSIX
// systems (Fd), a handle on Windows (Handle).
#pragma once

#include <utility>

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace files {

#if defined(_WIN32)

class Handle {
  public:
    explicit Handle(HANDLE h) : h_(h) {}
    ~Handle() { reset(); }
    Handle(Handle&& other) noexcept : h_(std::exchange(other.h_, INVALID_HANDLE_VALUE)) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    HANDLE get() const { return h_; }
    explicit operator bool() const { return h_ != INVALID_HANDLE_VALUE; }
    // Gives the handle up, to be closed by whoever takes it.
    HANDLE release() { return std::exchange(h_, INVALID_HANDLE_VALUE); }
    void reset() {
        if (h_ != INVALID_HANDLE_VALUE) ::CloseHandle(h_);
        h_ = INVALID_HANDLE_VALUE;
    }

  private:
    HANDLE h_;
};

#else

class Fd {
  public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    // Gives the descriptor up, to be closed by whoever takes it.
    int release() { return std::exchange(fd_, -1); }
    void reset() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    // close() with its result: the last chance for a write error to show.
    int close() { return ::close(std::exchange(fd_, -1)); }

  private:
    int fd_;
};

#endif

}  // namespace files
