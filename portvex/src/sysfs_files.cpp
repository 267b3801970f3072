// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include "sysfs_files.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <sstream>

namespace portvex::sysfs {
namespace {

constexpr uint64_t kIoResourceFlag = 0x100;       // IORESOURCE_IO
constexpr uint64_t kNotPlacedFlags = 0x30000000;  // IORESOURCE_DISABLED | IORESOURCE_UNSET
constexpr size_t kBars = 6;
constexpr uint64_t kLastPort = 0xFFFF;

template <typename T>
bool parseHex(std::string_view text, T& value) {
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value, 16);
    return result.ec == std::errc() && result.ptr == end;
}

// "0x0000000000001000" -> 0x1000
bool parsePrefixedHex(std::string_view text, uint64_t& value) {
    if (text.size() < 3 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X')) return false;
    return parseHex(text.substr(2), value);
}

}  // namespace

std::optional<DeviceName> parseDeviceName(std::string_view name) {
    // DDDD:BB:DD.F, the domain possibly wider than four digits.
    const size_t firstColon = name.find(':');
    if (firstColon == std::string_view::npos || firstColon == 0) return std::nullopt;
    const std::string_view rest = name.substr(firstColon + 1);
    if (rest.size() != 7 || rest[2] != ':' || rest[5] != '.') return std::nullopt;

    uint32_t domain = 0;
    uint32_t bus = 0;
    uint32_t device = 0;
    uint32_t function = 0;
    if (!parseHex(name.substr(0, firstColon), domain) || !parseHex(rest.substr(0, 2), bus) ||
        !parseHex(rest.substr(3, 2), device) || !parseHex(rest.substr(6, 1), function)) {
        return std::nullopt;
    }
    if (device > 31 || function > 7) return std::nullopt;
    return DeviceName{domain, static_cast<uint8_t>(bus), static_cast<uint8_t>(device),
                      static_cast<uint8_t>(function)};
}

std::array<std::optional<PortRange>, 6> parseIoBars(std::string_view resourceText) {
    std::array<std::optional<PortRange>, 6> bars;
    std::istringstream lines{std::string(resourceText)};
    std::string line;
    for (size_t bar = 0; bar < kBars && std::getline(lines, line); ++bar) {
        std::istringstream fields(line);
        std::string startText, endText, flagsText;
        if (!(fields >> startText >> endText >> flagsText)) continue;
        uint64_t start = 0, end = 0, flags = 0;
        if (!parsePrefixedHex(startText, start) || !parsePrefixedHex(endText, end) ||
            !parsePrefixedHex(flagsText, flags)) {
            continue;
        }
        // A range starting at port 0 is a BAR the kernel has not placed.
        if ((flags & kIoResourceFlag) == 0 || (flags & kNotPlacedFlags) != 0 || start == 0 ||
            end < start || end > kLastPort) {
            continue;
        }
        bars[bar] = PortRange{static_cast<uint32_t>(start), static_cast<uint32_t>(end)};
    }
    return bars;
}

std::optional<std::string> lockdownMode(std::string_view lockdownText) {
    const size_t open = lockdownText.find('[');
    const size_t close = lockdownText.find(']', open);
    if (open == std::string_view::npos || close == std::string_view::npos) return std::nullopt;
    const std::string_view mode = lockdownText.substr(open + 1, close - open - 1);
    if (mode.empty() || mode == "none") return std::nullopt;
    return std::string(mode);
}

std::optional<std::string> lockdownFromCommandLine(std::string_view commandLine) {
    constexpr std::string_view kKey = "lockdown=";
    std::optional<std::string> mode;
    size_t at = 0;
    while ((at = commandLine.find(kKey, at)) != std::string_view::npos) {
        const bool wordStart = at == 0 || commandLine[at - 1] == ' ';
        at += kKey.size();
        if (!wordStart) continue;
        const size_t end = commandLine.find_first_of(" \n", at);
        mode = std::string(commandLine.substr(at, end == std::string_view::npos ? end : end - at));
    }
    // The kernel takes the last one; "none" or a word it does not know leaves it unlocked.
    if (mode && *mode != "integrity" && *mode != "confidentiality") return std::nullopt;
    return mode;
}

Lockdown kernelLockdown(const std::string& sysfsRoot, const std::string& procRoot) {
    std::string problem;
    // Nothing when the file is not there; a file that is there and cannot be read is told.
    const auto read = [&problem](const std::string& path) {
        auto text = readTextFile(path);
        if (!text && errno != ENOENT && errno != ENOTDIR && problem.empty()) {
            problem = "Cannot read " + path + " (" + errorText(errno) + ").";
        }
        return text;
    };
    if (const auto text = read(sysfsRoot + "/kernel/security/lockdown")) {
        return Lockdown{lockdownMode(*text), true, problem};
    }
    if (const auto commandLine = read(procRoot + "/cmdline")) {
        if (auto mode = lockdownFromCommandLine(*commandLine)) {
            return Lockdown{std::move(mode), true, problem};
        }
    }
    // Without securityfs, a kernel built to lock down by default, or locked down by its
    // boot loader under Secure Boot, shows nothing on the command line either.
    return Lockdown{std::nullopt, false, problem};
}

std::string errorText(int error) {
    if (error == kNotRegularFile) return "not a regular file";
    if (error == EFBIG) return "larger than the kernel's files are";
    return advice::errorText(error);
}

std::optional<uint32_t> readDword(const FileHandle& file, uint64_t offset) {
    unsigned char bytes[4] = {};
    const long got = readAt(file, offset, bytes, sizeof bytes);
    if (got != static_cast<long>(sizeof bytes)) {
        if (got >= 0) errno = 0;  // short read: past the end of what this user may read
        return std::nullopt;
    }
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

bool writeDword(const FileHandle& file, uint64_t offset, uint32_t value) {
    const unsigned char bytes[4] = {
        static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
        static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
    return writeAt(file, offset, bytes, sizeof bytes) == static_cast<long>(sizeof bytes);
}

std::optional<std::string> readTextFile(const std::string& path) {
    const FileHandle file = openFile(path, Access::Read);
    if (!file.valid()) return std::nullopt;
    std::string text;
    unsigned char buffer[4096];
    while (true) {
        const long got = readAt(file, text.size(), buffer, sizeof buffer);
        if (got < 0) return std::nullopt;
        if (got == 0) return text;
        text.append(reinterpret_cast<const char*>(buffer), static_cast<size_t>(got));
        if (text.size() > kTextFileLimit) {
            errno = EFBIG;
            return std::nullopt;
        }
    }
}

}  // namespace portvex::sysfs
