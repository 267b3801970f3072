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

}  // namespace cardnum
