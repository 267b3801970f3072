// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// Parsing the kernel's PCI files: device folder names, `resource` tables, lockdown.
#include "sysfs_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "advice.h"

using namespace portvex::sysfs;

TEST(DeviceNameTest, AcceptsKernelNamesOnly) {
    const auto name = parseDeviceName("0000:1f:1e.7");
    ASSERT_TRUE(name);
    EXPECT_EQ(name->domain, 0U);
    EXPECT_EQ(name->bus, 0x1F);
    EXPECT_EQ(name->device, 0x1E);
    EXPECT_EQ(name->function, 7);
    const auto wideDomain = parseDeviceName("10000:00:00.0");
    ASSERT_TRUE(wideDomain);
    EXPECT_EQ(wideDomain->domain, 0x10000U);
    for (const char* bad : {"", ".", "..", "0000:00:20.0", "0000:00:00.8", "0000:0:00.0",
                            "0000:00:00.00", "pci0000:00", "0000:zz:00.0", ":00:00.0"}) {
        EXPECT_FALSE(parseDeviceName(bad)) << bad;
    }
}

TEST(IoBarsTest, KeepsPlacedIoBarsOfTheSixBarLinesOnly) {
    const char* bridgeResource =
        "0x00000000febf0000 0x00000000febf007f 0x0000000000040200\n"   // BAR0 memory
        "0x000000000000c000 0x000000000000c07f 0x0000000000040101\n"   // BAR1 I/O
        "0x0000000000000000 0x0000000000000000 0x0000000000000000\n"   // BAR2 unused
        "0x0000000000000000 0x000000000000001f 0x0000000020040101\n"   // BAR3 I/O, not placed
        "0x000000000000c100 0x000000000000c10f 0x0000000000040101\n"   // BAR4 I/O
        "0x0000000000010000 0x000000000001ffff 0x0000000000040101\n"   // BAR5 beyond 16 bits
        "0x000000000000d000 0x000000000000dfff 0x0000000000000101\n"   // ROM line
        "0x000000000000e000 0x000000000000efff 0x0000000000000101\n";  // bridge window
    const auto bars = parseIoBars(bridgeResource);
    EXPECT_FALSE(bars[0]);
    ASSERT_TRUE(bars[1]);
    EXPECT_EQ(bars[1]->first, 0xC000U);
    EXPECT_EQ(bars[1]->last, 0xC07FU);
    EXPECT_FALSE(bars[2]);
    EXPECT_FALSE(bars[3]);
    ASSERT_TRUE(bars[4]);
    EXPECT_EQ(bars[4]->first, 0xC100U);
    EXPECT_FALSE(bars[5]);
}

TEST(IoBarsTest, MalformedLinesAreSkippedNotTrusted) {
    const auto bars = parseIoBars(
        "garbage\n"
        "0xc000 0xc07f\n"
        "c000 c07f 101\n"
        "0x000000000000c07f 0x000000000000c000 0x0000000000040101\n"  // end before start
        "0x000000000000c000 0x000000000000c07f 0x0000000000040101 trailing\n");
    for (size_t i = 0; i < 4; ++i) EXPECT_FALSE(bars[i]) << i;
    EXPECT_TRUE(bars[4]) << "extra fields after the three are ignored";
    EXPECT_FALSE(parseIoBars("")[0]);
}

TEST(LockdownTest, OnlyABracketedModeOtherThanNoneIsLockdown) {
    EXPECT_FALSE(lockdownMode("[none] integrity confidentiality\n"));
    EXPECT_EQ(lockdownMode("none [integrity] confidentiality\n"), "integrity");
    EXPECT_EQ(lockdownMode("none integrity [confidentiality]\n"), "confidentiality");
    EXPECT_FALSE(lockdownMode(""));
    EXPECT_FALSE(lockdownMode("none integrity"));
}

// securityfs first; without it, lockdown= on the kernel command line (the last one counts);
// without either, the state is unknown rather than "off".
TEST(LockdownTest, SecurityfsThenCommandLineElseUnknown) {
    struct Case {
        const char* securityfs;   // nullptr: not mounted
        const char* commandLine;  // nullptr: unreadable
        std::optional<std::string> mode;
        bool known;
    };
    const Case cases[] = {
        {"[none] integrity confidentiality", "quiet lockdown=integrity", std::nullopt, true},
        {"none [integrity] confidentiality", "quiet", "integrity", true},
        {nullptr, "BOOT_IMAGE=/vmlinuz lockdown=confidentiality ro", "confidentiality", true},
        {nullptr, "lockdown=integrity lockdown=confidentiality\n", "confidentiality", true},
        {nullptr, "nolockdown=integrity quiet", std::nullopt, false},
        {nullptr, "lockdown=none", std::nullopt, false},
        {nullptr, nullptr, std::nullopt, false},
    };
    for (const Case& c : cases) {
        const auto root = std::filesystem::temp_directory_path() / "portvex-lockdown-test";
        std::filesystem::remove_all(root);
        std::filesystem::create_directories(root / "sys/kernel/security");
        std::filesystem::create_directories(root / "proc");
        if (c.securityfs) std::ofstream(root / "sys/kernel/security/lockdown") << c.securityfs;
        if (c.commandLine) std::ofstream(root / "proc/cmdline") << c.commandLine;
        const Lockdown state = kernelLockdown(root / "sys", root / "proc");
        EXPECT_EQ(state.mode, c.mode) << c.commandLine;
        EXPECT_EQ(state.known, c.known) << c.commandLine;
        std::filesystem::remove_all(root);
    }
}

// A refused range says whose it is and, for each reason, what to do.
TEST(RefusalTest, SaysWhatTheRangeIsAndWhatToDo) {
    using portvex::advice::RefusedRange;
    using portvex::advice::Standing;
    RefusedRange range;
    range.where = "port 0xD000 through /s/resource4";
    range.path = "/s/resource4";
    range.device = "0000:01:02.0";
    range.ids = 0x905010B5;
    range.bar = 4;
    range.ruleCovers = true;
    range.error = "Permission denied";
    const std::pair<Standing, const char*> todo[] = {
        {Standing::RuleMissing,
         "install a portvex group rule for the IDs 10b5:9050 (vendor 10b5, device 9050; the "
         "Portvex README shows the rule)"},
        {Standing::GroupMissing, "no portvex group yet"},
        {Standing::NotMember, "add your user to the portvex group"},
        {Standing::MemberSinceLogin, "joined the portvex group after this login"},
        {Standing::Unknown, "cannot be seen from here"}};
    for (const auto& [standing, advice] : todo) {
        range.standing = standing;
        const std::string text = portvex::advice::refused(range);
        EXPECT_NE(text.find(advice), std::string::npos) << text;
        EXPECT_NE(text.find("BAR4 of 0000:01:02.0 (10b5:9050) is an I/O range of a device the "
                            "portvex group rule covers"),
                  std::string::npos)
            << text;
        EXPECT_NE(text.find("/s/resource4 (Permission denied)"), std::string::npos) << text;
    }
    range.ruleCovers = false;
    EXPECT_NE(portvex::advice::refused(range).find("device no portvex group rule covers"),
              std::string::npos);
}
