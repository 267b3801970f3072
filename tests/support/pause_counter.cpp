#include "pause_counter.h"

#include <atomic>
#include <ctime>

namespace {
std::atomic<uint64_t> pauses{0};
}

namespace testing_support {
uint64_t pauseCount() { return pauses.load(); }
void resetPauseCount() { pauses = 0; }
}  // namespace testing_support

// Interposes the C library's nanosleep for the whole test process (the executable's own
// definition comes first in the loader's search).
extern "C" int nanosleep(const timespec* request, timespec* remaining) {
    if (request != nullptr && request->tv_sec == 0 && request->tv_nsec == 1'000'000) ++pauses;
    if (remaining != nullptr) *remaining = timespec{0, 0};
    return 0;
}
