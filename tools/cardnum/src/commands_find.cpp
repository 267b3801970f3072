// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include <fmt/ostream.h>

#include <CLI/CLI.hpp>

#include "arguments.h"
#include "card_number.h"
#include "card_table.h"
#include "commands.h"
#include "exit_codes.h"
#include "id_filter.h"
#include "json_output.h"
#include "port_status.h"
#include "swapped_ids.h"
#include "text_output.h"

namespace cardnum {
namespace {

class Find final : public Command {
  public:
    void define(CLI::App& command, CommonOptions& common) override {
        command.add_option("NUMBER", number_, "Card number, -32768 to 65535, decimal or 0x-hex")
            ->type_name("")
            ->required()
            ->transform(cardNumberArgument());
        addIdOption(command, common);
        addJsonFlag(command, common);
    }

    int run(const CommonOptions& options, Streams io) override;

  private:
    long number_ = 0;
};

const Registered<Find> kFind{"find", 20,
                             "Show the I/O base and IRQ of the card numbered NUMBER (exit "
                             "status 1 when there is none)"};

}  // namespace

int Find::run(const CommonOptions& options, Streams io) {
    if (!havePortAccess(io.err)) return kNoPortAccess;
    const uint16_t wanted = toCardWord(number_);
    const auto found = findCard(options.filter, wanted);
    if (lostPortAccess(io.err)) return kNoPortAccess;
    if (options.format == Format::Json) {
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
        warnIfSwapped(options, io.err);
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
