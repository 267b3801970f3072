#include <fmt/ostream.h>
#include <portvex.h>

#include "commands.h"

namespace cardnum {

bool havePortAccess(std::ostream& err) {
    if (portvex_ready() != 0) return true;
    fmt::print(err, "cardnum: no port access (backend \"{}\"): {}\n", portvex_backend(),
               portvex_status());
    return false;
}

bool lostPortAccess(std::ostream& err) {
    if (portvex_ready() != 0) return false;
    fmt::print(err, "cardnum: port access was refused during the scan (backend \"{}\"): {}\n",
               portvex_backend(), portvex_status());
    return true;
}

}  // namespace cardnum
