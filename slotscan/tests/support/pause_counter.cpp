// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include "pause_counter.h"

#include <atomic>
#include <ctime>

namespace {
std::atomic<uint64_t> pauses{0};
std::atomic<int64_t> nanoseconds{0};
}  // namespace

namespace testing_support {
uint64_t pauseCount() {
    return pauses.load();
}
std::chrono::nanoseconds pausedFor() {
    return std::chrono::nanoseconds(nanoseconds.load());
}
void resetPauseCount() {
    pauses = 0;
    nanoseconds = 0;
}
}  // namespace testing_support

// Interposes the C library's nanosleep for the whole test process (the executable's own
// definition comes first in the loader's search, once it is in the dynamic symbol table).
extern "C" __attribute__((visibility("default"))) int nanosleep(const timespec* request,
                                                                timespec* remaining) {
    ++pauses;
    if (request != nullptr) nanoseconds += request->tv_sec * 1'000'000'000LL + request->tv_nsec;
    if (remaining != nullptr) *remaining = timespec{0, 0};
    return 0;
}
