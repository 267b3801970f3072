#include "advice.h"

namespace portvex::advice {

std::string lockedDown(const std::string& mode) {
    return "the kernel is locked down (" + mode + ")";
}

}  // namespace portvex::advice
