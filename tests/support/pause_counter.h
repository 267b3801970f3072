// The library pauses through the C library's nanosleep. Test programs that link
// pause_counter.cpp replace it with a counter that returns at once, so pauses can be
// counted exactly and the suite does not wait out thousands of milliseconds.
#pragma once

#include <cstdint>

namespace testing_support {

uint64_t pauseCount();
void resetPauseCount();

}  // namespace testing_support
