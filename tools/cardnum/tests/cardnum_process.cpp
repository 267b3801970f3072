// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include "cardnum_process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string_view>

extern char** environ;

namespace cardnum_test {
namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// This process's environment without any PORTVEX setting, plus the one given.
std::vector<std::string> environmentWith(const std::string& portvex) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string_view entry(*e);
        if (entry.rfind("PORTVEX", 0) == 0) continue;
        env.emplace_back(entry);
    }
    env.push_back("PORTVEX=" + portvex);
    return env;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> result;
    for (auto& s : strings) result.push_back(s.data());
    result.push_back(nullptr);
    return result;
}

}  // namespace

Workspace::Workspace() {
    std::string pattern = (fs::temp_directory_path() / "cardnum-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    dir_ = pattern;
}

Workspace::~Workspace() {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
}

std::string Workspace::rack(const std::string& name) {
    const fs::path source =
        fs::path(name).is_absolute() ? fs::path(name) : fs::path(CARDNUM_TEST_RACKS) / name;
    const fs::path copy = dir_ / source.filename();
    fs::copy_file(source, copy, fs::copy_options::overwrite_existing);
    return "sim:" + copy.string();
}

Run Workspace::cardnum(const std::string& portvex, const std::vector<std::string>& args,
                       const std::vector<std::string>& extraEnvironment,
                       const fs::path& stdoutTo) const {
    return program(CARDNUM_BINARY, portvex, args, extraEnvironment, stdoutTo);
}

Run Workspace::program(const std::string& binary, const std::string& portvex,
                       const std::vector<std::string>& args,
                       const std::vector<std::string>& extraEnvironment,
                       const fs::path& stdoutTo) const {
    const fs::path outFile = stdoutTo.empty() ? dir_ / "stdout.txt" : stdoutTo;
    const fs::path errFile = dir_ / "stderr.txt";

    std::vector<std::string> argv{binary};
    argv.insert(argv.end(), args.begin(), args.end());
    auto env = environmentWith(portvex);
    env.insert(env.end(), extraEnvironment.begin(), extraEnvironment.end());
    auto argvPointers = pointers(argv);
    auto envPointers = pointers(env);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outFile.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errFile.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, binary.c_str(), &actions, nullptr, argvPointers.data(),
                                    envPointers.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) throw std::runtime_error("cannot start " + binary);

    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) throw std::runtime_error("waitpid failed");
    }
    Run run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (stdoutTo.empty()) run.out = readFile(outFile);
    run.err = readFile(errFile);
    return run;
}

std::ostream& operator<<(std::ostream& out, const Run& run) {
    return out << "exit " << run.exitCode << "\n--- stdout\n"
               << run.out << "--- stderr\n"
               << run.err;
}

}  // namespace cardnum_test
