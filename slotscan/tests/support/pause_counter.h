// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// The library pauses through the C library's nanosleep. Test programs that link
// pause_counter.cpp replace it with a counter that returns at once, so every pause, of
// whatever length, is counted exactly, its length is recorded, and the suite does not
// wait out thousands of milliseconds.
#pragma once

#include <chrono>
#include <cstdint>

namespace testing_support {

uint64_t pauseCount();
// The time all counted pauses asked for, together.
std::chrono::nanoseconds pausedFor();
void resetPauseCount();

}  // namespace testing_support
