// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include "advice.h"

#include <cstdio>
#include <cstring>

namespace portvex::advice {

std::string hexPort(uint32_t port) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", port);
    return text;
}

std::string errorText(int error) {
    return error != 0 ? std::strerror(error) : "short transfer";
}

std::string lockedDown(const std::string& mode) {
    return "the kernel is locked down (" + mode + ")";
}

std::string lockdownNote(const std::string& mode) {
    std::string text = lockedDown(mode);
    text[0] = 'T';
    return text +
           ": it refuses every write to a device's I/O ranges, so whatever a device keeps behind "
           "them (such as a serial EEPROM clocked by writes) reads as absent, while configuration "
           "space, with every device's I/O ranges and IRQ, is still read. Writes stay refused " +
           kEndLockdown + ".";
}

Standing standingFor(const GroupView& group) {
    if (!group.known) return Standing::Unknown;
    if (!group.exists) return Standing::GroupMissing;
    if (!group.ownsFile) return Standing::RuleMissing;
    // The file is the group's, yet this process may not use it: it is not in the group.
    return group.userListed ? Standing::MemberSinceLogin : Standing::NotMember;
}

std::string pciIds(uint32_t ids) {
    char text[16];
    std::snprintf(text, sizeof text, "%04x:%04x", ids & 0xFFFF, ids >> 16);
    return text;
}

std::string namedPciIds(uint32_t ids) {
    char text[32];
    std::snprintf(text, sizeof text, "vendor %04x, device %04x", ids & 0xFFFF, ids >> 16);
    return text;
}

std::string refused(const RefusedRange& range) {
    const std::string ids = pciIds(range.ids);
    const std::string owner = range.ruleCovers
                                  ? "an I/O range of a device the portvex group rule covers"
                                  : "an I/O range of a device no portvex group rule covers";
    std::string todo;
    switch (range.standing) {
        case Standing::RuleMissing:
            todo = "install a portvex group rule for the IDs " + ids + " (" +
                   namedPciIds(range.ids) + "; the Portvex README shows the rule); or run as root";
            break;
        case Standing::GroupMissing:
            todo =
                "this machine has no portvex group yet: create it and install the rule "
                "(see the Portvex README), or run as root";
            break;
        case Standing::NotMember:
            todo =
                "add your user to the portvex group (see the Portvex README), then log in "
                "again; or run as root";
            break;
        case Standing::MemberSinceLogin:
            todo =
                "your user joined the portvex group after this login began: log in again "
                "(or start a shell with `newgrp portvex`)";
            break;
        case Standing::Unknown:
            todo =
                "check that a portvex group rule covers the device and that your user is in "
                "the portvex group (see the Portvex README), which cannot be seen from here; "
                "or run as root";
            break;
    }
    return "Refused: " + range.where + ". BAR" + std::to_string(range.bar) + " of " + range.device +
           " (" + ids + ") is " + owner + ", and this user lacks read and write access to " +
           range.path + " (" + range.error + "). To use it, " + todo + ". Until then " +
           kLostAccesses + ".";
}

}  // namespace portvex::advice
