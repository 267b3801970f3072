// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// A status text that may change while the process runs, while every text handed out
// stays valid for the life of the process (callers keep the pointer portvex_status gave).
#pragma once

#include <deque>
#include <mutex>
#include <string>

namespace portvex {

class StatusText {
  public:
    explicit StatusText(std::string initial) { texts_.push_back(std::move(initial)); }

    const std::string& current() const {
        const std::lock_guard lock(mutex_);
        return texts_.back();
    }

    void set(std::string text) {
        const std::lock_guard lock(mutex_);
        if (texts_.back() != text) texts_.push_back(std::move(text));
    }

  private:
    mutable std::mutex mutex_;
    std::deque<std::string> texts_;  // only grows: references to old texts stay valid
};

}  // namespace portvex
