// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// The doctor names each planted problem once, says what it means and what to do, and is
// quiet on a healthy rack.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "cardnum_process.h"

namespace {

using cardnum_test::Workspace;
using nlohmann::json;

struct Planted {
    const char* rack;
    const char* kind;
    const char* where;
    const char* mentions;  // a word the explanation must contain
};

void PrintTo(const Planted& p, std::ostream* out) {
    *out << p.rack;
}

class DoctorFinds : public ::testing::TestWithParam<Planted> {};

TEST_P(DoctorFinds, ThePlantedProblemAndNothingElse) {
    const Planted& planted = GetParam();
    Workspace ws;
    const auto rack = ws.rack(planted.rack);

    const auto run = ws.cardnum(rack, {"doctor", "--json"});
    EXPECT_EQ(run.exitCode, 1) << run;
    const json report = run.json();
    EXPECT_EQ(report.at("healthy"), false);
    ASSERT_EQ(report.at("findings").size(), 1U) << report.dump(2);
    const json& finding = report.at("findings").at(0);
    EXPECT_EQ(finding.at("kind"), planted.kind);
    EXPECT_EQ(finding.at("where"), planted.where);
    const std::string explained = finding.at("what").get<std::string>() + ' ' +
                                  finding.at("meaning").get<std::string>() + ' ' +
                                  finding.at("action").get<std::string>();
    EXPECT_NE(explained.find(planted.mentions), std::string::npos) << explained;
    EXPECT_FALSE(finding.at("action").get<std::string>().empty());

    const auto text = ws.cardnum(rack, {"doctor"});
    EXPECT_EQ(text.exitCode, 1) << text;
    EXPECT_NE(text.out.find("Problem 1: "), std::string::npos) << text;
    EXPECT_NE(text.out.find("To do:"), std::string::npos) << text;
    EXPECT_EQ(text.out.find("Problem 2: "), std::string::npos) << text;
}

INSTANTIATE_TEST_SUITE_P(
    Racks, DoctorFinds,
    ::testing::Values(Planted{"bus5.toml", "bus-not-scanned", "05:00.0", "bus 5"},
                      Planted{"function1.toml", "not-function-0", "00:0e.1", "function 1"},
                      Planted{"membar.toml", "bar-not-io", "00:0f.0", "BAR1 is a memory range"},
                      Planted{"ten.toml", "beyond-table", "02:06.0", "10th"},
                      Planted{"shared.toml", "shared-number", "00:0c.0", "cardnum set --index 2"},
                      Planted{"noeeprom.toml", "no-eeprom", "00:0b.0", "bit 28"},
                      Planted{"unprogrammed.toml", "unprogrammed", "00:0b.0",
                              "cardnum set --index 1"},
                      Planted{"empty.toml", "no-cards", "", "10b5:9050"}),
    [](const ::testing::TestParamInfo<Planted>& param) {
        std::string name = param.param.rack;
        return name.substr(0, name.find('.'));
    });

TEST(Doctor, HealthyRackHasNoFindings) {
    Workspace ws;
    const auto rack = ws.rack("three.toml");
    const auto text = ws.cardnum(rack, {"doctor"});
    EXPECT_EQ(text.exitCode, 0) << text;
    EXPECT_NE(text.out.find("No problems found."), std::string::npos) << text;
    EXPECT_EQ(text.out.find("Problem"), std::string::npos) << text;

    const auto run = ws.cardnum(rack, {"doctor", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run;
    const json report = run.json();
    EXPECT_EQ(report.at("healthy"), true);
    EXPECT_EQ(report.at("cards"), 3);
    EXPECT_TRUE(report.at("findings").empty());
    EXPECT_EQ(report.at("port").at("backend"), "sim");
}

TEST(Doctor, LooksForTheIdsGiven) {
    Workspace ws;
    const auto rack = ws.rack("otherid.toml");
    const auto run = ws.cardnum(rack, {"doctor", "--json", "--pci", "5678:1234"});
    ASSERT_EQ(run.exitCode, 0) << run;
    EXPECT_EQ(run.json().at("cards"), 1);
}

TEST(Doctor, SuggestsIdsOfLookAlikeCardsWhenNoneMatch) {
    Workspace ws;
    const auto rack = ws.rack("otherid.toml");
    const auto run = ws.cardnum(rack, {"doctor", "--json", "--pci", "2222:1111"});
    EXPECT_EQ(run.exitCode, 1) << run;
    const json finding = run.json().at("findings").at(0);
    EXPECT_EQ(finding.at("kind"), "no-cards");
    EXPECT_NE(finding.at("action").get<std::string>().find("5678:1234 at 00:0b.0"),
              std::string::npos)
        << finding.dump(2);
}

TEST(Doctor, RenumberingAsAdvisedHealsSharedNumbers) {
    Workspace ws;
    const auto rack = ws.rack("shared.toml");
    ASSERT_EQ(ws.cardnum(rack, {"doctor"}).exitCode, 1);
    ASSERT_EQ(ws.cardnum(rack, {"set", "--index", "2", "3"}).exitCode, 0);
    const auto run = ws.cardnum(rack, {"doctor"});
    EXPECT_EQ(run.exitCode, 0) << run;
}

struct SharedNumber {
    std::string rack;
    int number;
    int reached;                  // the index a lookup by the number reaches
    std::vector<int> toRenumber;  // the indexes the findings name, in order
};

void PrintTo(const SharedNumber& c, std::ostream* out) {
    *out << c.rack;
}

class SharedNumbers : public ::testing::TestWithParam<SharedNumber> {};

// A shared-number finding names the card to act on: its `where` and `index` are the card
// its action renumbers and the slot the fleet view labels; the card lookups reach is
// reached_index. Text, JSON and metrics tell the same findings, and acting on `index`
// heals the number.
TEST_P(SharedNumbers, NameTheCardToActOnAlikeInTextJsonAndMetrics) {
    const SharedNumber& c = GetParam();
    Workspace ws;
    const auto rack = ws.rack(c.rack);
    const json cards = ws.cardnum(rack, {"list", "--json"}).json().at("cards");
    auto slotAt = [&](int index) {
        return cards.at(static_cast<std::size_t>(index)).at("slot").get<std::string>() + ".0";
    };

    const auto run = ws.cardnum(rack, {"doctor", "--json"});
    ASSERT_EQ(run.exitCode, 1) << run;
    const json findings = run.json().at("findings");
    const auto text = ws.cardnum(rack, {"doctor"});
    const auto metrics = ws.cardnum(rack, {"list", "--format", "prometheus"});
    std::map<std::string, int> fromJson;
    std::vector<int> named;
    for (std::size_t i = 0; i < findings.size(); ++i) {
        const json& f = findings.at(i);
        ++fromJson["slotscan_problems{kind=\"" + f.at("kind").get<std::string>() + "\",slot=\"" +
                   f.at("where").get<std::string>() + "\"}"];
        EXPECT_NE(text.out.find("Problem " + std::to_string(i + 1) + ": " +
                                f.at("what").get<std::string>() +
                                "\n  Meaning: " + f.at("meaning").get<std::string>() +
                                "\n  To do:   " + f.at("action").get<std::string>() + "\n"),
                  std::string::npos)
            << f.dump(2) << '\n'
            << text;
        if (f.at("kind") != "shared-number") continue;
        const int index = f.at("index");
        named.push_back(index);
        EXPECT_EQ(f.at("where"), slotAt(index)) << f.dump(2);
        EXPECT_NE(f.at("action").get<std::string>().find("cardnum set --index " +
                                                         std::to_string(index) + " NEW"),
                  std::string::npos)
            << f.dump(2);
        EXPECT_EQ(f.at("reached_index"), c.reached) << f.dump(2);
        EXPECT_EQ(f.at("reached_where"), slotAt(c.reached)) << f.dump(2);
    }
    EXPECT_EQ(named, c.toRenumber);
    std::map<std::string, int> fromMetrics;
    std::istringstream lines(metrics.out);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("slotscan_problems{", 0) != 0) continue;
        const auto space = line.rfind(' ');
        fromMetrics[line.substr(0, space)] += std::stoi(line.substr(space + 1));
    }
    EXPECT_EQ(fromMetrics, fromJson) << metrics;
    EXPECT_NE(
        metrics.out.find("\nslotscan_machine_problems " + std::to_string(findings.size()) + "\n"),
        std::string::npos)
        << metrics;

    const auto lookup = ws.cardnum(rack, {"find", std::to_string(c.number), "--json"});
    EXPECT_EQ(lookup.json().at("card").at("index"), c.reached) << lookup;
    int fresh = 100;
    for (const int index : named) {
        const auto set =
            ws.cardnum(rack, {"set", "--index", std::to_string(index), std::to_string(fresh++)});
        ASSERT_EQ(set.exitCode, 0) << set;
        EXPECT_NE(set.out.find("(slot " + slotAt(index).substr(0, 5) + ")"), std::string::npos)
            << set;
    }
    const json after = ws.cardnum(rack, {"doctor", "--json"}).json().at("findings");
    for (const json& f : after) EXPECT_NE(f.at("kind"), "shared-number") << f.dump(2);
    EXPECT_EQ(ws.cardnum(rack, {"find", std::to_string(c.number), "--json"})
                  .json()
                  .at("card")
                  .at("index"),
              c.reached);
}

INSTANTIATE_TEST_SUITE_P(
    Racks, SharedNumbers,
    ::testing::Values(SharedNumber{CARDNUM_EXAMPLE_RACKS "/faults.toml", 9, 6, {7}},
                      SharedNumber{"shared_three.toml", 7, 0, {2, 3}}),
    [](const ::testing::TestParamInfo<SharedNumber>& param) {
        return param.index == 0 ? std::string("faults") : std::string("three_sharing");
    });

TEST(PortAccess, WithoutAMachineEveryCommandExitsThreeAndSaysWhy) {
    Workspace ws;
    const std::vector<std::string> unreachable{"none",
                                               "sim:" + (ws.dir() / "missing.toml").string()};
    for (const std::string& portvex : unreachable) {
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"list"}, {"find", "1"}, {"set", "--index", "0", "1"}}) {
            const auto run = ws.cardnum(portvex, args);
            EXPECT_EQ(run.exitCode, 3) << portvex << ' ' << args[0] << '\n' << run;
            EXPECT_NE(run.err.find("no port access"), std::string::npos) << run;
            EXPECT_TRUE(run.out.empty()) << run;
        }
        const auto doctor = ws.cardnum(portvex, {"doctor", "--json"});
        EXPECT_EQ(doctor.exitCode, 3) << doctor;
        const json report = doctor.json();
        EXPECT_EQ(report.at("port").at("ready"), false);
        ASSERT_EQ(report.at("findings").size(), 1U);
        EXPECT_EQ(report.at("findings").at(0).at("kind"), "no-port-access");
        EXPECT_EQ(report.at("findings").at(0).at("action"), report.at("port").at("status"));
    }
}

}  // namespace
