#include "advice.h"

namespace portvex::advice {

std::string lockedDown(const std::string& mode) {
    return "the kernel is locked down (" + mode + ")";
}

}  // namespace portvex::advice

namespace portvex::advice {

std::string refused(const RefusedRange& range) {
    using Owner = RefusedRange::Owner;
    using Standing = RefusedRange::Standing;
    std::string owner;
    switch (range.owner) {
        case Owner::BridgeRegisters:
            owner =
                "the 9050 bridge's local registers, through which the card's number is "
                "read and written";
            break;
        case Owner::CardRange:
            owner = "the card's own I/O range";
            break;
        case Owner::OtherDevice:
            owner = "a device that is no card the portvex group rule covers";
            break;
    }
    std::string todo;
    switch (range.standing) {
        case Standing::RuleMissing:
            todo = "the portvex group rule does not cover this device: `cardnum rule --id " +
                   range.ids + "` prints one that does; or run as root";
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
    }
    return "Refused: " + range.where + ". BAR" + std::to_string(range.bar) + " of " + range.device +
           " is " + owner + ", and this user lacks read and write access to " + range.path + " (" +
           range.error + "). To use it, " + todo + ". Until then " + kLostAccesses + ".";
}

}  // namespace portvex::advice
