// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// What the backends tell a user, written once: how ports read when they are out of reach,
// the consequence of kernel lockdown, and why an I/O range was refused and what to do.
// It speaks of devices, I/O ranges and the portvex group; the Portvex README has the rule.
#pragma once

#include <cstdint>
#include <string>

namespace portvex::advice {

// What a port out of reach reads, as an empty bus does.
inline constexpr uint32_t kAllOnes = 0xFFFFFFFF;

// "0x0CF8"
std::string hexPort(uint32_t port);

// The system's reason for errno `error`; 0 is a transfer that came up short.
std::string errorText(int error);

// Where the kernel refuses a backend for lockdown, and how to end it.
std::string lockedDown(const std::string& mode);
inline constexpr const char* kEndLockdown =
    "until lockdown is off (on most machines, by turning Secure Boot off)";

// The sysfs backend under lockdown: what still works and what does not.
std::string lockdownNote(const std::string& mode);

// Where the lockdown state cannot be read: securityfs is not mounted and the kernel
// command line says nothing.
inline constexpr const char* kLockdownUnknown =
    "Whether lockdown is on cannot be told here (securityfs is not mounted at "
    "/sys/kernel/security, and the kernel command line has no lockdown=): if writes to devices "
    "are refused, lockdown (on with Secure Boot on many distributions) may be why; mount "
    "securityfs (mount -t securityfs none /sys/kernel/security) to see it.";

// For a user of the ioperm backend, which needs root.
inline constexpr const char* kUseKernelFiles =
    "unset PORTVEX to use the kernel's PCI files, which need no root (see the Portvex README "
    "for the portvex group)";

// What a refused access does.
inline constexpr const char* kLostAccesses =
    "those ports read as 0xFFFFFFFF and writes to them are dropped";

// Where this user stands with the portvex group and a file it may not use: no rule gives
// the file to the group, there is no group, the user is not in it, joined it after this
// login began, or this process cannot see the group database.
enum class Standing { RuleMissing, GroupMissing, NotMember, MemberSinceLogin, Unknown };

// The group "portvex" as the file layer sees it for one file.
struct GroupView {
    bool known = true;  // false: the group database is out of this process's sight
    bool exists = false;
    bool ownsFile = false;
    bool userListed = false;  // the user is a member, though this process is not
};
Standing standingFor(const GroupView& group);

// A resourceN file this process may not use, and what the user needs to know about it.
struct RefusedRange {
    std::string where;        // "port 0xE050 through /sys/.../resource1", or the path alone
    std::string path;         // the resourceN file
    std::string device;       // "0000:01:02.0"
    uint32_t ids = kAllOnes;  // the device's first configuration dword: device << 16 | vendor
    unsigned bar = 0;
    bool ruleCovers = false;  // a portvex group rule covers the device
    Standing standing = Standing::NotMember;
    std::string error;  // the system's reason
};

// A device's IDs as lspci writes them, from its first configuration dword: "10b5:9050",
// and with the fields named: "vendor 10b5, device 9050". cardnum spells them alike.
std::string pciIds(uint32_t ids);
std::string namedPciIds(uint32_t ids);

// Which range was refused, whose it is, and what to do.
std::string refused(const RefusedRange& range);

}  // namespace portvex::advice
