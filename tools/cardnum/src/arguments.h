// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// What cardnum's command line accepts: the options several commands share, and the checks
// that turn an option's text into its value or refuse it, naming what is accepted.
// Only the files that define options include CLI11 itself: it is most of what building
// cardnum costs.
#pragma once

#include <slotscan.h>

namespace CLI {
class App;
class Option;
class Validator;
}  // namespace CLI

namespace cardnum {

struct CommonOptions;

// --pci VENDOR:DEVICE[:SUBVENDOR:SUBDEVICE], lspci's order and the documented form, and
// --id DEVICE:VENDOR[:SUBSYSTEM:SUBVENDOR], the same IDs in the order of the library's
// PCIID record, kept for scripts that use it. At most one of the two.
void addIdOption(CLI::App& command, CommonOptions& common);
// The filter --pci or --id gives, or the library's own IDs.
PCIID chosenFilter(const CommonOptions& common);
// --json
CLI::Option* addJsonFlag(CLI::App& command, CommonOptions& common);

// A card number (kCardNumberMin to kCardNumberMax) or a table index (0 to MAX_CARDS - 1),
// decimal or 0x-hex, rewritten as its decimal value.
CLI::Validator cardNumberArgument();
CLI::Validator tableIndexArgument();
// A filter parsePciFilter() reads, and one parseIdFilter() reads.
CLI::Validator pciFilterArgument();
CLI::Validator idFilterArgument();
// The FILE of --output: any name but the empty one.
CLI::Validator outputFileArgument();

}  // namespace cardnum
