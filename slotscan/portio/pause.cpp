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

void PauseOneMs() { Sleep(1); }

#else

namespace {

// Linux may end a sleep as late as the thread's timer slack allows (50 us by default), a
// twentieth more on every EEPROM access. Ask for the tightest wake-up while the library
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

void PauseOneMs() {
    const TightWakeUp tight;
    timespec left{0, 1'000'000};
    // A signal cuts the sleep short; go on sleeping for what is left of the millisecond.
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

#endif

}  // namespace slotscan
