// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// The library through the default backend, against a stand-in /sys named by
// PORTVEX_SYSFS_ROOT: with PORTVEX unset the scan runs over the kernel's files. Each case
// runs in a child process, since a process chooses its backend once.
#include <eeprom/plx9050.h>
#include <gtest/gtest.h>
#include <hw/pci_config.h>
#include <portvex.h>
#include <slotscan.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <string>

#include "fake_sysfs.h"

using portvex::testing::ConfigSpace;
using portvex::testing::FakeBar;
using portvex::testing::kIoFlags;

namespace {

class SysfsLibraryTest : public ::testing::Test {
  protected:
    // One 9050 card on bus 1: BAR1 I/O 0xE000 (local registers), BAR4 I/O 0xD000, IRQ 9.
    void SetUp() override {
        ConfigSpace card(0x10B5, 0x9050);
        card.set(pci::kBar1Offset, 0xE001)
            .set(pci::kBar4Offset, 0xD001)
            .set(pci::kInterruptLineOffset, 0x0109);
        sys.addDevice("0000:00:00.0", ConfigSpace(0x8086, 0x1237));
        sys.addDevice("0000:01:04.0", card,
                      {FakeBar{1, 0xE000, 0xE07F, kIoFlags}, FakeBar{4, 0xD000, 0xD00F, kIoFlags}});
        bar1 = sys.deviceDir("0000:01:04.0") / "resource1";
        unsetenv("PORTVEX");
        setenv("PORTVEX_SYSFS_ROOT", sys.root().c_str(), 1);
    }
    void TearDown() override { unsetenv("PORTVEX_SYSFS_ROOT"); }

    portvex::testing::FakeSysfs sys;
    std::filesystem::path bar1;
};

TEST_F(SysfsLibraryTest, UnsetPortvexScansThroughTheKernelFiles) {
    const std::string root = sys.root();
    const int result = portvex::testing::inChild([&] {
        // Make sure the stand-in tree, not the machine, is what the backend reads.
        if (std::string(portvex_backend()) != "sysfs") return 10;
        if (std::string(portvex_status()).find(root) == std::string::npos) return 11;
        int16_t numbers[MAX_CARDS];
        if (FindPCICard(numbers) != 1) return 12;
        uint16_t base = 0, irq = 0;
        if (GetIOBaseByOrder(0, &base, &irq) != 1 || base != 0xD000 || irq != 9) return 13;
        if (portvex_ready() != 1) return 14;
        return 0;
    });
    EXPECT_EQ(result, 0);
    // The EEPROM read clocked the card's control register through resource1: its last
    // write left all four EEPROM lines low.
    const auto cntrl = sys.fileDword(bar1, slotscan::kCntrlOffset);
    ASSERT_TRUE(cntrl);
    EXPECT_EQ(*cntrl & slotscan::kEepromLines, 0U);
}

TEST_F(SysfsLibraryTest, WithoutAccessToTheCardTheScanStillRunsAndTheStatusSaysWhy) {
    sys.setFileDword(bar1, slotscan::kCntrlOffset, slotscan::kEepromPresent);
    ASSERT_EQ(chmod(bar1.c_str(), 0), 0);
    const std::string root = sys.root();
    const std::string path = bar1.string();
    const int result = portvex::testing::inChildAsOrdinaryUser([&] {
        if (std::string(portvex_status()).find(root) == std::string::npos) return 10;
        int16_t numbers[MAX_CARDS];
        if (FindPCICard(numbers) != 1) return 11;
        if (numbers[0] != -1) return 12;  // no EEPROM answers: all ones
        if (portvex_ready() != 0) return 13;
        const std::string status = portvex_status();
        if (status.find(path) == std::string::npos ||
            status.find("portvex group") == std::string::npos) {
            return 14;
        }
        return 0;
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(sys.fileDword(bar1, slotscan::kCntrlOffset), slotscan::kEepromPresent)
        << "nothing was written";
}

}  // namespace
