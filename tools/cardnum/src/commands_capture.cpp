// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include <files/atomic_file.h>
#include <fmt/chrono.h>
#include <fmt/ostream.h>

#include <CLI/CLI.hpp>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "arguments.h"
#include "commands.h"
#include "exit_codes.h"
#include "id_filter.h"
#include "lspci_dump.h"
#include "machine_capture.h"
#include "port_status.h"

namespace cardnum {
namespace {

namespace fs = std::filesystem;

// Dumps larger than this are refused unread: lspci -xxxx of 256 functions is about 3 MiB.
constexpr std::size_t kMaxDumpBytes = 16 * 1024 * 1024;

std::string machineName() {
#if defined(_WIN32)
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof name;
    if (GetComputerNameA(name, &size) == 0) return "an unnamed machine";
    return name;
#else
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "an unnamed machine";
    return name;
#endif
}

std::string today() {
    return fmt::format(
        "{:%Y-%m-%d %H:%M} UTC",
        fmt::gmtime(std::chrono::system_clock::to_time_t(std::chrono::system_clock::now())));
}

const std::vector<std::string> kCommonNotes = {
    "A machine as cardnum capture saw it: each PCI function that answered, with what a rack",
    "holds of its 64-byte configuration header, and each card's EEPROM. Replay it with",
    "PORTVEX=sim:/path/to/this/file (\"Reproducing a machine\" in cardnum(1)).",
};

// At most kMaxDumpBytes + 1 bytes of `in`: enough to tell a dump too large.
std::string readBounded(std::istream& in) {
    std::string text(kMaxDumpBytes + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    return text;
}

// The text of the dump file ("-": standard input), or a complaint on `err`.
std::optional<std::string> readDump(const std::string& name, std::ostream& err) {
    std::string text;
    if (name == "-") {
        text = readBounded(std::cin);
    } else {
        std::error_code ec;
        if (!fs::is_regular_file(name, ec)) {
            fmt::print(err, "cardnum: {}: {}\n", name,
                       fs::exists(name, ec) ? "not a regular file" : "no such file");
            return std::nullopt;
        }
        std::ifstream in(name, std::ios::binary);
        if (in) text = readBounded(in);
        if (in.bad() || !in.is_open()) {
            fmt::print(err, "cardnum: {}: cannot be read\n", name);
            return std::nullopt;
        }
    }
    if (text.size() > kMaxDumpBytes) {
        fmt::print(err, "cardnum: {}: larger than {} MiB, which no lspci dump is\n", name,
                   kMaxDumpBytes >> 20);
        return std::nullopt;
    }
    return text;
}

class Capture final : public Command {
  public:
    void define(CLI::App& command, CommonOptions& common) override {
        addIdOption(command, common);
        command
            .add_option("--output", output_,
                        "Write the rack to FILE and the cards' EEPROM words to the image "
                        "beside it (FILE's name with .eeprom.json), each replaced atomically, "
                        "instead of printing the rack with the words in it")
            ->type_name("FILE")
            ->check(outputFileArgument());
        command
            .add_option("--from-lspci-dump", dump_,
                        "Read the machine from a bus dump made with lspci -x, -xxx or -xxxx "
                        "(- for standard input) instead of through the port layer; its cards "
                        "read as never numbered")
            ->type_name("DUMP");
    }

    int run(const CommonOptions& options, Streams io) override;

  private:
    int write(const capture::CapturedMachine& machine, std::string_view verb, Streams io) const;

    std::string output_;
    std::string dump_;
};

const Registered<Capture> kCapture{"capture", 45,
                                   "Write the machine as a rack file the simulated PC replays: "
                                   "every PCI function's header and each card's EEPROM"};

int Capture::write(const capture::CapturedMachine& machine, std::string_view verb,
                   Streams io) const {
    // A rack the simulated PC would refuse is no capture: say why, and write nothing.
    if (const auto clash = capture::replayClash(machine)) {
        fmt::print(io.err, "cardnum: nothing written: {}\n", *clash);
        return kNotFound;
    }
    if (output_.empty() || isStandardOutput(output_)) {
        io.out << capture::rackText(machine);
        return kDone;
    }
    // A device or a FIFO (/dev/stdout, a pipe) gets the rack with its words, and no file
    // is made beside it.
    std::error_code ec;
    const fs::file_status kind = fs::status(output_, ec);
    if (fs::exists(kind) && !fs::is_regular_file(kind) && !fs::is_directory(kind)) {
        try {
            files::writeWhole(output_, capture::rackText(machine));
        } catch (const std::exception& e) {
            fmt::print(io.err, "cardnum: {}\n", e.what());
            return kOutputFailed;
        }
        return kDone;
    }
    // Beside the file a link leads to, where the rack itself is written.
    fs::path image = fs::is_symlink(fs::symlink_status(output_, ec))
                         ? fs::weakly_canonical(output_, ec)
                         : fs::path(output_);
    image.replace_extension(".eeprom.json");
    try {
        // The image first: a rack is never left naming words of another capture.
        files::writeWhole(image, capture::imageText(machine));
        files::writeWhole(output_, capture::rackText(machine, image.filename().string()));
    } catch (const std::exception& e) {
        fmt::print(io.err, "cardnum: {}\n", e.what());
        return kOutputFailed;
    }
    const auto counts = capture::countsOf(machine);
    fmt::print(io.out, "{} {} functions and {} cards ({} EEPROMs read whole) into {} and {}\n",
               verb, counts.functions, counts.cards, counts.eepromsRead, output_, image.string());
    return kDone;
}

int Capture::run(const CommonOptions& options, Streams io) {
    if (!dump_.empty()) {
        const auto text = readDump(dump_, io.err);
        if (!text) return kUsage;
        auto reading = capture::readLspciDump(*text);
        if (const auto* error = std::get_if<capture::DumpError>(&reading)) {
            fmt::print(io.err, "cardnum: {}:{}: {}\n", dump_, error->line, error->message);
            return kUsage;
        }
        auto& dump = std::get<capture::LspciDump>(reading);
        capture::CapturedMachine machine;
        machine.description = fmt::format(
            "lspci dump {}, read on {}",
            dump_ == "-" ? "from standard input" : fs::path(dump_).filename().string(), today());
        machine.notes = kCommonNotes;
        machine.notes.insert(machine.notes.end(),
                             {"", "A bus dump holds no EEPROM contents: its cards read as never",
                              "numbered unless an EEPROM image (eeprom_image) gives their words."});
        for (const std::string& slot : dump.leftOut) {
            machine.notes.push_back(fmt::format(
                "Left out: {}, outside PCI domain 0000, which ports 0xCF8/0xCFC do not reach.",
                slot));
        }
        machine.functions = std::move(dump.functions);
        for (auto& f : machine.functions) {
            f.isCard = matchesFilter(options.filter, f.vendor(), f.deviceId(), f.subsystemId(),
                                     f.subsystemVendor());
        }
        return write(machine, "Read", io);
    }

    if (!havePortAccess(io.err)) return kNoPortAccess;
    auto machine = captureMachine(options.filter);
    // A refusal during the capture makes what it read noise: write nothing.
    if (lostPortAccess(io.err)) return kNoPortAccess;
    machine.description =
        fmt::format("{} on {} through the {} backend", machineName(), today(), port::backend());
    machine.notes = kCommonNotes;
    machine.notes.insert(machine.notes.end(),
                         {"", "A capture only reads: how long a card's EEPROM takes to write, and",
                          "whether it takes writes at all, cannot be seen; the cards here take",
                          "writes as sound parts do."});
    return write(machine, "Captured", io);
}

}  // namespace
}  // namespace cardnum
