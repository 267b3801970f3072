// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// The paths only tests set (PORTVEX_SIMULATOR, PORTVEX_SYSFS_ROOT, PORTVEX_PROC_ROOT) may
// name anything: a FIFO, a folder or a huge sparse file in place of a kernel file or of the
// simulated PC module is told in the status at once, without hanging or running out of
// memory. Each case runs in a child that an alarm ends, so that a hang fails the case.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "backend.h"
#include "fake_sysfs.h"

namespace fs = std::filesystem;
using portvex::testing::ConfigSpace;
using portvex::testing::FakeBar;
using portvex::testing::kIoFlags;

namespace {

enum class Bad { Fifo, Folder, HugeSparse };

struct Case {
    const char* file;  // under the stand-in /sys, "proc/cmdline", or "module"
    Bad bad;
    const char* why;  // in the status
};

void putBadFile(const fs::path& path, Bad bad) {
    fs::remove_all(path);
    switch (bad) {
        case Bad::Fifo:
            ASSERT_EQ(mkfifo(path.c_str(), 0644), 0);
            break;
        case Bad::Folder:
            fs::create_directories(path);
            break;
        case Bad::HugeSparse:
            std::ofstream(path).close();
            fs::resize_file(path, uintmax_t{1} << 30);
            break;
    }
}

class TestOnlyPaths : public ::testing::TestWithParam<Case> {};

TEST_P(TestOnlyPaths, BadFileIsToldAtOnce) {
    const Case& c = GetParam();
    portvex::testing::FakeSysfs sys;
    ConfigSpace card(0x10B5, 0x9050);
    card.set(0x14, 0xE001);
    sys.addDevice("0000:01:02.0", card, {FakeBar{1, 0xE000, 0xE07F, kIoFlags}});
    const fs::path proc = fs::path(sys.root()) / "proc";
    fs::create_directories(proc);
    const std::string file = c.file;
    fs::path bad;
    if (file == "module") {
        bad = proc / "portvex-sim.so";
    } else if (file == "proc/cmdline") {
        fs::remove(fs::path(sys.root()) / "kernel/security/lockdown");
        bad = proc / "cmdline";
    } else {
        bad = fs::path(sys.root()) / file;
    }
    putBadFile(bad, c.bad);

    const int result = portvex::testing::inChild([&] {
        alarm(10);  // a hang ends the child, and the case fails
        std::unique_ptr<portvex::Backend> backend;
        if (file == "module") {
            setenv("PORTVEX_SIMULATOR", bad.c_str(), 1);
            backend = portvex::makeBackendFor("sim:/nonexistent/rack.toml");
        } else {
            backend = portvex::makeSysfsBackend(sys.root(), std::chrono::seconds(1), proc.string(),
                                                {{0x10B5, 0x9050, 1}});
            (void)backend->read(0xE050);
            backend->write(0xCF8, 0x80011000);  // 01:02.0
            (void)backend->read(0xCFC);
        }
        const std::string status = backend->status();
        if (status.find(bad.string()) == std::string::npos ||
            status.find(c.why) == std::string::npos) {
            std::fprintf(stderr, "status: %s\n", status.c_str());
            return 1;
        }
        return 0;
    });
    EXPECT_EQ(result, 0) << bad << " (" << c.why << ")";
}

INSTANTIATE_TEST_SUITE_P(
    Files, TestOnlyPaths,
    ::testing::Values(Case{"module", Bad::Fifo, "not a regular file"},
                      Case{"module", Bad::Folder, "not a regular file"},
                      Case{"module", Bad::HugeSparse, "larger than"},
                      Case{"bus/pci/devices/0000:01:02.0/resource", Bad::Fifo,
                           "not a regular file"},
                      Case{"bus/pci/devices/0000:01:02.0/resource", Bad::HugeSparse, "larger than"},
                      Case{"bus/pci/devices/0000:01:02.0/config", Bad::Fifo, "not a regular file"},
                      Case{"bus/pci/devices/0000:01:02.0/config", Bad::Folder, "Is a directory"},
                      Case{"kernel/security/lockdown", Bad::Fifo, "not a regular file"},
                      Case{"kernel/security/lockdown", Bad::HugeSparse, "larger than"},
                      Case{"proc/cmdline", Bad::Fifo, "not a regular file"},
                      Case{"proc/cmdline", Bad::Folder, "Is a directory"}),
    [](const ::testing::TestParamInfo<Case>& param) {
        std::string name = fs::path(param.param.file).filename().string() + "_" +
                           (param.param.bad == Bad::Fifo     ? "fifo"
                            : param.param.bad == Bad::Folder ? "folder"
                                                             : "huge");
        return name;
    });

}  // namespace
