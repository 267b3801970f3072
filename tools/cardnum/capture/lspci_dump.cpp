// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include "lspci_dump.h"

#include <fmt/format.h>

#include <algorithm>
#include <map>
#include <optional>
#include <tuple>

namespace cardnum::capture {
namespace {

constexpr std::size_t kBytesPerLine = 16;
constexpr std::size_t kHeaderBytes = kHeaderDwords * 4;
constexpr std::size_t kConfigSpaceBytes = 4096;  // PCI Express extended space, lspci -xxxx
constexpr std::size_t kQuotedLength = 60;

std::optional<unsigned> hexDigit(char c) {
    if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
    if (c >= 'a' && c <= 'f') return static_cast<unsigned>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F') return static_cast<unsigned>(c - 'A' + 10);
    return std::nullopt;
}

// All of `text` as one hexadecimal number of at most `maxDigits` digits.
std::optional<uint32_t> hexNumber(std::string_view text, std::size_t maxDigits) {
    if (text.empty() || text.size() > maxDigits) return std::nullopt;
    uint32_t value = 0;
    for (const char c : text) {
        const auto digit = hexDigit(c);
        if (!digit) return std::nullopt;
        value = value << 4 | *digit;
    }
    return value;
}

// A line as a message shows it: control characters as \xNN, long lines cut short.
std::string shown(std::string_view line) {
    std::string text;
    for (const char c : line.substr(0, kQuotedLength)) {
        const auto byte = static_cast<unsigned char>(c);
        text += byte < 0x20 || byte == 0x7F ? fmt::format("\\x{:02x}", byte) : std::string(1, c);
    }
    return line.size() > kQuotedLength ? "'" + text + "...'" : "'" + text + "'";
}

struct Slot {
    uint32_t domain = 0;
    uint8_t bus = 0, device = 0, function = 0;
};

// The slot a device line starts with ("00:1f.3" or "0000:00:1f.3", then a space or the end
// of the line), or nothing when the line does not start with one. A slot-like start that
// names no function is an error.
std::variant<std::monostate, Slot, std::string> slotOf(std::string_view line) {
    const std::string_view token = line.substr(0, line.find_first_of(" \t"));
    const std::size_t dot = token.rfind('.');
    if (dot == std::string_view::npos || token.find(':') == std::string_view::npos) return {};
    std::vector<std::string_view> parts;  // [domain,] bus, device
    for (std::string_view place = token.substr(0, dot);;) {
        const std::size_t colon = place.find(':');
        parts.push_back(place.substr(0, colon));
        if (colon == std::string_view::npos) break;
        place.remove_prefix(colon + 1);
    }
    const std::string wrong = fmt::format(
        "expected a slot such as 00:1f.3 or 0000:00:1f.3 at the start of the line, found {}",
        shown(token));
    if (parts.size() < 2 || parts.size() > 3) return wrong;
    const std::size_t first = parts.size() - 2;
    const auto domain = first == 0 ? std::optional<uint32_t>(0) : hexNumber(parts[0], 8);
    const auto bus = hexNumber(parts[first], 2);
    const auto device = hexNumber(parts[first + 1], 2);
    const auto function = hexNumber(token.substr(dot + 1), 1);
    if (!domain || !bus || !device || !function) return wrong;
    if (*device > 0x1F || *function > 7) {
        return fmt::format("expected device 00 to 1f and function 0 to 7 in slot {}", shown(token));
    }
    return Slot{*domain, static_cast<uint8_t>(*bus), static_cast<uint8_t>(*device),
                static_cast<uint8_t>(*function)};
}

// A line of bytes: "OO: b0 b1 ... b15" at offset OO (two to four hexadecimal digits).
struct ByteLine {
    uint32_t offset = 0;
    uint8_t bytes[kBytesPerLine] = {};
};

bool looksLikeByteLine(std::string_view line) {
    const std::size_t colon = line.find(':');
    return colon != std::string_view::npos && colon >= 2 && colon <= 4 &&
           hexNumber(line.substr(0, colon), 4).has_value() &&
           (line.size() == colon + 1 || line[colon + 1] == ' ');
}

std::optional<ByteLine> byteLine(std::string_view line) {
    const std::size_t colon = line.find(':');
    ByteLine parsed;
    parsed.offset = *hexNumber(line.substr(0, colon), 4);
    std::string_view rest = line.substr(colon + 1);
    while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\t')) rest.remove_suffix(1);
    if (rest.size() != 3 * kBytesPerLine) return std::nullopt;
    for (std::size_t i = 0; i < kBytesPerLine; ++i) {
        const auto byte =
            rest[3 * i] == ' ' ? hexNumber(rest.substr(3 * i + 1, 2), 2) : std::nullopt;
        if (!byte) return std::nullopt;
        parsed.bytes[i] = static_cast<uint8_t>(*byte);
    }
    return parsed;
}

class Reader {
  public:
    std::variant<LspciDump, DumpError> read(std::string_view text) {
        std::size_t number = 0;
        for (std::size_t end = 0; end != std::string_view::npos && !text.empty();) {
            end = text.find('\n');
            std::string_view line = text.substr(0, end);
            if (end != std::string_view::npos) text.remove_prefix(end + 1);
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            if (auto error = take(line, ++number)) return *error;
        }
        if (auto error = finish(number + 1, "the end of the dump")) return *error;
        if (dump_.functions.empty() && dump_.leftOut.empty()) {
            return DumpError{1,
                             "expected a function: a line that starts with its slot, such as "
                             "'00:1f.3 ...', then its bytes, as lspci -x writes them; found "
                             "none"};
        }
        std::sort(dump_.functions.begin(), dump_.functions.end(),
                  [](const CapturedFunction& a, const CapturedFunction& b) {
                      return std::tie(a.bus, a.device, a.function) <
                             std::tie(b.bus, b.device, b.function);
                  });
        return std::move(dump_);
    }

  private:
    std::optional<DumpError> take(std::string_view line, std::size_t number) {
        if (line.find_first_not_of(" \t") == std::string_view::npos) {
            return finish(number, "a blank line");
        }
        const bool indented = line.front() == ' ' || line.front() == '\t';
        if (open_ && indented && bytes_ == 0) return std::nullopt;  // lspci -v details
        if (open_ && !indented && looksLikeByteLine(line)) return bytesOf(line, number);
        if (indented) {
            return DumpError{number, open_ ? fmt::format("expected the bytes at offset {:02x} "
                                                         "or a blank line, found {}",
                                                         bytes_, shown(line))
                                           : fmt::format("expected a slot such as 00:1f.3 at "
                                                         "the start of the line, found {}",
                                                         shown(line))};
        }
        auto slot = slotOf(line);
        if (auto* wrong = std::get_if<std::string>(&slot)) return DumpError{number, *wrong};
        if (std::holds_alternative<std::monostate>(slot)) {
            return DumpError{number, open_ ? fmt::format("expected the bytes at offset {:02x}: "
                                                         "'{:02x}:' and sixteen bytes, found {}",
                                                         bytes_, bytes_, shown(line))
                                           : fmt::format("expected a slot such as 00:1f.3 at "
                                                         "the start of the line, found {}",
                                                         shown(line))};
        }
        if (auto error = finish(number, "the next function's line")) return error;
        return open(std::get<Slot>(slot), number);
    }

    std::optional<DumpError> open(const Slot& slot, std::size_t number) {
        current_ = CapturedFunction{};
        current_.bus = slot.bus;
        current_.device = slot.device;
        current_.function = slot.function;
        domain_ = slot.domain;
        const std::string name = fmt::format("{:04x}:{}", slot.domain, slotText(current_));
        if (const auto [first, added] = lines_.try_emplace(name, number); !added) {
            return DumpError{number, fmt::format("expected each function once, found {} a second "
                                                 "time (first at line {})",
                                                 name, first->second)};
        }
        open_ = true;
        bytes_ = 0;
        return std::nullopt;
    }

    std::optional<DumpError> bytesOf(std::string_view line, std::size_t number) {
        const auto parsed = byteLine(line);
        if (!parsed) {
            return DumpError{number, fmt::format("expected sixteen bytes of two hexadecimal "
                                                 "digits, each after a space, found {}",
                                                 shown(line))};
        }
        if (bytes_ >= kConfigSpaceBytes) {
            return DumpError{number, fmt::format("expected a blank line: configuration space "
                                                 "ends at {:#x}, found {}",
                                                 kConfigSpaceBytes, shown(line))};
        }
        if (parsed->offset != bytes_) {
            return DumpError{number, fmt::format("expected the bytes at offset {:02x}, found "
                                                 "offset {:02x}",
                                                 bytes_, parsed->offset)};
        }
        for (std::size_t i = 0; i < kBytesPerLine && bytes_ + i < kHeaderBytes; ++i) {
            const std::size_t at = bytes_ + i;
            current_.header[at / 4] |= uint32_t{parsed->bytes[i]} << (8 * (at % 4));
        }
        bytes_ += kBytesPerLine;
        return std::nullopt;
    }

    // Ends the function being read, if any, at line `number`, which holds `found`.
    std::optional<DumpError> finish(std::size_t number, std::string_view found) {
        if (!open_) return std::nullopt;
        if (bytes_ < kHeaderBytes) {
            return DumpError{number, fmt::format("expected the bytes at offset {:02x}: each "
                                                 "function needs the 64 bytes of its header "
                                                 "(lspci -x), found {}",
                                                 bytes_, found)};
        }
        open_ = false;
        if (domain_ == 0) {
            dump_.functions.push_back(current_);
        } else {
            dump_.leftOut.push_back(fmt::format("{:04x}:{}", domain_, slotText(current_)));
        }
        return std::nullopt;
    }

    LspciDump dump_;
    std::map<std::string, std::size_t> lines_;  // "dddd:bb:dd.f" -> line of its slot
    CapturedFunction current_;
    uint32_t domain_ = 0;
    bool open_ = false;
    std::size_t bytes_ = 0;  // bytes of the current function read so far
};

}  // namespace

std::variant<LspciDump, DumpError> readLspciDump(std::string_view text) {
    return Reader().read(text);
}

}  // namespace cardnum::capture
