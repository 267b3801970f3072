// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include "nesting.h"

#include <vector>

namespace simpc {

std::optional<unsigned> lineNestedDeeperThan(std::string_view text, unsigned limit) {
    enum class In { Code, Comment, Basic, Literal, MultiBasic, MultiLiteral };
    In in = In::Code;
    unsigned line = 1;
    // Levels opened by the brackets around this point (each with the key that led to it),
    // and the dots of the key or value being read.
    std::vector<unsigned> outer;
    unsigned base = 0, dots = 0;
    auto at = [&](size_t i, std::string_view what) { return text.substr(i, what.size()) == what; };

    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\n') {
            ++line;
            dots = 0;
            if (in == In::Comment || in == In::Basic || in == In::Literal) in = In::Code;
            continue;
        }
        switch (in) {
            case In::Comment:
                break;
            case In::Basic:
            case In::MultiBasic:
                if (c == '\\' && i + 1 < text.size() && text[i + 1] != '\n') {
                    ++i;  // an escaped character, perhaps a quote
                } else if (in == In::Basic && c == '"') {
                    in = In::Code;
                } else if (in == In::MultiBasic && at(i, R"(""")")) {
                    in = In::Code;
                    i += 2;
                }
                break;
            case In::Literal:
                if (c == '\'') in = In::Code;
                break;
            case In::MultiLiteral:
                if (at(i, "'''")) {
                    in = In::Code;
                    i += 2;
                }
                break;
            case In::Code:
                switch (c) {
                    case '#':
                        in = In::Comment;
                        break;
                    case '"':
                        in = at(i, R"(""")") ? In::MultiBasic : In::Basic;
                        if (in == In::MultiBasic) i += 2;
                        break;
                    case '\'':
                        in = at(i, "'''") ? In::MultiLiteral : In::Literal;
                        if (in == In::MultiLiteral) i += 2;
                        break;
                    case '[':
                    case '{':
                        outer.push_back(base);
                        base += dots + 1;
                        dots = 0;
                        break;
                    case ']':
                    case '}':
                        base = outer.empty() ? 0 : outer.back();
                        if (!outer.empty()) outer.pop_back();
                        dots = 0;
                        break;
                    case '.':
                        ++dots;
                        break;
                    case '=':
                    case ',':
                        dots = 0;
                        break;
                    default:
                        break;
                }
                if (base + dots > limit) return line;
                break;
        }
    }
    return std::nullopt;
}

}  // namespace simpc
