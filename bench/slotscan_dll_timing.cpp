// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// Times lookups through Slotscan.dll and the simulated Portvex.dll beside it, as a Windows
// program sees them: the median, fastest and slowest of RUNS calls of GetIOBaseByCardNo
// for the last card in the table, so that every call reads every card's number.
//
//   slotscan_dll_timing RACK_FILE WORK_FOLDER [RUNS]
#include <slotscan.h>
#include <windows.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

template <typename Fn>
Fn bind(HMODULE dll, const char* name, int argumentBytes) {
#if defined(_WIN64)
    (void)argumentBytes;
    const std::string exported = name;
#else
    const std::string exported = "_" + std::string(name) + "@" + std::to_string(argumentBytes);
#endif
    return reinterpret_cast<Fn>(
        reinterpret_cast<void (*)()>(GetProcAddress(dll, exported.c_str())));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s RACK_FILE WORK_FOLDER [RUNS]\n", argv[0]);
        return 2;
    }
    const fs::path work = argv[2];
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 50;
    const fs::path rack = work / fs::path(argv[1]).filename();
    std::error_code error;
    fs::remove_all(work, error);
    fs::create_directories(work);
    fs::copy_file(argv[1], rack);
    _putenv_s("PORTVEX", ("sim:" + rack.string()).c_str());

    HMODULE dll = LoadLibraryA("Slotscan.DLL");
    if (dll == nullptr) {
        std::fprintf(stderr, "cannot load Slotscan.DLL: error %lu\n", GetLastError());
        return 1;
    }
    const auto findPCICard = bind<decltype(&FindPCICard)>(dll, "FindPCICard", 4);
    const auto getIOBase = bind<decltype(&GetIOBaseByCardNo)>(dll, "GetIOBaseByCardNo", 12);
    if (findPCICard == nullptr || getIOBase == nullptr) {
        std::fprintf(stderr, "Slotscan.DLL lacks FindPCICard or GetIOBaseByCardNo\n");
        return 1;
    }
    std::array<int16_t, MAX_CARDS> numbers{};
    const int32_t count = findPCICard(numbers.data());
    if (count <= 0) {
        std::fprintf(stderr, "no card found on %s\n", rack.string().c_str());
        return 1;
    }
    const int16_t last = numbers[static_cast<size_t>(count - 1)];

    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        uint16_t base = 0, irq = 0;
        const auto start = std::chrono::steady_clock::now();
        const int32_t found = getIOBase(last, &base, &irq);
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
        if (found != 1) {
            std::fprintf(stderr, "card %d not found at run %d\n", last, i);
            return 1;
        }
    }
    std::sort(ms.begin(), ms.end());
    std::printf(
        "%d-card lookup of card %d, %d runs: median %.2f ms, fastest %.2f ms, slowest %.2f ms\n",
        count, last, runs, ms[ms.size() / 2], ms.front(), ms.back());
    FreeLibrary(dll);
    return 0;
}
