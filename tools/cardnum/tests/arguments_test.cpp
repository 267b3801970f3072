// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// Bad command lines exit with status 2 and a message naming the argument at fault, before
// any port is touched.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "cardnum_process.h"

namespace {

using cardnum_test::Workspace;

// The commands cardnum offers, as its --help lists them.
std::vector<std::string> offeredCommands() {
    Workspace ws;
    const auto help = ws.cardnum("none", {"--help"});
    std::vector<std::string> names;
    const auto section = help.out.find("Subcommands:\n");
    if (section == std::string::npos) return names;
    std::istringstream lines(help.out.substr(section + 13));
    for (std::string line; std::getline(lines, line) && line.rfind("  ", 0) == 0;) {
        std::istringstream(line) >> names.emplace_back();
    }
    return names;
}

struct BadLine {
    std::vector<std::string> args;
    const char* named;  // the argument the message must name
};

void PrintTo(const BadLine& line, std::ostream* out) {
    for (const auto& arg : line.args) *out << arg << ' ';
}

class BadArguments : public ::testing::TestWithParam<BadLine> {};

TEST_P(BadArguments, ExitTwoNamingTheArgument) {
    Workspace ws;
    const auto rack = ws.rack("three.toml");
    // The simulated PC opens its trace file when the first port access starts it.
    const auto trace = ws.dir() / "trace.txt";
    const auto run = ws.cardnum(rack, GetParam().args, {"PORTVEX_TRACE=" + trace.string()});
    EXPECT_EQ(run.exitCode, 2) << run;
    EXPECT_NE(run.err.find(GetParam().named), std::string::npos) << run;
    EXPECT_TRUE(run.out.empty()) << run;
    EXPECT_FALSE(std::filesystem::exists(trace)) << "a refused command line must touch no port";
}

INSTANTIATE_TEST_SUITE_P(
    Numbers, BadArguments,
    ::testing::Values(BadLine{{"find", "65536"}, "NUMBER"}, BadLine{{"find", "-32769"}, "NUMBER"},
                      BadLine{{"find", "1.5"}, "NUMBER"}, BadLine{{"find", "0x"}, "NUMBER"},
                      BadLine{{"find", "12abc"}, "NUMBER"}, BadLine{{"find", " 1"}, "NUMBER"},
                      BadLine{{"find", "0x10000"}, "NUMBER"},
                      BadLine{{"set", "--card", "70000", "1"}, "--card"},
                      BadLine{{"set", "--card", "1", "65536"}, "NEW"},
                      BadLine{{"set", "--index", "9", "1"}, "--index"},
                      BadLine{{"set", "--index", "-1", "1"}, "--index"},
                      BadLine{{"set", "1"}, "--card"},
                      BadLine{{"set", "--card", "1", "--index", "0", "2"}, "--index"}));

INSTANTIATE_TEST_SUITE_P(
    Ids, BadArguments,
    ::testing::Values(BadLine{{"list", "--pci", "10b5"}, "--pci"},
                      BadLine{{"list", "--pci", "10b5:9050:1"}, "--pci"},
                      BadLine{{"rule", "--pci", "10b5:9050:1:2:3"}, "--pci"},
                      BadLine{{"find", "1", "--pci", "10b5:12345"}, "--pci"},
                      BadLine{{"doctor", "--pci", "10b5:xyz"}, "--pci"},
                      BadLine{{"set", "--index", "0", "1", "--pci", "-1:9050"}, "--pci"},
                      BadLine{{"list", "--pci", "10b5:9050", "--id", "9050:10b5"}, "--id"},
                      BadLine{{"list", "--id", "9050"}, "--id"},
                      BadLine{{"list", "--id", "9050:10b5:1"}, "--id"},
                      BadLine{{"find", "1", "--id", "12345:10b5"}, "--id"},
                      BadLine{{"doctor", "--id", "9050:"}, "--id"},
                      BadLine{{"set", "--index", "0", "1", "--id", "-1:10b5"}, "--id"}));

INSTANTIATE_TEST_SUITE_P(Formats, BadArguments,
                         ::testing::Values(BadLine{{"list", "--format", "xml"}, "--format"},
                                           BadLine{{"list", "--output"}, "--output"},
                                           BadLine{{"list", "--output", ""}, "--output"},
                                           BadLine{{"find", "1", "--format", "json"}, "--format"}));

INSTANTIATE_TEST_SUITE_P(Commands, BadArguments,
                         ::testing::Values(BadLine{{}, "A command ("},
                                           BadLine{{"renumber"}, "renumber"},
                                           BadLine{{"set", "--card", "1", "2", "--json"}, "--json"},
                                           BadLine{{"find"}, "NUMBER"}));

TEST(Arguments, HelpAndVersionNeedNoMachine) {
    Workspace ws;
    const auto help = ws.cardnum("none", {"--help"});
    EXPECT_EQ(help.exitCode, 0) << help;
    EXPECT_NE(help.out.find("Exit status"), std::string::npos) << help;
    const auto commands = offeredCommands();
    ASSERT_GE(commands.size(), 5U) << help;
    // Without a command the message names them all.
    std::string names;
    for (std::size_t i = 0; i < commands.size(); ++i) {
        names += (i == 0 ? "" : i + 1 == commands.size() ? " or " : ", ") + commands[i];
    }
    const auto bare = ws.cardnum("none", {});
    EXPECT_NE(bare.err.find("A command (" + names + ") is required"), std::string::npos) << bare;

    const auto setHelp = ws.cardnum("none", {"set", "--help"});
    EXPECT_EQ(setHelp.exitCode, 0) << setHelp;
    EXPECT_NE(setHelp.out.find("--dry-run"), std::string::npos) << setHelp;

    const auto version = ws.cardnum("none", {"--version"});
    EXPECT_EQ(version.exitCode, 0) << version;
    EXPECT_TRUE(std::regex_match(version.out, std::regex("cardnum [0-9]+\\.[0-9]+\\.[0-9]+\n")))
        << version;
}

// The manual page is written by hand: every command and option the program offers must
// be in it.
TEST(Arguments, ManualPageCoversEveryOption) {
    std::ifstream file(CARDNUM_MANUAL);
    ASSERT_TRUE(file) << CARDNUM_MANUAL;
    std::stringstream text;
    text << file.rdbuf();
    const std::string manual = std::regex_replace(text.str(), std::regex(R"(\\-)"), "-");

    Workspace ws;
    std::set<std::string> offered;
    const std::regex option("--[a-z][a-z-]*");
    std::vector<std::string> commands = offeredCommands();
    commands.emplace_back();
    for (const std::string& command : commands) {
        std::vector<std::string> args;
        if (!command.empty()) args.emplace_back(command);
        args.emplace_back("--help");
        const auto help = ws.cardnum("none", args);
        ASSERT_EQ(help.exitCode, 0) << help;
        for (std::sregex_iterator it(help.out.begin(), help.out.end(), option), end; it != end;
             ++it) {
            offered.insert(it->str());
        }
        if (!command.empty()) offered.insert(".B " + command);
    }
    EXPECT_GE(offered.size(), 12U);
    for (const auto& name : offered) {
        EXPECT_NE(manual.find(name), std::string::npos) << name << " is not in the manual page";
    }
}

// A reader that closes the pipe ends cardnum by SIGPIPE, silently, as it ends any filter,
// also when the parent left SIGPIPE ignored; and the manual says so.
TEST(ExitStatus, ClosedPipeEndsCardnumBySigpipeAsTheManualSays) {
    Workspace ws;
    const std::string rack = ws.rack("three.toml");
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    ::close(ends[0]);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
    std::string portvex = "PORTVEX=" + rack;
    char* argv[] = {const_cast<char*>(CARDNUM_BINARY), const_cast<char*>("list"), nullptr};
    char* envp[] = {portvex.data(), nullptr};
    const auto previous = std::signal(SIGPIPE, SIG_IGN);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, CARDNUM_BINARY, &actions, nullptr, argv, envp);
    std::signal(SIGPIPE, previous);
    posix_spawn_file_actions_destroy(&actions);
    ::close(ends[1]);
    ASSERT_EQ(spawned, 0);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGPIPE) << status;

    std::ifstream file(CARDNUM_MANUAL);
    std::stringstream manual;
    manual << file.rdbuf();
    const std::string text = manual.str();
    const std::string statuses = text.substr(text.find(".SH EXIT STATUS"));
    EXPECT_NE(statuses.find("SIGPIPE"), std::string::npos) << statuses;
    EXPECT_EQ(statuses.find("closed pipe"), std::string::npos) << statuses;
    EXPECT_NE(statuses.find(".B 5\nInternal error"), std::string::npos) << statuses;
}

}  // namespace
