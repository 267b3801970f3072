// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <algorithm>
#include <string_view>
#include <vector>

#include "captured_machine.h"

namespace cardnum::capture {
namespace {

// A TOML basic string: quotes, backslashes and control characters escaped.
std::string quoted(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte == 0x7F) {
            out += fmt::format("\\u{:04x}", byte);
        } else {
            out += c;
        }
    }
    return out + '"';
}

// The header fields a rack holds for every function.
void identity(std::string& out, const CapturedFunction& f) {
    out += fmt::format("slot = \"{}\"\n", slotText(f));
    out += fmt::format("vendor = {:#06x}\ndevice = {:#06x}\n", f.vendor(), f.deviceId());
    out +=
        fmt::format("class = {:#08x}\nrevision = {:#04x}\n", f.header[2] >> 8, f.header[2] & 0xFF);
    if (f.subsystemVendor() != 0 || f.subsystemId() != 0) {
        out += fmt::format("subsystem_vendor = {:#06x}\nsubsystem = {:#06x}\n", f.subsystemVendor(),
                           f.subsystemId());
    }
}

std::string_view faultName(Eeprom eeprom) {
    switch (eeprom) {
        case Eeprom::NoEeprom:
            return "no-eeprom";
        case Eeprom::StuckLow:
            return "do-stuck-0";
        case Eeprom::StuckHigh:
            return "do-stuck-1";
        default:
            return {};
    }
}

std::string wordList(const std::array<uint16_t, kEepromWords>& words) {
    std::string text = "[";
    for (unsigned i = 0; i < words.size(); ++i) {
        text += fmt::format("{}{:#06x}", i == 0 ? "" : i % 8 == 0 ? ",\n  " : ", ", words[i]);
    }
    return text + "]";
}

void device(std::string& out, const CapturedFunction& f) {
    out += "\n[[device]]\n";
    identity(out, f);
    const uint32_t headerType = (f.header[3] >> 16) & 0xFF;
    if (headerType != 0) out += fmt::format("header_type = {:#04x}\n", headerType);
    out += "bars = [";
    for (unsigned i = 0; i < 6; ++i) out += fmt::format("{}{:#x}", i == 0 ? "" : ", ", f.bar(i));
    out += "]\n";
    out += fmt::format("irq = {}\n", f.header[15] & 0xFF);
}

void card(std::string& out, const CapturedFunction& f, bool wordsInline) {
    out += "\n[[card]]\n";
    switch (f.eeprom) {
        case Eeprom::NotRead:
            out += "# EEPROM not read: the rack's default contents (never numbered)\n";
            break;
        case Eeprom::NoEeprom:
            out += "# CNTRL reports no EEPROM fitted\n";
            break;
        case Eeprom::StuckLow:
            out += "# DO read low even with the part deselected, all words 0\n";
            break;
        case Eeprom::StuckHigh:
            out += "# DO read high even for the dummy bit: no part answered\n";
            break;
        case Eeprom::Answered:
            break;
    }
    identity(out, f);
    for (unsigned i = 0; i < 6; ++i) {
        if (f.bar(i) != 0 || i == 1) out += fmt::format("bar{} = {:#x}\n", i, f.bar(i));
    }
    out += fmt::format("irq = {}\n", f.header[15] & 0xFF);
    if (f.cntrl) out += fmt::format("cntrl = {:#010x}\n", *f.cntrl);
    if (f.bar4Size) out += fmt::format("bar4_size = {}\n", *f.bar4Size);
    if (const auto fault = faultName(f.eeprom); !fault.empty())
        out += fmt::format("faults = [\"{}\"]\n", fault);
    if (f.eeprom == Eeprom::Answered && wordsInline)
        out += fmt::format("eeprom = {}\n", wordList(f.words));
}

}  // namespace

std::string slotText(const CapturedFunction& function) {
    return fmt::format("{:02x}:{:02x}.{}", function.bus, function.device, function.function);
}

std::string rackText(const CapturedMachine& machine, const std::string& imageName) {
    std::string out;
    for (const std::string& note : machine.notes) out += note.empty() ? "#\n" : "# " + note + "\n";
    if (!machine.notes.empty()) out += "\n";
    out += fmt::format("description = {}\n", quoted(machine.description));
    if (!imageName.empty()) out += fmt::format("eeprom_image = {}\n", quoted(imageName));
    for (const CapturedFunction& f : machine.functions) {
        if (f.isCard) {
            card(out, f, imageName.empty());
        } else {
            device(out, f);
        }
    }
    return out;
}

std::string imageText(const CapturedMachine& machine) {
    std::string text = "{";
    const char* separator = "\n";
    for (const CapturedFunction& f : machine.functions) {
        if (!f.isCard || f.eeprom != Eeprom::Answered) continue;
        text += fmt::format("{}  \"{}\": [{}]", separator, slotText(f), fmt::join(f.words, ","));
        separator = ",\n";
    }
    return text + (text.size() == 1 ? "}\n" : "\n}\n");
}

CaptureCounts countsOf(const CapturedMachine& machine) {
    CaptureCounts counts;
    counts.functions = machine.functions.size();
    for (const CapturedFunction& f : machine.functions) {
        if (!f.isCard) continue;
        ++counts.cards;
        if (f.eeprom == Eeprom::Answered) ++counts.eepromsRead;
    }
    return counts;
}

std::optional<std::string> replayClash(const CapturedMachine& machine) {
    constexpr uint32_t kLocalSize = 128;  // the bridge's local registers behind BAR1
    constexpr uint32_t kPortCount = 0x10000;
    struct Taken {
        uint32_t first;
        uint32_t last;
        std::string owner;
    };
    std::vector<Taken> taken{{0xCF8, 0xCFF, "the configuration ports 0xcf8-0xcff"}};
    for (const CapturedFunction& f : machine.functions) {
        const uint32_t bar1 = f.bar(1);
        if (!f.isCard || (bar1 & 1U) == 0) continue;
        const uint32_t base = bar1 & ~uint32_t{3};
        if (base >= kPortCount) continue;
        const uint32_t last = std::min(base + kLocalSize, kPortCount) - 1;
        std::string owner = fmt::format("the local registers of card {} at {:#06x}-{:#06x}",
                                        slotText(f), base, last);
        for (const Taken& t : taken) {
            if (base <= t.last && t.first <= last) {
                return fmt::format(
                    "{} share ports with {}: the simulated PC cannot replay "
                    "a machine whose cards decode the same ports",
                    owner, t.owner);
            }
        }
        taken.push_back({base, last, std::move(owner)});
    }
    return std::nullopt;
}

}  // namespace cardnum::capture
