// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// What `cardnum capture` costs on a simulated rack of nine cards among other devices, as a
// user runs it (the whole program, started afresh each time), against the waits it cannot
// avoid: 64 EEPROM word fetches of kWordFetchWait for each card. vs_waits is the ratio.
#include <benchmark/benchmark.h>
#include <eeprom/eeprom.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr unsigned kCards = 9;
constexpr unsigned kOtherDevices = 20;

// The rack: ordinary devices on bus 0, the cards on bus 2, each EEPROM numbered.
fs::path writeRack(const fs::path& folder) {
    const fs::path rack = folder / "nine.toml";
    std::ofstream out(rack);
    out << "description = \"nine cards among twenty devices\"\n";
    for (unsigned i = 0; i < kOtherDevices; ++i) {
        out << "\n[[device]]\nslot = \"00:" << std::hex << (i < 16 ? "0" : "") << i
            << ".0\"\nvendor = 0x8086\ndevice = 0x" << 0x7000 + i << "\nbars = [0xe0000000]\n"
            << std::dec;
    }
    for (unsigned n = 0; n < kCards; ++n) {
        out << "\n[[card]]\nslot = \"02:0" << n << ".0\"\nbar1 = 0x" << std::hex
            << (0xE001 + 0x80 * n) << "\nbar4 = 0x" << (0x301 + 0x20 * n) << std::dec
            << "\nirq = " << 5 + n << "\ncard_no = " << n + 1 << "\n";
    }
    return rack;
}

// Runs cardnum with `args` on PORTVEX=`portvex`, output to /dev/null; its exit status.
int runCardnum(const std::string& portvex, std::vector<std::string> args) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        if (std::string(*e).rfind("PORTVEX", 0) != 0) env.emplace_back(*e);
    }
    env.push_back("PORTVEX=" + portvex);
    args.insert(args.begin(), CARDNUM_BINARY);
    std::vector<char*> argv, envp;
    for (auto& a : args) argv.push_back(a.data());
    for (auto& e : env) envp.push_back(e.data());
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned =
        posix_spawn(&pid, CARDNUM_BINARY, &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void BM_CaptureNineCards(benchmark::State& state) {
    const fs::path folder =
        fs::temp_directory_path() / ("capture-bench-" + std::to_string(getpid()));
    fs::create_directories(folder);
    const std::string portvex = "sim:" + writeRack(folder).string();
    const std::string output = (folder / "captured.toml").string();
    std::chrono::duration<double> elapsed{};
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const int status = runCardnum(portvex, {"capture", "--output", output});
        elapsed += std::chrono::steady_clock::now() - start;
        if (status != 0) {
            state.SkipWithError("cardnum capture failed");
            break;
        }
    }
    fs::remove_all(folder);
    const std::chrono::duration<double> waits =
        kCards * slotscan::kEepromWords * slotscan::kWordFetchWait;
    const double perCapture = elapsed.count() / static_cast<double>(state.iterations());
    state.counters["waits_ms"] = waits.count() * 1e3;
    state.counters["vs_waits"] = perCapture / waits.count();
}
BENCHMARK(BM_CaptureNineCards)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

}  // namespace

BENCHMARK_MAIN();
