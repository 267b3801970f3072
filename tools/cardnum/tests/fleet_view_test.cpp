// The fleet view: `list --format prometheus`, and --output replacing a file whole.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

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

std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    return names;
}

TEST(FleetView, PrometheusListShowsCardsPortAccessAndProblems) {
    Workspace ws;
    const auto run = ws.cardnum(ws.rack("shared.toml"), {"list", "--format", "prometheus"});
    ASSERT_EQ(run.exitCode, 0) << run;
    for (const char* line :
         {"slotscan_card{card_no=\"5\",index=\"0\",slot=\"00:0a\",io_base=\"0x0300\",irq=\"5\"} "
          "1\n",
          "slotscan_cards 3\n", "slotscan_port_access_ready{backend=\"sim\"} 1\n",
          "# TYPE slotscan_scan_duration_seconds gauge\nslotscan_scan_duration_seconds ",
          "slotscan_problem{kind=\"shared-number\",slot=\"00:0a.0\"} 1\n"}) {
        EXPECT_NE(run.out.find(line), std::string::npos) << line << '\n' << run;
    }

    // No port access is still a whole exposition, with status 3 and the reason on stderr.
    const auto none = ws.cardnum("none", {"list", "--format", "prometheus"});
    EXPECT_EQ(none.exitCode, 3) << none;
    EXPECT_NE(
        none.out.find("slotscan_port_access_ready{backend=\"none\"} 0\n# HELP slotscan_problem"),
        std::string::npos)
        << none;
    EXPECT_NE(none.out.find("slotscan_cards 0\n"), std::string::npos) << none;
    EXPECT_NE(none.out.find("slotscan_problem{kind=\"no-port-access\",slot=\"\"} 1\n"),
              std::string::npos)
        << none;
    EXPECT_NE(none.err.find("no port access"), std::string::npos) << none;
}

TEST(FleetView, OutputReplacesTheFileWholeWithModeForAllToRead) {
    Workspace ws;
    const fs::path folder = ws.dir() / "textfile";
    fs::create_directory(folder);
    const fs::path target = folder / "slotscan.prom";
    std::ofstream(target) << "stale\n";

    const auto run = ws.cardnum(ws.rack("three.toml"),
                                {"list", "--format", "prometheus", "--output", target.string()});
    ASSERT_EQ(run.exitCode, 0) << run;
    EXPECT_TRUE(run.out.empty()) << run;
    const std::string text = contentsOf(target);
    EXPECT_EQ(text.rfind("# HELP slotscan_card ", 0), 0U) << text;
    EXPECT_NE(text.find("slotscan_cards 3\n"), std::string::npos) << text;
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                  fs::perms::others_read);
    EXPECT_EQ(namesIn(folder), std::vector<std::string>{"slotscan.prom"});
}

// A file that cannot be replaced: status 4 naming it, no temporary file left behind, and
// whatever was there kept.
class UnwritableOutput : public ::testing::TestWithParam<const char*> {};

TEST_P(UnwritableOutput, ExitFourNamingTheFileAndLeavingNothing) {
    Workspace ws;
    fs::create_directories(ws.dir() / "textfile" / "slotscan.prom");
    const fs::path target = ws.dir() / GetParam();
    const auto run = ws.cardnum(ws.rack("three.toml"),
                                {"list", "--format", "prometheus", "--output", target.string()});
    EXPECT_EQ(run.exitCode, 4) << run;
    EXPECT_NE(run.err.find("cannot write " + target.string()), std::string::npos) << run;
    EXPECT_TRUE(run.out.empty()) << run;
    EXPECT_TRUE(fs::is_directory(ws.dir() / "textfile" / "slotscan.prom"));
    EXPECT_EQ(namesIn(ws.dir() / "textfile"), std::vector<std::string>{"slotscan.prom"});
}

INSTANTIATE_TEST_SUITE_P(Targets, UnwritableOutput,
                         ::testing::Values("missing/slotscan.prom", "textfile/slotscan.prom"));

}  // namespace
