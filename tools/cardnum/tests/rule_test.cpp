// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// cardnum rule: the udev rule for cards of given IDs, with the lines that install and
// apply it, and a grant that covers every I/O range of a matching device.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <regex>

#include "advice.h"
#include "cardnum_process.h"

namespace {

using cardnum_test::Workspace;

struct RuleCase {
    const char* option;    // --pci or --id
    const char* id;        // its IDs, or "" for the library's own
    const char* match;     // the rule's match part
    const char* fileName;  // where the install line puts it
    const char* trigger;   // the trigger line's matches
};

class Rule : public ::testing::TestWithParam<RuleCase> {};

TEST_P(Rule, MatchesTheIdsAndSaysHowToInstallAndApplyIt) {
    const RuleCase& c = GetParam();
    Workspace ws;
    std::vector<std::string> args = {"rule"};
    if (*c.id != '\0') args.insert(args.end(), {c.option, c.id});
    const auto run = ws.cardnum("none", args);
    ASSERT_EQ(run.exitCode, 0) << run;
    EXPECT_NE(run.out.find(std::string("ACTION==\"add|bind\", SUBSYSTEM==\"pci\", ") + c.match +
                           ", \\\n  RUN+="),
              std::string::npos)
        << run;
    EXPECT_NE(run.out.find(std::string("sudo tee /etc/udev/rules.d/") + c.fileName),
              std::string::npos)
        << run;
    EXPECT_NE(run.out.find("sudo udevadm control --reload"), std::string::npos) << run;
    EXPECT_NE(run.out.find(std::string("sudo udevadm trigger --subsystem-match=pci ") + c.trigger +
                           " --action=add"),
              std::string::npos)
        << run;
}

INSTANTIATE_TEST_SUITE_P(
    Ids, Rule,
    ::testing::Values(
        RuleCase{"--pci", "", R"(ATTR{vendor}=="0x10b5", ATTR{device}=="0x9050")",
                 "60-portvex.rules", "--attr-match=vendor=0x10b5 --attr-match=device=0x9050"},
        RuleCase{
            "--pci", "1498:30c8:6:5",
            R"(ATTR{vendor}=="0x1498", ATTR{device}=="0x30c8", ATTR{subsystem_vendor}=="0x0006", ATTR{subsystem_device}=="0x0005")",
            "60-portvex-1498-30c8-0006-0005.rules",
            "--attr-match=vendor=0x1498 --attr-match=device=0x30c8 "
            "--attr-match=subsystem_vendor=0x0006 --attr-match=subsystem_device=0x0005"},
        RuleCase{"--pci", "1498:", R"(ATTR{vendor}=="0x1498")", "60-portvex-1498-0000.rules",
                 "--attr-match=vendor=0x1498"},
        // Each ID set has a file of its own: installing one never replaces another's.
        RuleCase{
            "--pci", "10b5:9050:1:1",
            R"(ATTR{vendor}=="0x10b5", ATTR{device}=="0x9050", ATTR{subsystem_vendor}=="0x0001", ATTR{subsystem_device}=="0x0001")",
            "60-portvex-10b5-9050-0001-0001.rules",
            "--attr-match=vendor=0x10b5 --attr-match=device=0x9050 "
            "--attr-match=subsystem_vendor=0x0001 --attr-match=subsystem_device=0x0001"},
        RuleCase{
            "--id", "9050:10b5:2:0",
            R"(ATTR{vendor}=="0x10b5", ATTR{device}=="0x9050", ATTR{subsystem_device}=="0x0002")",
            "60-portvex-10b5-9050-0000-0002.rules",
            "--attr-match=vendor=0x10b5 --attr-match=device=0x9050 "
            "--attr-match=subsystem_device=0x0002"}));

// The rule installed with the tools is checked in; it is what `cardnum rule` prints.
TEST(DefaultRule, IsWhatCardnumRulePrints) {
    Workspace ws;
    const auto run = ws.cardnum("none", {"rule"});
    ASSERT_EQ(run.exitCode, 0) << run;
    std::ifstream file(CARDNUM_DEFAULT_RULE);
    const std::string installed((std::istreambuf_iterator<char>(file)),
                                std::istreambuf_iterator<char>());
    EXPECT_EQ(run.out, installed) << "regenerate it: cardnum rule > packaging/60-portvex.rules";
}

TEST(RuleRefusal, VendorAndDeviceZeroWouldCoverEveryDevice) {
    Workspace ws;
    const auto run = ws.cardnum("none", {"rule", "--id", "0:0"});
    EXPECT_EQ(run.exitCode, 2) << run;
    EXPECT_TRUE(run.out.empty()) << run;
    EXPECT_NE(run.err.find("every PCI device"), std::string::npos) << run;
}

// The rule's command, run by a shell on a stand-in device folder (its file-changing
// commands replaced by echo): it grants the resource files of the I/O BARs, BAR1 and
// BAR4 here, and no memory BAR, unassigned BAR or bridge window.
TEST(RuleGrant, CoversEveryIoRangeOfTheDevice) {
    Workspace ws;
    const auto rule = ws.cardnum("none", {"rule"});
    ASSERT_EQ(rule.exitCode, 0) << rule;
    std::smatch run;
    ASSERT_TRUE(std::regex_search(rule.out, run, std::regex(R"(RUN\+="([^"]*)\")"))) << rule;
    std::string command = run[1];
    const auto device = ws.dir() / "device";
    std::filesystem::create_directories(device);
    std::ofstream(device / "resource")
        << "0x00000000f9201000 0x00000000f920107f 0x0000000000040200\n"
           "0x000000000000e000 0x000000000000e07f 0x0000000000040101\n"
           "0x0000000000000000 0x0000000000000000 0x0000000000000000\n"
           "0x0000000000000000 0x0000000000000000 0x0000000000000000\n"
           "0x000000000000d000 0x000000000000d00f 0x0000000000040101\n"
           "0x0000000000000000 0x0000000000000000 0x0000000000000000\n"
           "0x0000000000000000 0x0000000000000000 0x0000000000000000\n"
           "0x000000000000c000 0x000000000000cfff 0x0000000000000101\n";
    for (const char* file : {"resource0", "resource1", "resource4", "resource7"}) {
        std::ofstream(device / file).put('\0');
    }
    command = std::regex_replace(command, std::regex("/sys%p"), device.string());
    command = std::regex_replace(command, std::regex(R"(\$\$)"), "$");
    command = std::regex_replace(command, std::regex("chgrp portvex|chmod 0660"), "echo");
    const auto log = ws.dir() / "granted.txt";
    ASSERT_EQ(std::system((command + " > " + log.string()).c_str()), 0) << command;
    std::ifstream in(log);
    const std::string granted((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
    const std::string one = device.string() + "/resource1\n";
    const std::string four = device.string() + "/resource4\n";
    EXPECT_EQ(granted, one + one + four + four);
}

// A portvex refusal names the device's IDs as lspci writes them, and tells to install a
// rule for them; given to `cardnum rule --pci`, they are spelt back the same way, named
// field by field the same way, and make the rule for that very device.
TEST(RuleForRefusedDevice, SpellsTheIdsAsThePortvexRefusalDoes) {
    portvex::advice::RefusedRange range;
    range.where = range.path = "/sys/bus/pci/devices/0000:00:05.0/resource1";
    range.device = "0000:00:05.0";
    range.ids = 0x56781234;  // the first configuration dword: device 5678, vendor 1234
    range.bar = 1;
    range.standing = portvex::advice::Standing::RuleMissing;
    const std::string refusal = portvex::advice::refused(range);
    std::smatch ids;
    ASSERT_TRUE(std::regex_search(refusal, ids, std::regex(R"(BAR1 of 0000:00:05\.0 \(([^)]*)\))")))
        << refusal;
    std::smatch named;
    ASSERT_TRUE(std::regex_search(
        refusal, named, std::regex("rule for the IDs " + ids[1].str() + R"( \(([^;]*);)")))
        << refusal;
    EXPECT_EQ(ids[1], "1234:5678") << "vendor first, as lspci -n writes it";

    Workspace ws;
    const auto rule = ws.cardnum("none", {"rule", "--pci", ids[1]});
    ASSERT_EQ(rule.exitCode, 0) << rule;
    EXPECT_NE(rule.out.find("# with IDs " + ids[1].str() + " (" + named[1].str() + ")"),
              std::string::npos)
        << refusal << '\n'
        << rule;
    EXPECT_NE(rule.out.find("cardnum rule --pci " + ids[1].str() + " |"), std::string::npos)
        << rule;
    EXPECT_NE(rule.out.find(R"(ATTR{vendor}=="0x1234", ATTR{device}=="0x5678")"), std::string::npos)
        << rule;
}

}  // namespace
