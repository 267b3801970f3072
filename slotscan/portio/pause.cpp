// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include "portio.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <cerrno>
#include <ctime>
#if defined(__linux__)
#include <sys/prctl.h>
#endif
#endif

namespace slotscan {

#if defined(_WIN32)

namespace {

// Windows 10 1803 and later accept this flag; older systems and Wine refuse it.
#if !defined(CREATE_WAITABLE_TIMER_HIGH_RESOLUTION)
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

// Waits for a one-shot high-resolution timer, good to about half a millisecond without
// touching the system timer's tick. False when the system refuses such a timer.
bool WaitOnHighResolutionTimer(LONGLONG hundredsOfNs) {
    HANDLE timer = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                          TIMER_ALL_ACCESS);
    if (timer == nullptr) return false;
    LARGE_INTEGER due;
    due.QuadPart = -hundredsOfNs;  // negative: relative to now
    const bool waited = SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE) != 0 &&
                        WaitForSingleObject(timer, INFINITE) == WAIT_OBJECT_0;
    CloseHandle(timer);
    return waited;
}

LONGLONG Now() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t.QuadPart;
}

}  // namespace

// Sleep(1) ends at a tick of the system timer, every 15.6 ms by default, which would make
// a nine-card lookup last 140 ms. A high-resolution timer ends close to its due time;
// where there is none, Sleep(1) it is. Either way the performance counter decides when
// the pause is over, so it is never shorter.
void Pause(std::chrono::microseconds duration) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    const LONGLONG end = Now() + (frequency.QuadPart * duration.count() + 999'999) / 1'000'000;
    for (LONGLONG left = end - Now(); left > 0; left = end - Now()) {
        const LONGLONG hundredsOfNs =
            (left * 10'000'000 + frequency.QuadPart - 1) / frequency.QuadPart;
        if (!WaitOnHighResolutionTimer(hundredsOfNs)) Sleep(1);
    }
}

#else

namespace {

// Linux may end a sleep as late as the thread's timer slack allows (50 us by default), a
// twentieth more on every millisecond pause. Ask for the tightest wake-up while the library
// sleeps and give the caller's setting back afterwards.
class TightWakeUp {
  public:
#if defined(__linux__)
    TightWakeUp() : previous_(prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0)) {
        if (previous_ > 1) prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
    }
    ~TightWakeUp() {
        if (previous_ > 1) prctl(PR_SET_TIMERSLACK, static_cast<unsigned long>(previous_), 0, 0, 0);
    }
#endif
    TightWakeUp(const TightWakeUp&) = delete;
    TightWakeUp& operator=(const TightWakeUp&) = delete;

  private:
#if defined(__linux__)
    int previous_;
#endif
};

}  // namespace

void Pause(std::chrono::microseconds duration) {
    const TightWakeUp tight;
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(duration);
    timespec left{static_cast<time_t>(seconds.count()),
                  static_cast<long>(std::chrono::nanoseconds(duration - seconds).count())};
    // A signal cuts the sleep short; go on sleeping for what is left.
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

#endif

}  // namespace slotscan
