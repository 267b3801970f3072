// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// cardnum rule: the udev rule that hands every I/O range of cards with given IDs to the
// group "portvex", with the lines that install and apply it. The packaged rule
// (60-portvex.rules) is this command's output for the library's own IDs.
#include <fmt/format.h>
#include <fmt/ostream.h>

#include <string>

#include "arguments.h"
#include "commands.h"
#include "exit_codes.h"
#include "id_filter.h"

namespace cardnum {
namespace {

// Run by udev for a matching device: every BAR (resource0-5) that decodes I/O space
// (flag 0x100 on its line of the `resource` file) goes to the group. udev reads "$$" as "$".
constexpr const char* kGrantEveryIoRange =
    "RUN+=\"/bin/sh -c 'n=0; while read -r start end flags; do "
    "if [ $$n -le 5 ] && [ $$(( flags & 0x100 )) -ne 0 ] && [ -e /sys%p/resource$$n ]; then "
    "chgrp portvex /sys%p/resource$$n && chmod 0660 /sys%p/resource$$n; fi; "
    "n=$$(( n + 1 )); done < /sys%p/resource'\"";

struct Match {
    const char* attribute;
    uint16_t value;
};

// One file per ID set, so that installing the rule for other IDs never replaces this one:
// vendor and device, then the subsystem's vendor and ID when either is given (0000 matches
// any). The library's own IDs keep the plain name.
std::string fileName(const PCIID& filter) {
    const PCIID defaults = defaultFilter();
    const bool anySubsystem = filter.SubsystemID == 0 && filter.SubsystemVendorID == 0;
    if (filter.VendorID == defaults.VendorID && filter.DeviceID == defaults.DeviceID &&
        anySubsystem) {
        return "60-portvex.rules";
    }
    std::string name = fmt::format("60-portvex-{:04x}-{:04x}", filter.VendorID, filter.DeviceID);
    if (!anySubsystem) {
        name += fmt::format("-{:04x}-{:04x}", filter.SubsystemVendorID, filter.SubsystemID);
    }
    return name + ".rules";
}

class Rule final : public Command {
  public:
    void define(CLI::App& command, CommonOptions& common) override { addIdOption(command, common); }
    int run(const CommonOptions& options, Streams io) override;
};

const Registered<Rule> kRule{"rule", 50,
                             "Print the udev rule that lets the portvex group use every I/O "
                             "range of the cards, with the lines that install and apply it"};

}  // namespace

int Rule::run(const CommonOptions& options, Streams io) {
    const PCIID& filter = options.filter;
    if (filter.VendorID == 0 && filter.DeviceID == 0) {
        fmt::print(io.err,
                   "cardnum: refused: a rule for any vendor and any device would hand the I/O "
                   "ports of every PCI device to the portvex group; give the cards' vendor or "
                   "device ID with --pci VENDOR:DEVICE\n");
        return kUsage;
    }
    const Match matches[] = {{"vendor", filter.VendorID},
                             {"device", filter.DeviceID},
                             {"subsystem_vendor", filter.SubsystemVendorID},
                             {"subsystem_device", filter.SubsystemID}};
    std::string match = "ACTION==\"add|bind\", SUBSYSTEM==\"pci\"";
    std::string trigger = "sudo udevadm trigger --subsystem-match=pci";
    for (const Match& m : matches) {
        if (m.value == 0) continue;  // a word of 0 matches any value
        match += fmt::format(", ATTR{{{}}}==\"0x{:04x}\"", m.attribute, m.value);
        trigger += fmt::format(" --attr-match={}=0x{:04x}", m.attribute, m.value);
    }
    const std::string file = fileName(filter);
    // Named the way --pci reads them, whichever option gave them.
    const bool ownIds = options.pci.empty() && options.id.empty();
    const std::string self =
        ownIds ? "cardnum rule" : "cardnum rule --pci " + describeFilter(filter);
    fmt::print(io.out,
               "# Lets members of the group \"portvex\" read and write every I/O range of PCI "
               "devices\n"
               "# with IDs {} ({}): the bridge's local registers (BAR1),\n"
               "# through which card numbers are read and written, and the card's own "
               "registers.\n"
               "# The scan itself reads only what any user may read.\n"
               "#\n"
               "# Install and apply it (then members log in again):\n"
               "#   sudo groupadd --system --force portvex\n"
               "#   {} | sudo tee /etc/udev/rules.d/{} >/dev/null\n"
               "#   sudo udevadm control --reload\n"
               "#   {} --action=add\n"
               "#   sudo usermod -a -G portvex \"$USER\"\n"
               "{}, \\\n  {}\n",
               describeFilter(filter), nameFilter(filter), self, file, trigger, match,
               kGrantEveryIoRange);
    return kDone;
}

}  // namespace cardnum
