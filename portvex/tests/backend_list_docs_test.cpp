// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// The list of backends lives in src/select.cpp, and PORTVEX=bogus tells users every value
// it accepts. Each list the documentation writes of them must name every one: a backend
// added there and forgotten here fails the case of the list that lacks it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <ostream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "backend.h"

namespace {

// The backends the refusal of an unknown PORTVEX names ("... or use one of PORTVEX=sysfs,
// PORTVEX=sim:/path/to/rack.toml, ..."), without the value refused itself.
std::vector<std::string> backendsPortvexAccepts() {
    const std::string bogus = "bogus";
    const std::string said = portvex::makeBackendFor(bogus.c_str())->status();
    const std::regex value("PORTVEX=([a-z0-9]+)");
    std::vector<std::string> names;
    for (auto it = std::sregex_iterator(said.begin(), said.end(), value);
         it != std::sregex_iterator(); ++it) {
        if ((*it)[1] != bogus) names.push_back((*it)[1]);
    }
    return names;
}

struct List {
    const char* name;   // of the test case
    const char* file;   // from the top of the source tree
    const char* start;  // text just before the list
    const char* end;    // the first text after it
    bool unknown;       // a list of the names portvex_backend() returns, "unknown" included
};

void PrintTo(const List& list, std::ostream* out) {
    *out << list.file << ", the list after '" << list.start << "'";
}

// The text as it reads: without the font changes of manual pages (\fBsysfs\fP).
std::string withoutFontChanges(const std::string& text) {
    return std::regex_replace(text, std::regex(R"(\\f[BIRP])"), "");
}

class BackendList : public ::testing::TestWithParam<List> {};

TEST_P(BackendList, NamesEveryBackendPortvexAccepts) {
    const List& list = GetParam();
    std::vector<std::string> names = backendsPortvexAccepts();
    ASSERT_GE(names.size(), 2U) << "PORTVEX=bogus names the backends";
    if (list.unknown) names.push_back(portvex::makeBackendFor("bogus")->name());

    std::ifstream in(std::filesystem::path(PORTVEX_SOURCE_DIR) / list.file);
    ASSERT_TRUE(in) << list.file;
    std::ostringstream whole;
    whole << in.rdbuf();
    const std::string text = whole.str();
    const size_t start = text.find(list.start);
    ASSERT_NE(start, std::string::npos) << list.file << " has no '" << list.start << "'";
    const size_t end = text.find(list.end, start + std::string(list.start).size());
    ASSERT_NE(end, std::string::npos) << list.file << " has no '" << list.end << "' after it";
    const std::string written = withoutFontChanges(text.substr(start, end - start));
    for (const std::string& name : names) {
        EXPECT_TRUE(std::regex_search(written, std::regex("(^|[^A-Za-z0-9_])" + name + "\\b")))
            << list.file << " lists the backends without " << name << ":\n"
            << written;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Documentation, BackendList,
    ::testing::Values(
        List{"portvex_h", "portvex/include/portvex.h",
             "the environment variable PORTVEX:", "Without permission", false},
        List{"portvex_readme", "portvex/README.md", "| `PORTVEX` | Backend |", "\n\n", false},
        List{"portvex_3", "docs/man/portvex.3", ".SS The backend", ".SS Status", false},
        List{"portvex_backend_3", "docs/man/portvex.3", "returns the name of the active backend",
             ".PP", true},
        List{"slotscan_3", "docs/man/slotscan.3", ".SS Choosing the hardware: PORTVEX", "See",
             false},
        List{"windows_md", "docs/windows.md", "| `PORTVEX` | Port accesses go to |", "\n\n", false},
        List{"python_docstring", "python/slotscan/__init__.py", "def use_port_layer",
             "Call it before", false},
        List{"python_readme", "python/README.md", "slotscan.use_port_layer(\"sim:", "\n", false}),
    [](const ::testing::TestParamInfo<List>& list) { return std::string(list.param.name); });

}  // namespace
