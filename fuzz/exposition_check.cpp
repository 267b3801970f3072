// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include "exposition_check.h"

#include <fmt/format.h>

#include <cstdint>
#include <optional>
#include <set>
#include <vector>

namespace fuzz {
namespace {

bool validUtf8(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        size_t more = 0;
        uint32_t code = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            more = 1;
            code = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            more = 2;
            code = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            more = 3;
            code = c & 0x07;
        } else {
            return false;
        }
        if (i + more >= text.size()) return false;
        for (size_t k = 1; k <= more; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            code = code << 6 | (next & 0x3F);
        }
        static constexpr uint32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
        if (code < kLeast[more] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += more + 1;
    }
    return true;
}

bool metricStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':';
}
bool metricChar(char c) {
    return metricStart(c) || (c >= '0' && c <= '9');
}
bool labelStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}
bool labelChar(char c) {
    return labelStart(c) || (c >= '0' && c <= '9');
}
bool digit(char c) {
    return c >= '0' && c <= '9';
}

// Reads a name at `at`; empty when none starts there.
std::string_view name(std::string_view line, size_t& at, bool (*start)(char), bool (*rest)(char)) {
    const size_t from = at;
    if (at >= line.size() || !start(line[at])) return {};
    while (at < line.size() && rest(line[at])) ++at;
    return line.substr(from, at - from);
}

// Go's ParseFloat as the format uses it, and its special values.
bool floatText(std::string_view s) {
    if (s == "NaN" || s == "+Inf" || s == "-Inf" || s == "Inf") return true;
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    size_t digits = 0;
    while (i < s.size() && digit(s[i])) ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && digit(s[i])) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
        size_t exponent = 0;
        while (i < s.size() && digit(s[i])) ++i, ++exponent;
        if (exponent == 0) return false;
    }
    return i == s.size();
}

bool integerText(std::string_view s) {
    size_t i = (!s.empty() && s[0] == '-') ? 1 : 0;
    if (i == s.size() || s.size() - i > 19) return false;
    for (; i < s.size(); ++i) {
        if (!digit(s[i])) return false;
    }
    return true;
}

// The family a sample name belongs to, given the type of `family`.
bool belongsTo(std::string_view sample, const std::string& family, const std::string& type) {
    if (sample == family) return true;
    if (type != "histogram" && type != "summary") return false;
    for (std::string_view suffix : {"_sum", "_count", "_bucket"}) {
        if (suffix == "_bucket" && type != "histogram") continue;
        if (sample.size() == family.size() + suffix.size() && sample.starts_with(family) &&
            sample.ends_with(suffix))
            return true;
    }
    return false;
}

struct Family {
    bool help = false;
    std::string type;  // empty: untyped so far
    bool sampled = false;
    bool closed = false;  // another family's samples came after this one's
};

class Reader {
  public:
    explicit Reader(Samples* samples) : samples_(samples) {}

    std::string line(std::string_view text) {
        if (text.empty()) return "an empty line";
        if (text.find('\r') != std::string_view::npos) return "a carriage return";
        if (text[0] == '#') return comment(text);
        return sample(text);
    }

  private:
    std::string comment(std::string_view text) {
        if (!text.starts_with("# HELP ") && !text.starts_with("# TYPE ")) return {};
        const bool help = text[2] == 'H';
        size_t at = 7;
        const std::string metric(name(text, at, metricStart, metricChar));
        if (metric.empty()) return "a HELP or TYPE line without a metric name";
        Family& family = families_[metric];
        if (family.sampled) return "HELP or TYPE after the family's samples";
        if (help) {
            if (family.help) return "a second HELP line for " + metric;
            family.help = true;
            if (at == text.size()) return {};
            if (text[at] != ' ') return "no space after the metric name";
            for (size_t i = at + 1; i < text.size(); ++i) {
                if (text[i] != '\\') continue;
                if (i + 1 == text.size() || (text[i + 1] != '\\' && text[i + 1] != 'n'))
                    return "a HELP text with an escape other than \\\\ or \\n";
                ++i;
            }
            return {};
        }
        if (!family.type.empty()) return "a second TYPE line for " + metric;
        if (at == text.size() || text[at] != ' ') return "a TYPE line without a type";
        const std::string_view type = text.substr(at + 1);
        if (type != "counter" && type != "gauge" && type != "histogram" && type != "summary" &&
            type != "untyped") {
            return fmt::format("unknown type '{}'", type);
        }
        family.type = type;
        return {};
    }

    std::string sample(std::string_view text) {
        size_t at = 0;
        const std::string_view metric = name(text, at, metricStart, metricChar);
        if (metric.empty()) return "a sample without a metric name";
        // The family: the one being sampled if this name belongs to it, else its own.
        std::string familyName(metric);
        if (!current_.empty() && belongsTo(metric, current_, families_[current_].type)) {
            familyName = current_;
        }
        Family& family = families_[familyName];
        if (family.closed) return "samples of " + familyName + " apart from the others";
        if (familyName != current_) {
            if (!current_.empty()) families_[current_].closed = true;
            current_ = familyName;
        }
        family.sampled = true;

        std::string series(metric);
        std::set<std::string> labels;
        if (at < text.size() && text[at] == '{') {
            series += '{';
            ++at;
            while (true) {
                if (at < text.size() && text[at] == '}') break;
                const std::string label(name(text, at, labelStart, labelChar));
                if (label.empty()) return "a label without a name";
                if (label.starts_with("__")) return "a reserved label name " + label;
                if (!labels.insert(label).second) return "label " + label + " given twice";
                if (at + 1 >= text.size() || text[at] != '=' || text[at + 1] != '"')
                    return "a label without =\"";
                at += 2;
                std::string value;
                while (true) {
                    if (at >= text.size()) return "a label value without its closing quote";
                    const char c = text[at++];
                    if (c == '"') break;
                    if (c == '\\') {
                        if (at >= text.size()) return "a label value ending in a backslash";
                        const char e = text[at++];
                        if (e != '\\' && e != '"' && e != 'n')
                            return "a label value with an escape other than \\\\, \\\" or \\n";
                        value += '\\';
                        value += e;
                        continue;
                    }
                    value += c;
                }
                series += fmt::format("{}{}=\"{}\"", labels.size() > 1 ? "," : "", label, value);
                if (at < text.size() && text[at] == ',') {
                    ++at;
                    continue;
                }
                if (at < text.size() && text[at] == '}') break;
                return "labels not separated by commas";
            }
            ++at;  // '}'
            series += '}';
        }
        if (at >= text.size() || text[at] != ' ') return "no space before the value";
        const std::string_view rest = text.substr(at + 1);
        const size_t space = rest.find(' ');
        const std::string_view value = rest.substr(0, space);
        if (!floatText(value)) return fmt::format("value '{}' is not a number", value);
        if (space != std::string_view::npos && !integerText(rest.substr(space + 1))) {
            return "a timestamp that is not an integer";
        }
        if (samples_ != nullptr && !samples_->emplace(series, std::string(value)).second) {
            return "series " + series + " given twice";
        }
        if (samples_ == nullptr && !seen_.insert(series).second) {
            return "series " + series + " given twice";
        }
        return {};
    }

    Samples* samples_;
    std::set<std::string> seen_;
    std::map<std::string, Family> families_;
    std::string current_;
};

}  // namespace

std::string checkExposition(std::string_view text, Samples* samples) {
    if (samples != nullptr) samples->clear();
    if (!validUtf8(text)) return "not UTF-8";
    if (text.empty()) return "no text";
    if (text.back() != '\n') return "the last line has no line feed";
    Reader reader(samples);
    size_t number = 0;
    for (size_t at = 0; at < text.size();) {
        const size_t end = text.find('\n', at);
        ++number;
        if (std::string fault = reader.line(text.substr(at, end - at)); !fault.empty()) {
            return fmt::format("line {}: {}", number, fault);
        }
        at = end + 1;
    }
    return {};
}

}  // namespace fuzz
