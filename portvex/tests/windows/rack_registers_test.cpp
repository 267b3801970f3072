// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// The simulated Portvex.dll serves the registers a rack file declares in a card's own I/O
// range to Windows programs: on a copy of examples/racks/dio32.toml, patterns written to the
// output register read back through the input register it is looped back to, and the trace
// names the card's slot and each register.
// usage: rack_registers_test.exe RACK_FILE WORK_FOLDER  (Windows paths)
#include <portvex.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "check.h"

using wine_check::check;

int main(int argc, char** argv) {
    // Before the first port access, which chooses the backend.
    const auto rack = wine_check::simulatedRack(argc, argv);
    if (!rack) return 2;
    const std::filesystem::path trace = rack->parent_path() / "trace.txt";
    _putenv_s("PORTVEX_TRACE", trace.string().c_str());

    check(inportdw(0x300) == 0xD1032001u, "the ID register reads its reset value");
    bool all = true;
    for (uint32_t pattern : {0x00000000u, 0xFFFFFFFFu, 0xA5A5A5A5u, 0x5A5A5A5Au, 0x00000001u}) {
        outportdw(0x304, pattern);
        all = all && inportdw(0x308) == pattern;
    }
    check(all, "DOUT reads back through DIN, looped back");
    check(inportdw(0x31C) == 0xFFFFFFFFu, "an offset no register claims reads all ones");

    std::stringstream text;
    text << std::ifstream(trace).rdbuf();
    const std::string lines = text.str();
    check(lines.find("W 0304 <- a5a5a5a5 00:0a.0 DOUT\n") != std::string::npos &&
              lines.find("R 0308 -> a5a5a5a5 00:0a.0 DIN\n") != std::string::npos,
          "the trace names the slot and the registers");
    return wine_check::summary();
}
