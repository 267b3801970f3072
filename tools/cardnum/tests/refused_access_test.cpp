// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// A hardware backend may learn only at a card's first access that this user cannot reach
// it (boards that carry their maker's IDs get no access check up front). cardnum must
// then say so, not pass off what the scan read as card numbers.
#include <gtest/gtest.h>

#include <filesystem>

#include "cardnum_process.h"
#include "fake_sysfs.h"

namespace {

using cardnum_test::Workspace;
using portvex::testing::ConfigSpace;
using portvex::testing::FakeBar;
using portvex::testing::kIoFlags;

class RefusedAccess : public ::testing::Test {
  protected:
    // A board with its maker's IDs 1234:5678 on a stand-in /sys whose resource1 (the
    // bridge's local registers) cannot be opened, whoever runs the test.
    void SetUp() override {
        ConfigSpace card(0x1234, 0x5678);
        card.set(0x14, 0xE001).set(0x20, 0xD001).set(0x3C, 0x0109);
        sys.addDevice("0000:00:00.0", ConfigSpace(0x8086, 0x1237));
        sys.addDevice("0000:00:05.0", card,
                      {FakeBar{1, 0xE000, 0xE07F, kIoFlags}, FakeBar{4, 0xD000, 0xD00F, kIoFlags}});
        const auto bar1 = sys.deviceDir("0000:00:05.0") / "resource1";
        std::filesystem::remove(bar1);
        std::filesystem::create_directory(bar1);
    }

    cardnum_test::Run run(const std::vector<std::string>& args) const {
        return ws.cardnum("sysfs", args, {"PORTVEX_SYSFS_ROOT=" + sys.root()});
    }

    portvex::testing::FakeSysfs sys;
    Workspace ws;
};

TEST_F(RefusedAccess, ListShowsTheSlotsButExitsWithTheReason) {
    const auto listed = run({"list", "--id", "5678:1234"});
    EXPECT_EQ(listed.exitCode, 3) << listed;
    EXPECT_NE(listed.out.find("00:05"), std::string::npos) << listed;
    EXPECT_NE(listed.err.find("refused during the scan"), std::string::npos) << listed;
    EXPECT_NE(listed.err.find("resource1"), std::string::npos) << listed;
}

TEST_F(RefusedAccess, FindSetAndDoctorDoNotBlameTheCard) {
    const auto found = run({"find", "-1", "--id", "5678:1234"});
    EXPECT_EQ(found.exitCode, 3) << found;
    EXPECT_EQ(found.out, "") << "a number read through refused access is no number";

    const auto set = run({"set", "--index", "0", "4", "--id", "5678:1234"});
    EXPECT_EQ(set.exitCode, 3) << set;
    EXPECT_EQ(set.err.find("renumbering failed"), std::string::npos) << set;

    const auto captured =
        run({"capture", "--id", "5678:1234", "--output", (ws.dir() / "never.toml").string()});
    EXPECT_EQ(captured.exitCode, 3) << captured;
    EXPECT_FALSE(std::filesystem::exists(ws.dir() / "never.toml")) << "no capture of noise";

    const auto doctor = run({"doctor", "--id", "5678:1234"});
    EXPECT_EQ(doctor.exitCode, 3) << doctor;
    EXPECT_EQ(doctor.out.find("not been numbered"), std::string::npos) << doctor;
    EXPECT_NE(doctor.out.find("resource1"), std::string::npos) << doctor;
}

}  // namespace
