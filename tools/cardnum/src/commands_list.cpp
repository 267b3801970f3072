#include "card_table.h"
#include "commands.h"
#include "exit_codes.h"
#include "json_output.h"
#include "text_output.h"

namespace cardnum {

int runList(const CommonOptions& options, Streams io) {
    if (!havePortAccess(io.err)) return kNoPortAccess;
    const auto cards = scanCards(options.filter);
    if (options.json) {
        *io.document = cardListJson(options.filter, cards);
    } else {
        printCardList(io.out, options.filter, cards);
    }
    // The slots, bases and IRQs above still hold; the card numbers may not.
    if (lostPortAccess(io.err)) return kNoPortAccess;
    return kDone;
}

}  // namespace cardnum
