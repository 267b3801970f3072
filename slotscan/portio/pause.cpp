#include "portio.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <cerrno>
#include <ctime>
#endif

namespace slotscan {

void PauseOneMs() {
#if defined(_WIN32)
    Sleep(1);
#else
    timespec left{0, 1'000'000};
    // A signal cuts the sleep short; go on sleeping for what is left of the millisecond.
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
#endif
}

}  // namespace slotscan
