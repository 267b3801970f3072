// What the backends tell a user whose port accesses were refused, written once: the
// consequence of kernel lockdown, and what to do about missing permission.
#pragma once

#include <string>

namespace portvex::advice {

// Where the kernel refuses a backend for lockdown, and how to end it.
std::string lockedDown(const std::string& mode);
inline constexpr const char* kEndLockdown =
    "until lockdown is off (on most machines, by turning Secure Boot off)";

// Where the lockdown state cannot be read: securityfs is not mounted and the kernel
// command line says nothing.
inline constexpr const char* kLockdownUnknown =
    "Whether lockdown is on cannot be told here (securityfs is not mounted at "
    "/sys/kernel/security, and the kernel command line has no lockdown=): if writes to cards "
    "are refused, lockdown (on with Secure Boot on many distributions) may be why; mount "
    "securityfs (mount -t securityfs none /sys/kernel/security) to see it.";

// For a user of the ioperm backend, which needs root.
inline constexpr const char* kUseKernelFiles =
    "unset PORTVEX to use the kernel's PCI files, which need no root (see the Portvex README "
    "for the portvex group)";

// What a refused access does.
inline constexpr const char* kLostAccesses =
    "those ports read as 0xFFFFFFFF and writes to them are dropped";

}  // namespace portvex::advice

namespace portvex::advice {

// A resourceN file this process may not use, and what the user needs to know about it.
struct RefusedRange {
    enum class Owner { BridgeRegisters, CardRange, OtherDevice };
    // Why: no rule gives the file to the group, there is no group, the user is not in
    // it, or joined it after this login began.
    enum class Standing { RuleMissing, GroupMissing, NotMember, MemberSinceLogin };

    std::string where;   // "port 0xE050 through /sys/.../resource1", or the path alone
    std::string path;    // the resourceN file
    std::string device;  // "0000:01:02.0 (9050:10B5)"
    std::string ids;     // "9050:10b5", as --id takes it
    unsigned bar = 0;
    Owner owner = Owner::OtherDevice;
    Standing standing = Standing::NotMember;
    std::string error;  // the system's reason
};

// Which range was refused, what it belongs to, and what to do.
std::string refused(const RefusedRange& range);

}  // namespace portvex::advice
