#include <fmt/ostream.h>

#include "commands.h"
#include "port_status.h"

namespace cardnum {

bool havePortAccess(std::ostream& err) {
    if (port::ready()) return true;
    fmt::print(err, "cardnum: no port access (backend \"{}\"): {}\n", port::backend(),
               port::status());
    return false;
}

bool lostPortAccess(std::ostream& err) {
    if (port::ready()) return false;
    fmt::print(err, "cardnum: port access was refused during the scan (backend \"{}\"): {}\n",
               port::backend(), port::status());
    return true;
}

}  // namespace cardnum
