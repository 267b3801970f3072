// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// Capturing a machine as a rack, and replaying the capture on the simulated PC: the library,
// its trace and cardnum must answer as the machine did.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <toml++/toml.h>

#include "cardnum_process.h"

namespace {

namespace fs = std::filesystem;
using cardnum_test::Run;
using cardnum_test::Workspace;
using nlohmann::json;

std::string readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// What differs between two runs on one machine: the pauses' measured lengths in a trace,
// the clock in a metrics page.
std::string withoutClock(const std::string& text) {
    static const std::regex pause(R"(^P [0-9.]+ ms$)", std::regex::multiline);
    static const std::regex clock(R"(^(slotscan_scan_(timestamp|duration)_seconds) .*$)",
                                  std::regex::multiline);
    return std::regex_replace(std::regex_replace(text, pause, "P"), clock, "$1");
}

// doctor --json without the port layer's status, which names the rack file.
json withoutPortStatus(json document) {
    document.at("port").erase("status");
    return document;
}

struct Bundled {
    const char* rack;
    std::vector<std::string> renumberings;  // OLD NEW INDEX NEW2, on cards that take writes
};

class CaptureOfBundledRack : public ::testing::TestWithParam<Bundled> {};

TEST_P(CaptureOfBundledRack, ReplaysEveryOperationTraceAndReportAlike) {
    Workspace ws;
    fs::create_directory(ws.dir() / "machine");
    const fs::path original = ws.dir() / "machine" / GetParam().rack;
    fs::copy_file(fs::path(CARDNUM_EXAMPLE_RACKS) / GetParam().rack, original);
    const fs::path captured = ws.dir() / "captured.toml";

    const Run capture =
        ws.cardnum("sim:" + original.string(), {"capture", "--output", captured.string()});
    ASSERT_EQ(capture.exitCode, 0) << capture;
    EXPECT_EQ(capture.out.rfind("Captured ", 0), 0U) << capture;
    EXPECT_NE(capture.out.find("captured.eeprom.json"), std::string::npos) << capture;
    ASSERT_TRUE(fs::exists(ws.dir() / "captured.eeprom.json"));

    const std::vector<std::vector<std::string>> reports = {
        {"list", "--json"}, {"doctor", "--json"}, {"list", "--format", "prometheus"}};
    for (const auto& args : reports) {
        const Run before = ws.cardnum("sim:" + original.string(), args);
        const Run after = ws.cardnum("sim:" + captured.string(), args);
        EXPECT_EQ(after.exitCode, before.exitCode) << after;
        if (args[0] == "doctor") {
            EXPECT_EQ(withoutPortStatus(after.json()), withoutPortStatus(before.json()));
        } else {
            EXPECT_EQ(withoutClock(after.out), withoutClock(before.out)) << args[1];
        }
    }

    const fs::path traceBefore = ws.dir() / "before.trace", traceAfter = ws.dir() / "after.trace";
    const Run before = ws.program(REPLAY_OPERATIONS, "sim:" + original.string(),
                                  GetParam().renumberings, {"PORTVEX_TRACE=" + traceBefore.string()});
    const Run after = ws.program(REPLAY_OPERATIONS, "sim:" + captured.string(),
                                 GetParam().renumberings, {"PORTVEX_TRACE=" + traceAfter.string()});
    ASSERT_EQ(before.exitCode, 0) << before;
    EXPECT_NE(before.out.find("ChangeCardNo(") , std::string::npos) << before;
    EXPECT_EQ(after.out, before.out);
    const std::string traced = readFile(traceBefore);
    EXPECT_GT(traced.size(), 100000U) << "every operation traced";
    EXPECT_TRUE(withoutClock(readFile(traceAfter)) == withoutClock(traced))
        << "traces differ: diff " << traceBefore << ' ' << traceAfter;
}

INSTANTIATE_TEST_SUITE_P(
    Bundled, CaptureOfBundledRack,
    ::testing::Values(Bundled{"rack3.toml", {"2", "12", "0", "21"}},
                      Bundled{"rack10.toml", {"4", "14", "1", "11"}},
                      Bundled{"dio32.toml", {"1", "2", "0", "3"}},
                      // 00:10.0 (number 9) and 00:12.0 (index 8) are the cards whose EEPROMs
                      // take writes as sound parts do; the others' write faults show only
                      // when written, and a capture never writes.
                      Bundled{"faults.toml", {"9", "19", "8", "12"}}),
    [](const auto& info) { return fs::path(info.param.rack).stem().string(); });

// A capture reads; its only writes are configuration addresses and the EEPROM lines of
// cards. Parts that do not answer are told by their fault, with no words.
TEST(Capture, WritesOnlyAddressesAndEepromLinesAndTellsFaults) {
    Workspace ws;
    const std::string rack = ws.rack(std::string(CARDNUM_EXAMPLE_RACKS) + "/faults.toml");
    const fs::path trace = ws.dir() / "capture.trace";
    const Run run = ws.cardnum(rack, {"capture"}, {"PORTVEX_TRACE=" + trace.string()});
    ASSERT_EQ(run.exitCode, 0) << run;

    std::istringstream lines(readFile(trace));
    std::map<std::string, int> writes;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("W ", 0) == 0) ++writes[line.substr(2, 4)];
    }
    EXPECT_EQ(writes.count("0cfc"), 0U) << "configuration space is never written";
    for (const auto& [port, count] : writes) {
        EXPECT_TRUE(port == "0cf8" || port.substr(2) == "50" || port.substr(2) == "d0")
            << "write to port " << port;
    }

    const toml::table rack_ = toml::parse(run.out);
    std::map<std::string, std::string> faults;
    std::set<std::string> withWords;
    for (const auto& node : *rack_["card"].as_array()) {
        const auto& card = *node.as_table();
        const std::string slot = card["slot"].value_or("");
        if (const auto* f = card["faults"].as_array()) faults[slot] = f->get(0)->value_or("");
        if (card.contains("eeprom")) withWords.insert(slot);
    }
    EXPECT_EQ(faults, (std::map<std::string, std::string>{
                          {"00:0b.0", "do-stuck-0"}, {"00:0c.0", "do-stuck-1"},
                          {"00:0d.0", "no-eeprom"}}));
    for (const auto& [slot, fault] : faults) EXPECT_EQ(withWords.count(slot), 0U) << slot;
    EXPECT_EQ(withWords.count("00:0f.0"), 0U) << "BAR1 in memory space: not read";
    EXPECT_EQ(withWords.size(), 8U);
}

TEST(Capture, RefusesWithoutPortAccessAndWritesNothing) {
    Workspace ws;
    const fs::path output = ws.dir() / "never.toml";
    const Run run = ws.cardnum("none", {"capture", "--output", output.string()});
    EXPECT_EQ(run.exitCode, 3) << run;
    EXPECT_NE(run.err.find("no port access"), std::string::npos) << run;
    EXPECT_FALSE(fs::exists(output));
}

}  // namespace
