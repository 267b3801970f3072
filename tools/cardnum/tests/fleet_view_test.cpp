// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// The fleet view: `list --format prometheus`, and --output putting it in a file safely.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>
#include <tuple>

#include "cardnum_process.h"

namespace {

namespace fs = std::filesystem;
using cardnum_test::Workspace;

std::string contentsOf(const fs::path& file) {
    std::ifstream in(file);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

double nowSeconds() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    return names;
}

TEST(FleetView, PrometheusListShowsCardsPortAccessAndProblems) {
    Workspace ws;
    const double before = nowSeconds();
    const auto run = ws.cardnum(ws.rack("shared.toml"), {"list", "--format", "prometheus"});
    const double after = nowSeconds();
    ASSERT_EQ(run.exitCode, 0) << run;
    // Slots are spelt bus:device.function in every series, so that they join on slot; the
    // shared number is put on the card a lookup by it cannot reach.
    for (const char* line :
         {"slotscan_card_info{card_no=\"5\",index=\"0\",slot=\"00:0a.0\","
          "io_base=\"0x0300\",irq=\"5\"} 1\n",
          "slotscan_card_info{card_no=\"5\",index=\"2\",slot=\"00:0c.0\",", "slotscan_cards 3\n",
          "slotscan_port_access_ready{backend=\"sim\"} 1\n",
          "# TYPE slotscan_scan_duration_seconds gauge\nslotscan_scan_duration_seconds ",
          "slotscan_machine_problems 1\n",
          "slotscan_problems{kind=\"shared-number\",slot=\"00:0c.0\"} 1\n"}) {
        EXPECT_NE(run.out.find(line), std::string::npos) << line << '\n' << run;
    }
    EXPECT_EQ(run.out.find("slot=\"00:0a.0\"} 1\n# HELP"), std::string::npos) << run;
    std::smatch stamp;
    ASSERT_TRUE(std::regex_search(run.out, stamp,
                                  std::regex("\nslotscan_scan_timestamp_seconds ([0-9.]+)\n")))
        << run;
    EXPECT_GE(std::stod(stamp[1]), std::floor(before)) << run;
    EXPECT_LE(std::stod(stamp[1]), after + 1) << run;

    const auto clean = ws.cardnum(ws.rack("three.toml"), {"list", "--format", "prometheus"});
    EXPECT_NE(clean.out.find("\nslotscan_machine_problems 0\n"), std::string::npos) << clean;

    // No port access, and a PORTVEX that names no backend, are still whole expositions, with
    // status 3 and the reason on stderr; they are told apart.
    for (const auto& [portvex, backend, kind] : {std::tuple{"none", "none", "no-port-access"},
                                                 std::tuple{"sim", "unknown", "unknown-backend"}}) {
        const auto none = ws.cardnum(portvex, {"list", "--format", "prometheus"});
        EXPECT_EQ(none.exitCode, 3) << none;
        EXPECT_NE(none.out.find("slotscan_port_access_ready{backend=\"" + std::string(backend) +
                                "\"} 0\n"),
                  std::string::npos)
            << none;
        EXPECT_NE(none.out.find("slotscan_cards 0\n"), std::string::npos) << none;
        EXPECT_NE(none.out.find("slotscan_machine_problems 1\n"), std::string::npos) << none;
        EXPECT_NE(
            none.out.find("slotscan_problems{kind=\"" + std::string(kind) + "\",slot=\"\"} 1\n"),
            std::string::npos)
            << none;
        EXPECT_NE(none.err.find("no port access"), std::string::npos) << none;
    }
}

TEST(FleetView, OutputReplacesTheFileWholeWithModeForAllToRead) {
    Workspace ws;
    const fs::path folder = ws.dir() / "textfile";
    fs::create_directory(folder);
    const fs::path target = folder / "slotscan.prom";
    std::ofstream(target) << "stale\n";

    // A killed writer's temporary file goes; one whose writer is still at work stays.
    std::ofstream(folder / ".slotscan.prom.tmp-killed01") << "half";
    const fs::path busy = folder / ".slotscan.prom.tmp-working";
    std::ofstream(busy) << "half";
    const int held = ::open(busy.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);

    const auto run = ws.cardnum(ws.rack("three.toml"),
                                {"list", "--format", "prometheus", "--output", target.string()});
    ::close(held);
    ASSERT_EQ(run.exitCode, 0) << run;
    EXPECT_TRUE(run.out.empty()) << run;
    const std::string text = contentsOf(target);
    EXPECT_EQ(text.rfind("# HELP slotscan_card_info ", 0), 0U) << text;
    EXPECT_NE(text.find("slotscan_cards 3\n"), std::string::npos) << text;
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                  fs::perms::others_read);
    std::vector<std::string> names = namesIn(folder);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{".slotscan.prom.tmp-working", "slotscan.prom"}));

    // Any name valid for a file works, also one at the longest length a name may have.
    const fs::path longest = folder / std::string(255, 'm');
    const auto longRun = ws.cardnum(
        ws.rack("three.toml"), {"list", "--format", "prometheus", "--output", longest.string()});
    EXPECT_EQ(longRun.exitCode, 0) << longRun;
    EXPECT_NE(contentsOf(longest).find("slotscan_cards 3\n"), std::string::npos);
}

// A file that cannot be replaced: status 4 naming it, no temporary file left behind, and
// whatever was there kept.
class UnwritableOutput : public ::testing::TestWithParam<const char*> {};

TEST_P(UnwritableOutput, ExitFourNamingTheFileAndLeavingNothing) {
    Workspace ws;
    fs::create_directories(ws.dir() / "textfile" / "slotscan.prom");
    fs::create_symlink(ws.dir() / "nowhere", ws.dir() / "textfile" / "dangling");
    const fs::path target = ws.dir() / GetParam();
    const auto run = ws.cardnum(ws.rack("three.toml"),
                                {"list", "--format", "prometheus", "--output", target.string()});
    EXPECT_EQ(run.exitCode, 4) << run;
    EXPECT_NE(run.err.find("cannot write " + target.string()), std::string::npos) << run;
    EXPECT_TRUE(run.out.empty()) << run;
    EXPECT_TRUE(fs::is_directory(ws.dir() / "textfile" / "slotscan.prom"));
    std::vector<std::string> left = namesIn(ws.dir() / "textfile");
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"dangling", "slotscan.prom"}));
}

INSTANTIATE_TEST_SUITE_P(Targets, UnwritableOutput,
                         ::testing::Values("missing/slotscan.prom", "textfile/slotscan.prom",
                                           "textfile/dangling"));

// What --output does with what is already there: a link stays a link and its file is
// replaced in its own folder; a device or a FIFO is written straight through, never
// replaced. Devices are stood in by nodes made in the workspace.
TEST(FleetView, OutputKeepsLinksAndWritesThroughDevicesAndFifos) {
    Workspace ws;
    const std::string rack = ws.rack("three.toml");
    auto list = [&](const fs::path& target, const fs::path& stdoutTo = {}) {
        return ws.cardnum(rack, {"list", "--format", "prometheus", "--output", target.string()}, {},
                          stdoutTo);
    };
    const fs::path elsewhere = ws.dir() / "elsewhere";
    fs::create_directory(elsewhere);
    std::ofstream(elsewhere / "real.prom") << "stale\n";
    const fs::path link = ws.dir() / "link.prom";
    fs::create_symlink(elsewhere / "real.prom", link);
    const auto linked = list(link);
    EXPECT_EQ(linked.exitCode, 0) << linked;
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_NE(contentsOf(elsewhere / "real.prom").find("slotscan_cards 3\n"), std::string::npos);

    // The link to this command's standard output prints.
    const fs::path toStdout = ws.dir() / "stdout";
    fs::create_symlink("/proc/self/fd/1", toStdout);
    const auto printed = list(toStdout);
    EXPECT_EQ(printed.exitCode, 0) << printed;
    EXPECT_NE(printed.out.find("slotscan_cards 3\n"), std::string::npos) << printed;

    const fs::path fifo = ws.dir() / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string fromFifo;
    std::thread reader([&] { fromFifo = contentsOf(fifo); });
    const auto piped = list(fifo);
    reader.join();
    EXPECT_EQ(piped.exitCode, 0) << piped;
    EXPECT_NE(fromFifo.find("slotscan_cards 3\n"), std::string::npos) << fromFifo;
    EXPECT_TRUE(fs::is_fifo(fifo));

    // Stand-ins for /dev/null (1:3) and /dev/full (1:7), which need the right to make nodes.
    const fs::path null = ws.dir() / "null", full = ws.dir() / "full";
    if (::mknod(null.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0 ||
        ::mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0) {
        GTEST_SKIP() << "cannot make device nodes here";
    }
    const auto discarded = list(null);
    EXPECT_EQ(discarded.exitCode, 0) << discarded;
    EXPECT_TRUE(fs::is_character_file(null));
    const auto refused = list(full);
    EXPECT_EQ(refused.exitCode, 4) << refused;
    EXPECT_NE(refused.err.find("cannot write " + full.string()), std::string::npos) << refused;
    EXPECT_TRUE(fs::is_character_file(full));
}

}  // namespace
