// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// The backends PORTVEX can name: the one list. The READMEs and the tools' manuals point here.
#include <cstdlib>
#include <string_view>

#include "backend.h"
#include "port_instructions.h"
#include "unavailable_backend.h"

namespace portvex {
namespace {

// The range the default udev rule hands the portvex group (see the Portvex README), which
// the sysfs backend checks at its start; the build names it (portvex/CMakeLists.txt).
constexpr RangeToCheck kDefaultRuleRange{PORTVEX_RULE_VENDOR, PORTVEX_RULE_DEVICE,
                                         PORTVEX_RULE_BAR};

std::unique_ptr<Backend> makeSysfs(std::string_view) {
    return makeSysfsBackend(sysfsRootFromEnvironment(), std::chrono::seconds(1),
                            procRootFromEnvironment(), {kDefaultRuleRange});
}

std::unique_ptr<Backend> makeIoperm(std::string_view) {
    return makeIopermBackend(makeProcessorPortInstructions(), sysfsRootFromEnvironment(),
                             procRootFromEnvironment());
}

std::unique_ptr<Backend> makeNone(std::string_view) {
    return makeUnavailableBackend(
        "none",
        "PORTVEX=none turns port access off: reads give 0xFFFFFFFF and no device "
        "answers. Unset PORTVEX for real hardware, or set PORTVEX=sim:/path/to/rack.toml.");
}

std::unique_ptr<Backend> makeSim(std::string_view rackFile) {
    return loadSimulatorModule(std::string(rackFile));
}

struct Choice {
    std::string_view value;  // what PORTVEX holds; with a trailing ':' a prefix to an argument
    std::unique_ptr<Backend> (*make)(std::string_view argument);
};

// The first entry is also what an unset or empty PORTVEX chooses.
constexpr Choice kChoices[] = {
    {"sysfs", makeSysfs},    // real hardware through the kernel's PCI files
    {"ioperm", makeIoperm},  // real hardware through in/out instructions, root only
    {"sim:", makeSim},       // the simulated PC of a rack file
    {"none", makeNone},      // no port access at all
};

std::string knownValues() {
    std::string text;
    for (const Choice& choice : kChoices) {
        if (!text.empty()) text += ", ";
        text += "PORTVEX=" + std::string(choice.value);
        if (choice.value.back() == ':') text += "/path/to/rack.toml";
    }
    return text;
}

}  // namespace

std::string sysfsRootFromEnvironment() {
    const char* root = std::getenv("PORTVEX_SYSFS_ROOT");
    return root != nullptr && *root != '\0' ? root : "/sys";
}

std::string procRootFromEnvironment() {
    const char* root = std::getenv("PORTVEX_PROC_ROOT");
    return root != nullptr && *root != '\0' ? root : "/proc";
}

std::unique_ptr<Backend> makeBackendFor(const char* portvexVariable) {
    const std::string_view value(portvexVariable != nullptr ? portvexVariable : "");
    if (value.empty()) return kChoices[0].make({});
    for (const Choice& choice : kChoices) {
        if (choice.value.back() == ':' ? value.substr(0, choice.value.size()) == choice.value
                                       : value == choice.value) {
            return choice.make(
                value.substr(choice.value.back() == ':' ? choice.value.size() : value.size()));
        }
    }
    return makeUnavailableBackend(
        "unknown", "PORTVEX=" + std::string(value) +
                       " names no backend Portvex knows, so no port is touched. Unset PORTVEX for "
                       "real hardware through the kernel's PCI files, or use one of " +
                       knownValues() + ".");
}

}  // namespace portvex
