// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include <fmt/ostream.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <iterator>

#include "arguments.h"
#include "card_number.h"
#include "card_table.h"
#include "commands.h"
#include "exit_codes.h"
#include "id_filter.h"
#include "port_status.h"
#include "swapped_ids.h"
#include "wide_scan.h"

namespace cardnum {
namespace {

struct SetRequest {
    std::optional<long> oldNumber;  // --card OLD
    std::optional<long> index;      // --index I
    long newNumber = 0;
    bool force = false;
    bool dryRun = false;
};

int renumber(const CommonOptions& options, const SetRequest& request, Streams io);

std::string describe(const Card& card) {
    return fmt::format("card #{} (slot {})", card.index, slotOf(card));
}

// The card the request names, as the library's table holds it now.
std::optional<Card> chooseCard(const CardScan& scan, const SetRequest& request) {
    if (request.index) return scan.atIndex(static_cast<int>(*request.index));
    return scan.firstNumbered(toCardWord(*request.oldNumber));
}

std::optional<Card> sameSlot(const std::vector<Card>& cards, const Card& card) {
    const auto it = std::find_if(cards.begin(), cards.end(), [&](const Card& other) {
        return other.bus == card.bus && other.device == card.device;
    });
    if (it == cards.end()) return std::nullopt;
    return *it;
}

class Set final : public Command {
  public:
    void define(CLI::App& command, CommonOptions& common) override {
        CLI::Option_group* which = command.add_option_group("card", "The card to renumber");
        which->add_option("--card", request_.oldNumber, "The card that carries number OLD now")
            ->type_name("OLD")
            ->transform(cardNumberArgument());
        which->add_option("--index", request_.index, "The card at table index I (0 to 8)")
            ->type_name("I")
            ->transform(tableIndexArgument());
        which->require_option(1);
        command.add_option("NEW", request_.newNumber, "New card number, -32768 to 65535")
            ->type_name("")
            ->required()
            ->transform(cardNumberArgument());
        command.add_flag("--force", request_.force, "Renumber even when another card carries NEW");
        command.add_flag("--dry-run", request_.dryRun, "Show what would change and write nothing");
        addIdOption(command, common);
    }

    int run(const CommonOptions& options, Streams io) override {
        return renumber(options, request_, io);
    }

  private:
    SetRequest request_;
};

const Registered<Set> kSet{"set", 30,
                           "Give a card a new number, chosen by its present number (--card) "
                           "or its table index (--index)"};

int renumber(const CommonOptions& options, const SetRequest& request, Streams io) {
    const PCIID& filter = options.filter;
    if (!havePortAccess(io.err)) return kNoPortAccess;
    const uint16_t newNo = toCardWord(request.newNumber);
    const CardScan scan(filter);
    const std::vector<Card>& before = scan.cards();
    if (lostPortAccess(io.err)) return kNoPortAccess;
    const auto target = chooseCard(scan, request);
    if (!target) {
        if (request.index) {
            fmt::print(io.err, "cardnum: no card at index {}: {} card{} with IDs {} found\n",
                       *request.index, before.size(), before.size() == 1 ? "" : "s",
                       describeFilter(filter));
        } else {
            fmt::print(io.err, "cardnum: no card numbered {} with IDs {}\n",
                       describeCardNumber(toCardWord(*request.oldNumber)), describeFilter(filter));
        }
        if (before.empty()) warnIfSwapped(options, io.err);
        return kNotFound;
    }

    std::vector<Card> others;
    std::copy_if(before.begin(), before.end(), std::back_inserter(others), [&](const Card& card) {
        return card.index != target->index && card.number == newNo;
    });
    if (!others.empty() && !request.force) {
        fmt::print(io.err,
                   "cardnum: refused: {} already carries number {}; with two cards of one "
                   "number a lookup reaches only the first. Choose a free number, or give "
                   "--force to number them alike anyway\n",
                   describe(others.front()), describeCardNumber(newNo));
        return kNotFound;
    }

    const std::string change =
        fmt::format("{}: number {} -> {}", describe(*target), describeCardNumber(target->number),
                    describeCardNumber(newNo));
    if (request.dryRun) {
        fmt::print(io.out, "Would renumber {} (dry run, nothing written)\n", change);
        return kDone;
    }

    const bool confirmed = request.index ? renumberByIndex(filter, target->index, newNo)
                                         : renumberByCardNo(filter, target->number, newNo);
    const auto after = sameSlot(scanCards(filter), *target);
    if (lostPortAccess(io.err)) return kNoPortAccess;
    if (!confirmed || !after || after->number != newNo) {
        const std::string now =
            after ? fmt::format("still reads {}", describeCardNumber(after->number))
                  : std::string("is no longer found");
        const char* why = eepromPresent(target->localRegBase)
                              ? "The EEPROM did not keep the number: it may be write-protected "
                                "or not answering"
                              : "The card reports no EEPROM (CNTRL bit 28 clear), so it cannot "
                                "keep a number";
        fmt::print(io.err, "cardnum: renumbering failed: {} {} after writing {}. {}\n",
                   describe(*target), now, describeCardNumber(newNo), why);
        return kNotFound;
    }
    fmt::print(io.out, "Renumbered {}\n", change);
    if (!others.empty()) {
        fmt::print(io.err,
                   "cardnum: warning: {} cards now carry number {}; a lookup by it "
                   "reaches only the first in scan order\n",
                   others.size() + 1, describeCardNumber(newNo));
    }
    return kDone;
}

}  // namespace
}  // namespace cardnum
