// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// Renumbering: the change is kept by the card and seen by the next process; refusals and
// writes the card does not keep leave an exit status of 1.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cardnum_process.h"

namespace {

using cardnum_test::Workspace;

class Set : public ::testing::Test {
  protected:
    // Card numbers in table order, as a new process sees them.
    std::vector<int> numbers() const {
        const auto run = ws.cardnum(rack, {"list", "--json"});
        EXPECT_EQ(run.exitCode, 0) << run;
        const nlohmann::json list = run.json();
        std::vector<int> result;
        for (const auto& card : list.at("cards")) result.push_back(card.at("card_no"));
        return result;
    }

    void useRack(const std::string& name) { rack = ws.rack(name); }

    Workspace ws;
    std::string rack = ws.rack("three.toml");
};

TEST_F(Set, ByCardNumberIsSeenByTheNextProcess) {
    const auto run = ws.cardnum(rack, {"set", "--card", "2", "7"});
    ASSERT_EQ(run.exitCode, 0) << run;
    EXPECT_EQ(run.out, "Renumbered card #1 (slot 00:0b): number 2 -> 7\n");
    EXPECT_EQ(numbers(), (std::vector<int>{1, 7, 3}));
    EXPECT_EQ(ws.cardnum(rack, {"find", "2"}).exitCode, 1);
    const auto found = ws.cardnum(rack, {"find", "7", "--json"});
    ASSERT_EQ(found.exitCode, 0) << found;
    EXPECT_EQ(found.json().at("card").at("slot"), "00:0b");
}

TEST_F(Set, ByIndexReachesTheCardAtThatPosition) {
    const auto run = ws.cardnum(rack, {"set", "--index", "2", "0x10"});
    ASSERT_EQ(run.exitCode, 0) << run;
    EXPECT_EQ(numbers(), (std::vector<int>{1, 2, 16}));
}

TEST_F(Set, NegativeNumbersAreStoredAsTheir16BitWord) {
    ASSERT_EQ(ws.cardnum(rack, {"set", "--index", "0", "-2"}).exitCode, 0);
    EXPECT_EQ(numbers(), (std::vector<int>{65534, 2, 3}));
    EXPECT_EQ(ws.cardnum(rack, {"find", "65534"}).exitCode, 0);
    ASSERT_EQ(ws.cardnum(rack, {"set", "--card", "-2", "4"}).exitCode, 0);
    EXPECT_EQ(numbers(), (std::vector<int>{4, 2, 3}));
}

TEST_F(Set, NumberAnotherCardCarriesIsRefusedUnlessForced) {
    const auto refused = ws.cardnum(rack, {"set", "--card", "1", "3"});
    EXPECT_EQ(refused.exitCode, 1) << refused;
    EXPECT_NE(refused.err.find("already carries number 3"), std::string::npos) << refused;
    EXPECT_NE(refused.err.find("--force"), std::string::npos) << refused;
    EXPECT_EQ(numbers(), (std::vector<int>{1, 2, 3}));

    const auto forced = ws.cardnum(rack, {"set", "--card", "1", "3", "--force"});
    EXPECT_EQ(forced.exitCode, 0) << forced;
    EXPECT_NE(forced.err.find("2 cards now carry number 3"), std::string::npos) << forced;
    EXPECT_EQ(numbers(), (std::vector<int>{3, 2, 3}));
}

TEST_F(Set, RewritingACardWithItsOwnNumberIsNoConflict) {
    const auto run = ws.cardnum(rack, {"set", "--index", "1", "2"});
    EXPECT_EQ(run.exitCode, 0) << run;
    EXPECT_EQ(numbers(), (std::vector<int>{1, 2, 3}));
}

TEST_F(Set, DryRunShowsTheChangeAndWritesNothing) {
    const auto run = ws.cardnum(rack, {"set", "--index", "0", "42", "--dry-run"});
    ASSERT_EQ(run.exitCode, 0) << run;
    EXPECT_NE(run.out.find("number 1 -> 42"), std::string::npos) << run;
    EXPECT_EQ(numbers(), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(ws.cardnum(rack, {"set", "--index", "0", "2", "--dry-run"}).exitCode, 1)
        << "a dry run still refuses a number another card carries";
}

TEST_F(Set, NoSuchCardExitsOne) {
    const auto byNumber = ws.cardnum(rack, {"set", "--card", "9", "4"});
    EXPECT_EQ(byNumber.exitCode, 1) << byNumber;
    EXPECT_NE(byNumber.err.find("no card numbered 9"), std::string::npos) << byNumber;
    const auto byIndex = ws.cardnum(rack, {"set", "--index", "3", "4"});
    EXPECT_EQ(byIndex.exitCode, 1) << byIndex;
    EXPECT_NE(byIndex.err.find("no card at index 3"), std::string::npos) << byIndex;
    EXPECT_EQ(numbers(), (std::vector<int>{1, 2, 3}));
}

TEST_F(Set, WriteProtectedCardFailsWithTheNumberItStillHolds) {
    useRack("writeprotected.toml");
    const auto run = ws.cardnum(rack, {"set", "--card", "3", "4"});
    EXPECT_EQ(run.exitCode, 1) << run;
    EXPECT_TRUE(run.out.empty()) << "nothing may claim success\n" << run;
    EXPECT_NE(run.err.find("renumbering failed"), std::string::npos) << run;
    EXPECT_NE(run.err.find("still reads 3 after writing 4"), std::string::npos) << run;
    EXPECT_NE(run.err.find("write-protected"), std::string::npos) << run;
    EXPECT_EQ(numbers(), (std::vector<int>{1, 3}));
}

TEST_F(Set, CardWithoutEepromFailsAndSaysWhy) {
    useRack("noeeprom.toml");
    const auto run = ws.cardnum(rack, {"set", "--index", "1", "4"});
    EXPECT_EQ(run.exitCode, 1) << run;
    EXPECT_NE(run.err.find("no EEPROM"), std::string::npos) << run;
}

TEST_F(Set, IdOptionRenumbersACardWithOtherIds) {
    useRack("otherid.toml");
    const auto run = ws.cardnum(rack, {"set", "--id", "1234:5678", "--card", "2", "1"});
    EXPECT_EQ(run.exitCode, 0) << run << "\nnumber 1 is carried only by a card of other IDs";
    const auto found = ws.cardnum(rack, {"find", "1", "--id", "1234:5678", "--json"});
    ASSERT_EQ(found.exitCode, 0) << found;
    EXPECT_EQ(found.json().at("card").at("slot"), "00:0b");
}

// A set of new cards numbered and checked with cardnum alone.
TEST_F(Set, NewCardsAreNumberedCheckedAndFoundByNumber) {
    useRack("new.toml");
    const auto before = ws.cardnum(rack, {"doctor", "--json"});
    EXPECT_EQ(before.exitCode, 1) << before;
    EXPECT_EQ(before.json().at("findings").size(), 3U) << "one unnumbered card each";

    for (int i = 0; i < 3; ++i) {
        const auto run =
            ws.cardnum(rack, {"set", "--index", std::to_string(i), std::to_string(i + 1)});
        ASSERT_EQ(run.exitCode, 0) << run;
        EXPECT_NE(run.out.find("number 65535 (0xFFFF) -> " + std::to_string(i + 1)),
                  std::string::npos)
            << run;
    }
    const auto after = ws.cardnum(rack, {"doctor"});
    EXPECT_EQ(after.exitCode, 0) << after;
    const std::vector<std::pair<std::string, std::string>> expected{
        {"1", "0x0300"}, {"2", "0x0320"}, {"3", "0x0340"}};
    for (const auto& [number, ioBase] : expected) {
        const auto found = ws.cardnum(rack, {"find", number});
        ASSERT_EQ(found.exitCode, 0) << found;
        EXPECT_NE(found.out.find("I/O base " + ioBase), std::string::npos) << found;
    }
}

// A renumbering the simulated PC cannot save did not happen: status 1, the reason names the
// file, and the card keeps its number, in this process and the next.
struct SaveFault {
    const char* what;
    std::string firstLine;       // put before three.toml
    std::string folderInTheWay;  // made where the simulated PC needs a file
    std::string named;           // what the message must name, in the workspace
};
void PrintTo(const SaveFault& fault, std::ostream* out) {
    *out << fault.what;
}

class UnsavedRenumbering : public ::testing::TestWithParam<SaveFault> {};

TEST_P(UnsavedRenumbering, ExitsOneNamingTheFileAndKeepsTheOldNumber) {
    Workspace ws;
    std::stringstream three;
    three << std::ifstream(std::string(CARDNUM_TEST_RACKS) + "/three.toml").rdbuf();
    const auto rackFile = ws.dir() / "three.toml";
    std::ofstream(rackFile) << GetParam().firstLine << '\n' << three.str();
    if (!GetParam().folderInTheWay.empty()) {
        std::filesystem::create_directories(ws.dir() / GetParam().folderInTheWay);
    }
    const std::string rack = "sim:" + rackFile.string();

    const auto run = ws.cardnum(rack, {"set", "--card", "2", "7"});
    EXPECT_EQ(run.exitCode, 1) << run;
    EXPECT_NE(run.err.find((ws.dir() / GetParam().named).string()), std::string::npos) << run;
    EXPECT_NE(run.err.find("still reads 2"), std::string::npos) << run;
    EXPECT_EQ(ws.cardnum(rack, {"find", "2"}).exitCode, 0);
    EXPECT_EQ(ws.cardnum(rack, {"find", "7"}).exitCode, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, UnsavedRenumbering,
    ::testing::Values(SaveFault{"ImageFolderMissing", "eeprom_image = \"gone/three.json\"", "",
                                "gone/three.json"},
                      SaveFault{"LockFileIsAFolder", "", "three.eeprom.json.lock",
                                "three.eeprom.json.lock"}),
    [](const auto& param) { return std::string(param.param.what); });

}  // namespace
