#include "card_table.h"
#include "commands.h"
#include "exit_codes.h"
#include "json_output.h"
#include "port_status.h"
#include "prometheus_output.h"
#include "text_output.h"

namespace cardnum {

namespace {

// Always a whole exposition, so that the monitoring system sees a machine without port
// access as such rather than as silence.
int printFleetView(const CommonOptions& options, Streams io) {
    FleetView view;
    double scanSeconds = 0;
    const auto seen = observeMachine(options.filter, &scanSeconds);
    view.backend = port::backend();
    view.ready = seen.has_value();
    if (seen) {
        view.scanSeconds = scanSeconds;
        view.cards = seen->cards;
        view.problems = diagnose(*seen);
    } else {
        view.problems = {noPortAccess(view.backend, port::status())};
    }
    printPrometheus(io.out, view);
    return havePortAccess(io.err) ? kDone : kNoPortAccess;
}

}  // namespace

int runList(const CommonOptions& options, Streams io) {
    if (options.prometheus) return printFleetView(options, io);
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
