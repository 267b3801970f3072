// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// Capturing a machine as a rack, and replaying the capture on the simulated PC: the library,
// its trace and cardnum must answer as the machine did.
#include <fmt/format.h>
#include <gtest/gtest.h>
#include <toml++/toml.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <sstream>

#include "cardnum_process.h"
#include "fake_sysfs.h"

namespace {

namespace fs = std::filesystem;
using Result = cardnum_test::Run;
using cardnum_test::Workspace;
using nlohmann::json;

std::string readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// What differs between two runs on one machine: the clock in a metrics page, and a trace's
// pause lines ("P 1.062 ms"), which tell measured gaps of 0.5 ms or more between accesses:
// the library's waits, and on a busy machine any moment the process was not running.
std::string withoutClock(const std::string& text) {
    static const std::regex clock(R"(^(slotscan_scan_(timestamp|duration)_seconds) .*$)",
                                  std::regex::multiline);
    std::istringstream lines(text);
    std::string kept;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("P ", 0) != 0) kept += line + '\n';
    }
    return std::regex_replace(kept, clock, "$1");
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

    const Result capture =
        ws.cardnum("sim:" + original.string(), {"capture", "--output", captured.string()});
    ASSERT_EQ(capture.exitCode, 0) << capture;
    EXPECT_EQ(capture.out.rfind("Captured ", 0), 0U) << capture;
    EXPECT_NE(capture.out.find("captured.eeprom.json"), std::string::npos) << capture;
    ASSERT_TRUE(fs::exists(ws.dir() / "captured.eeprom.json"));

    const std::vector<std::vector<std::string>> reports = {
        {"list", "--json"}, {"doctor", "--json"}, {"list", "--format", "prometheus"}};
    for (const auto& args : reports) {
        const Result before = ws.cardnum("sim:" + original.string(), args);
        const Result after = ws.cardnum("sim:" + captured.string(), args);
        EXPECT_EQ(after.exitCode, before.exitCode) << after;
        if (args[0] == "doctor") {
            EXPECT_EQ(withoutPortStatus(after.json()), withoutPortStatus(before.json()));
        } else {
            EXPECT_EQ(withoutClock(after.out), withoutClock(before.out)) << args[1];
        }
    }

    const fs::path traceBefore = ws.dir() / "before.trace", traceAfter = ws.dir() / "after.trace";
    const Result before =
        ws.program(REPLAY_OPERATIONS, "sim:" + original.string(), GetParam().renumberings,
                   {"PORTVEX_TRACE=" + traceBefore.string()});
    const Result after =
        ws.program(REPLAY_OPERATIONS, "sim:" + captured.string(), GetParam().renumberings,
                   {"PORTVEX_TRACE=" + traceAfter.string()});
    ASSERT_EQ(before.exitCode, 0) << before;
    EXPECT_NE(before.out.find("ChangeCardNo("), std::string::npos) << before;
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
    [](const auto& param) { return fs::path(param.param.rack).stem().string(); });

// A capture reads; its only writes are configuration addresses and the EEPROM lines of
// cards. Parts that do not answer are told by their fault, with no words.
TEST(Capture, WritesOnlyAddressesAndEepromLinesAndTellsFaults) {
    Workspace ws;
    const std::string rack = ws.rack(std::string(CARDNUM_EXAMPLE_RACKS) + "/faults.toml");
    const fs::path trace = ws.dir() / "capture.trace";
    const Result run = ws.cardnum(rack, {"capture"}, {"PORTVEX_TRACE=" + trace.string()});
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
    EXPECT_EQ(faults,
              (std::map<std::string, std::string>{
                  {"00:0b.0", "do-stuck-0"}, {"00:0c.0", "do-stuck-1"}, {"00:0d.0", "no-eeprom"}}));
    for (const auto& [slot, fault] : faults) EXPECT_EQ(withWords.count(slot), 0U) << slot;
    EXPECT_EQ(withWords.count("00:0f.0"), 0U) << "BAR1 in memory space: not read";
    EXPECT_EQ(withWords.size(), 8U);

    // Standard output named as the file is printing: the same rack, words in it, no image.
    const Result printed = ws.cardnum(rack, {"capture", "--output", "/dev/stdout"});
    ASSERT_EQ(printed.exitCode, 0) << printed;
    EXPECT_EQ(toml::parse(printed.out)["card"][0]["eeprom"][0x38].value_or(0), 1);
    EXPECT_FALSE(fs::exists(ws.dir() / "stdout.eeprom.json"));
}

// What a command prints, or nothing when it cannot be run.
std::optional<std::string> outputOf(const std::string& command) {
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return std::nullopt;
    std::string text;
    char buffer[4096];
    for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
    if (pclose(pipe) != 0) return std::nullopt;
    return text;
}

// "00:02.0 1af4:1042" for each function, from lspci -n or from a rack.
std::vector<std::string> idsFromLspciN(const std::string& text) {
    std::vector<std::string> ids;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string slot, klass, pair;
        if (fields >> slot >> klass >> pair) ids.push_back(slot + " " + pair);
    }
    return ids;
}

std::vector<std::string> idsFromRack(const std::string& text) {
    std::vector<std::pair<std::string, std::string>> found;
    const toml::table rack = toml::parse(text);
    for (const char* kind : {"device", "card"}) {
        const auto* list = rack[kind].as_array();
        for (std::size_t i = 0; list != nullptr && i < list->size(); ++i) {
            const auto& entry = *list->get(i)->as_table();
            found.emplace_back(entry["slot"].value_or(std::string()),
                               fmt::format("{:04x}:{:04x}", entry["vendor"].value_or(0),
                                           entry["device"].value_or(0)));
        }
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> ids;
    for (const auto& [slot, pair] : found) ids.push_back(slot + " " + pair);
    return ids;
}

// This machine's own dumps, read as a rack and replayed: a capture through the simulated
// PC's ports finds every function lspci -n lists, with its IDs. Any ID counts as a card
// (--pci 0:0), so that the cards' path through the rack is taken too.
TEST(Capture, DumpOfThisMachineReplaysWhatLspciShows) {
    const auto listed = outputOf("lspci -n 2>/dev/null");
    if (!listed || listed->empty()) GTEST_SKIP() << "lspci cannot list this machine's devices";
    const auto expected = idsFromLspciN(*listed);
    Workspace ws;
    for (const std::string option : {"-x", "-xxx"}) {
        const auto dump = outputOf("lspci " + option + " 2>/dev/null");
        ASSERT_TRUE(dump.has_value()) << option;
        const fs::path dumpFile = ws.dir() / ("dump" + option + ".txt");
        std::ofstream(dumpFile) << *dump;
        for (const std::vector<std::string>& ids :
             {std::vector<std::string>{}, std::vector<std::string>{"--pci", "0:0"}}) {
            const fs::path rack = ws.dir() / "dumped.toml";
            std::vector<std::string> args{"capture", "--from-lspci-dump", dumpFile.string(),
                                          "--output", rack.string()};
            args.insert(args.end(), ids.begin(), ids.end());
            const Result read = ws.cardnum("none", args);
            ASSERT_EQ(read.exitCode, 0) << read;
            EXPECT_EQ(read.out.rfind(fmt::format("Read {} functions", expected.size()), 0), 0U)
                << read;
            const Result replayed = ws.cardnum("sim:" + rack.string(), {"capture"});
            ASSERT_EQ(replayed.exitCode, 0) << replayed;
            EXPECT_EQ(idsFromRack(replayed.out), expected) << option;
        }
    }
}

TEST(Capture, MalformedDumpIsRefusedWithItsLineAndNothingIsWritten) {
    Workspace ws;
    const fs::path dump = ws.dir() / "broken.txt", rack = ws.dir() / "rack.toml";
    std::ofstream(dump)
        << "00:00.0 Host bridge\n00: 86 80 37 12 03 01 00 00 02 00 00 06 00 00 00\n";
    const Result run = ws.cardnum(
        "none", {"capture", "--from-lspci-dump", dump.string(), "--output", rack.string()});
    EXPECT_EQ(run.exitCode, 2) << run;
    EXPECT_NE(run.err.find(dump.string() + ":2: expected sixteen bytes"), std::string::npos) << run;
    EXPECT_FALSE(fs::exists(rack));
    const Result missing = ws.cardnum("none", {"capture", "--from-lspci-dump", "/nonexistent"});
    EXPECT_EQ(missing.exitCode, 2) << missing;
    EXPECT_NE(missing.err.find("no such file"), std::string::npos) << missing;

    // Two cards on the same ports: a rack the simulated PC would refuse is not written.
    const fs::path clash = ws.dir() / "clash.txt";
    std::ofstream out(clash);
    for (const char* slot : {"00:0a.0", "00:0b.0"}) {
        out << slot << " Bridge\n"
            << "00: b5 10 50 90 03 00 80 02 01 00 80 06 00 00 00 00\n"
            << "10: 00 00 00 00 01 e0 00 00 00 00 00 00 00 00 00 00\n"
            << "20: 01 e1 00 00 00 00 00 00 00 00 00 00 b5 10 01 00\n"
            << "30: 00 00 00 00 00 00 00 00 00 00 00 00 0b 01 00 00\n\n";
    }
    out.close();
    const Result shared = ws.cardnum(
        "none", {"capture", "--from-lspci-dump", clash.string(), "--output", rack.string()});
    EXPECT_EQ(shared.exitCode, 1) << shared;
    EXPECT_NE(shared.err.find("card 00:0b.0 at 0xe000-0xe07f share ports with the local "
                              "registers of card 00:0a.0"),
              std::string::npos)
        << shared;
    EXPECT_FALSE(fs::exists(rack));
}

// Through the kernel's files: BAR4's size comes from the resource file, and a bridge that
// reports no EEPROM is neither clocked nor given words.
TEST(Capture, ThroughSysfsRecordsTheKernelsRangeSize) {
    using portvex::testing::FakeBar;
    using portvex::testing::kIoFlags;
    portvex::testing::FakeSysfs sys;
    portvex::testing::ConfigSpace card(0x10B5, 0x9050);
    card.set(0x14, 0xE001).set(0x20, 0xD001).set(0x3C, 0x0109);
    sys.addDevice("0000:00:00.0", portvex::testing::ConfigSpace(0x8086, 0x1237));
    sys.addDevice("0000:00:05.0", card,
                  {FakeBar{1, 0xE000, 0xE07F, kIoFlags}, FakeBar{4, 0xD000, 0xD01F, kIoFlags}});
    Workspace ws;
    const Result run = ws.cardnum("sysfs", {"capture"}, {"PORTVEX_SYSFS_ROOT=" + sys.root()});
    ASSERT_EQ(run.exitCode, 0) << run;
    const toml::table rack = toml::parse(run.out);
    EXPECT_NE(rack["description"].value_or(std::string()).find("through the sysfs backend"),
              std::string::npos);
    EXPECT_EQ(rack["card"][0]["bar4_size"].value_or(0), 32);
    EXPECT_EQ(rack["card"][0]["faults"][0].value_or(std::string()), "no-eeprom");
    EXPECT_EQ(rack["device"][0]["device"].value_or(0), 0x1237);
    const auto resource1 = sys.deviceDir("0000:00:05.0") / "resource1";
    for (uint64_t offset = 0; offset < 0x80; offset += 4)
        EXPECT_EQ(sys.fileDword(resource1, offset), 0U) << "nothing written at " << offset;
}

TEST(Capture, RefusesWithoutPortAccessAndWritesNothing) {
    Workspace ws;
    const fs::path output = ws.dir() / "never.toml";
    const Result run = ws.cardnum("none", {"capture", "--output", output.string()});
    EXPECT_EQ(run.exitCode, 3) << run;
    EXPECT_NE(run.err.find("no port access"), std::string::npos) << run;
    EXPECT_FALSE(fs::exists(output));
}

}  // namespace
