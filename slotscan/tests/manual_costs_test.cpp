// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// The manual pages state what the library's work costs in port accesses and pauses: each
// statement must read as access_costs.h's sums give it, on the rack the pages name.
#include <fmt/format.h>
#include <gtest/gtest.h>
#include <simpc/rack.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cards/cards.h"
#include "eeprom/eeprom.h"
#include "support/access_costs.h"

namespace {

using namespace testing_support;

// The page's troff source as one line: a line ".I word" written as the inline \fIword\fP,
// and every run of white space made one space, as it renders.
std::string pageText(const std::string& page) {
    std::ifstream in(std::filesystem::path(SLOTSCAN_SOURCE_DIR) / "docs" / "man" / page);
    std::ostringstream text;
    for (std::string line; std::getline(in, line);) {
        text << (line.rfind(".I ", 0) == 0 ? "\\fI" + line.substr(3) + "\\fP" : line) << ' ';
    }
    std::istringstream words(text.str());
    std::string spaced;
    for (std::string word; words >> word;) spaced += word + ' ';
    return spaced;
}

struct Statement {
    std::string page;
    std::string text;
};

TEST(ManualPages, StateTheCostsOfAccessCostsH) {
    const auto rack = simpc::loadRack(std::filesystem::path(SLOTSCAN_SOURCE_DIR) / "examples" /
                                      "racks" / "rack3.toml");
    // What the scan sees: function 0 of buses 0 to kLastBus, and at most MAX_CARDS cards.
    const auto scanned = [](const simpc::Device* d) {
        return d->address().function == 0 && d->address().bus <= slotscan::kLastBus;
    };
    const std::vector<simpc::Device*> all = rack->devices();
    const std::vector<simpc::Plx9050Card*> allCards = rack->cards();
    const auto devices = static_cast<uint64_t>(std::count_if(all.begin(), all.end(), scanned));
    const uint64_t cards = std::min<uint64_t>(
        MAX_CARDS, static_cast<uint64_t>(std::count_if(allCards.begin(), allCards.end(), scanned)));
    ASSERT_GT(cards, 0U);
    const uint64_t busyReads = rack->cards().front()->eeprom().busyReads();
    for (const simpc::Plx9050Card* card : rack->cards()) {
        ASSERT_EQ(card->eeprom().busyReads(), busyReads) << "the pages give rack3 one figure";
    }
    const Cost lookup = scanCost(devices, cards);
    const Cost renumber = renumberCost(devices, cards, busyReads + 1);
    // The pages write the pauses of a card's number as "C pauses", one each, and give both
    // of the protocol's waits one length.
    ASSERT_EQ(kEepromReadPauses, 1U);
    ASSERT_EQ(slotscan::kWordFetchWait, slotscan::kProgrammingWait);
    const std::string pausesOf = fmt::format(
        R"(pauses of {}\~ms)",
        std::chrono::duration_cast<std::chrono::milliseconds>(slotscan::kWordFetchWait).count());

    const std::string formula =
        fmt::format(R"({} + {}\~\(mu\~\fID\fP + {}\~\(mu\~\fIC\fP)", kEmptyScanAccesses,
                    kPerDeviceAccesses, kEepromReadAccesses);
    const std::string lookupOnRack =
        fmt::format("{} accesses and {} pauses", lookup.accesses, lookup.pauses);
    const std::string renumberOnRack = fmt::format("a renumbering costs {} accesses and {} pauses",
                                                   renumber.accesses, renumber.pauses);
    const std::vector<Statement> statements = {
        {"slotscan.3", formula + R"( port accesses and \fIC\fP )" + pausesOf},
        {"slotscan.3", fmt::format("the other {} dwords of its header", kPerDeviceAccesses / 2)},
        {"slotscan.3", fmt::format("adds the {} accesses that read its number from the EEPROM",
                                   kEepromReadAccesses)},
        {"slotscan.3", fmt::format("{} devices, {} of them cards", devices, cards)},
        {"slotscan.3",
         fmt::format("costs {} port accesses and {} pauses", lookup.accesses, lookup.pauses)},
        {"slotscan.3", renumberOnRack},
        {"FindPCICard.3", formula + R"( port accesses and \fIC\fP )" + pausesOf},
        {"FindPCICard.3", fmt::format("({} devices) that is {}", devices, lookupOnRack)},
        {"GetIOBaseByCardNo.3", formula + R"( port accesses and \fIC\fP )" + pausesOf},
        {"GetIOBaseByCardNo.3",
         fmt::format("({} devices) every lookup costs {}", devices, lookupOnRack)},
        {"ChangeCardNo.3", formula + R"( accesses, \fIC\fP )" + pausesOf},
        {"ChangeCardNo.3",
         fmt::format(R"({} + \fIP\fP accesses for the write and {} for the read back, and {} )",
                     kEepromWriteAccesses, kEepromReadAccesses,
                     kEepromWritePauses + kEepromReadPauses) +
             pausesOf},
        {"ChangeCardNo.3", fmt::format("{} when it never gets ready", slotscan::kEepromReadyPolls)},
        {"ChangeCardNo.3", fmt::format("({} devices, EEPROMs that answer busy {} times) {}:",
                                       devices, busyReads, renumberOnRack)},
        {"ChangeCardNo.3",
         fmt::format("{} for the scan, {} for the write and {} for the read back", lookup.accesses,
                     kEepromWriteAccesses + busyReads + 1, kEepromReadAccesses)},
        {"ChangeCardNo.3", fmt::format("costs the {} of the scan", lookup.accesses)},
    };
    for (const Statement& statement : statements) {
        EXPECT_NE(pageText(statement.page).find(statement.text), std::string::npos)
            << statement.page << " does not say: " << statement.text;
    }
}

}  // namespace
