// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// The backend PORTVEX chooses, and cards renumbered by one process seen by the next.
// Each case runs in a child process, since a process chooses its backend once.
#include <gtest/gtest.h>
#include <hw/pci_config.h>
#include <portvex.h>
#include <slotscan.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "support/access_costs.h"

namespace fs = std::filesystem;

namespace {

// Runs `body` in a child with PORTVEX set to `portvex` (unset when empty); returns its
// exit status, or -1 when it died of a signal.
int inChild(const std::string& portvex, const std::function<int()>& body) {
    const pid_t pid = fork();
    if (pid == 0) {
        if (portvex.empty()) {
            unsetenv("PORTVEX");
        } else {
            setenv("PORTVEX", portvex.c_str(), 1);
        }
        _exit(body());
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class EnvironmentBackendTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("slotscan-env-" + std::to_string(getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        rack = dir / "rack3.toml";
        fs::copy_file(fs::path(SLOTSCAN_EXAMPLE_RACKS) / "rack3.toml", rack);
    }
    void TearDown() override { fs::remove_all(dir); }

    fs::path dir;
    fs::path rack;
};

// (PORTVEX unset means real hardware: portvex/tests runs that against a stand-in /sys.)
TEST_F(EnvironmentBackendTest, NoneMeansNoPortIsTouchedAndStatusSaysWhy) {
    const int status = inChild("none", [] {
        if (inportdw(pci::kConfigDataPort) != 0xFFFFFFFF) return 10;
        outportdw(pci::kConfigAddressPort, pci::ConfigAddress(0, 0, 0));
        int16_t numbers[MAX_CARDS];
        if (FindPCICard(numbers) != 0) return 11;
        if (portvex_ready() != 0) return 12;
        if (std::string(portvex_backend()) != "none") return 13;
        if (std::string(portvex_status()).find("PORTVEX=sim:") == std::string::npos) return 14;
        return 0;
    });
    EXPECT_EQ(status, 0);
}

TEST_F(EnvironmentBackendTest, SimulatorFindsTheBundledCards) {
    const int status = inChild("sim:" + rack.string(), [] {
        int16_t numbers[MAX_CARDS];
        if (FindPCICard(numbers) != 3) return 10;
        uint16_t base = 0, irq = 0;
        if (GetIOBaseByCardNo(1, &base, &irq) != 1 || base != 0x300 || irq != 5) return 11;
        if (portvex_ready() != 1 || std::string(portvex_backend()) != "sim") return 12;
        return 0;
    });
    EXPECT_EQ(status, 0);
}

TEST_F(EnvironmentBackendTest, RenumberingPersistsIntoTheNextProcess) {
    const std::string portvex = "sim:" + rack.string();
    ASSERT_EQ(inChild(portvex, [] { return ChangeCardNo(2, 42) == 1 ? 0 : 1; }), 0);
    EXPECT_EQ(inChild(portvex,
                      [] {
                          uint16_t base = 0, irq = 0;
                          return GetIOBaseByCardNo(42, &base, &irq) == 1 &&
                                         GetIOBaseByCardNo(2, &base, &irq) == 0
                                     ? 0
                                     : 1;
                      }),
              0);
}

TEST_F(EnvironmentBackendTest, BrokenRackIsReportedNotCrashedOn) {
    std::ofstream(rack, std::ios::trunc) << "[[card]]\nslot = \"00:zz.0\"\n";
    const std::string expectedName = rack.string();
    const int status = inChild("sim:" + rack.string(), [&] {
        int16_t numbers[MAX_CARDS];
        if (FindPCICard(numbers) != 0) return 10;
        if (portvex_ready() != 0) return 11;
        if (std::string(portvex_status()).find(expectedName) == std::string::npos) return 12;
        return 0;
    });
    EXPECT_EQ(status, 0);
}

TEST_F(EnvironmentBackendTest, UnknownBackendAndMissingRackAreExplained) {
    EXPECT_EQ(inChild("serial:/dev/ttyS0",
                      [] {
                          return portvex_ready() == 0 &&
                                         std::string(portvex_status()).find("serial:/dev/ttyS0") !=
                                             std::string::npos
                                     ? 0
                                     : 1;
                      }),
              0);
    const std::string missing = (dir / "no-such-rack.toml").string();
    EXPECT_EQ(inChild("sim:" + missing,
                      [&] {
                          return portvex_ready() == 0 &&
                                         std::string(portvex_status()).find(missing) !=
                                             std::string::npos
                                     ? 0
                                     : 1;
                      }),
              0);
}

// The simulated PC is a module of its own: without it PORTVEX=sim: says which file it
// needs, and nothing else (the hardware backends) needs it.
TEST_F(EnvironmentBackendTest, MissingSimulatorModuleIsNamed) {
    const std::string module = (dir / "gone" / "portvex-sim.so").string();
    setenv("PORTVEX_SIMULATOR", module.c_str(), 1);
    const int status = inChild("sim:" + rack.string(), [&] {
        int16_t numbers[MAX_CARDS];
        if (FindPCICard(numbers) != 0 || portvex_ready() != 0) return 10;
        const std::string text = portvex_status();
        return text.find(module) != std::string::npos &&
                       text.find("PORTVEX_SIMULATOR") != std::string::npos
                   ? 0
                   : 11;
    });
    unsetenv("PORTVEX_SIMULATOR");
    EXPECT_EQ(status, 0);
}

TEST_F(EnvironmentBackendTest, TraceLogsEveryAccess) {
    const fs::path trace = dir / "trace.log";
    setenv("PORTVEX_TRACE", trace.c_str(), 1);
    const int status = inChild("sim:" + rack.string(), [] {
        uint16_t base = 0, irq = 0;
        return GetIOBaseByCardNo(1, &base, &irq) == 1 ? 0 : 1;
    });
    unsetenv("PORTVEX_TRACE");
    ASSERT_EQ(status, 0);
    std::ifstream in(trace);
    std::string line;
    size_t lines = 0, pauses = 0;
    while (std::getline(in, line)) {
        ++lines;
        if (!line.empty() && line[0] == 'P') ++pauses;
    }
    EXPECT_GT(lines - pauses,
              testing_support::kEmptyScanAccesses + 3U * testing_support::kEepromReadAccesses);
    EXPECT_GE(pauses, 3U) << "one pause per card number read";
}

}  // namespace
