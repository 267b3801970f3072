#include <fmt/ostream.h>

#include "card_number.h"
#include "card_table.h"
#include "commands.h"
#include "exit_codes.h"
#include "id_filter.h"
#include "json_output.h"
#include "text_output.h"

namespace cardnum {

int runFind(const CommonOptions& options, long number, Streams io) {
    if (!havePortAccess(io.err)) return kNoPortAccess;
    const uint16_t wanted = toCardWord(number);
    const auto found = findCard(options.filter, wanted);
    if (lostPortAccess(io.err)) return kNoPortAccess;
    if (options.json) {
        nlohmann::ordered_json json{{"found", found.has_value()}, {"card_no", wanted}};
        if (found) {
            json["card"] = toJson(found->card);
            json["carriers"] = found->carriers;
        }
        *io.document = std::move(json);
    } else if (found) {
        printLookup(io.out, *found);
    }
    if (!found) {
        fmt::print(io.err,
                   "cardnum: no card numbered {} with IDs {}; 'cardnum list' shows the "
                   "cards found\n",
                   describeCardNumber(wanted), describeFilter(options.filter));
        return kNotFound;
    }
    if (found->carriers > 1) {
        fmt::print(io.err,
                   "cardnum: warning: {} cards carry number {}; this is the first in "
                   "scan order, the others are reached by index only ('cardnum doctor')\n",
                   found->carriers, describeCardNumber(wanted));
    }
    return kDone;
}

}  // namespace cardnum
