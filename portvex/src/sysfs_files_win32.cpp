// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// The file operations of the sysfs backend in the Windows Portvex.dll. Under Wine, drive
// Z: is the Linux root, so the kernel's PCI files open with the Win32 file API, and a
// ReadFile or WriteFile at an OVERLAPPED offset is one pread or pwrite of the same size:
// exactly the 4-byte access the Linux backend makes. On Windows itself there are no such
// files, and the status says which Portvex.dll to use there.
#include <windows.h>

#include <cerrno>

#include "sysfs_files.h"

namespace portvex::sysfs {
namespace {

// Paths from the Linux side ("/sys/...", or PORTVEX_SYSFS_ROOT given as a Linux path) are
// reached through Z:; paths with a drive letter are taken as they are.
std::wstring windowsPath(const std::string& path) {
    const std::string full = !path.empty() && path[0] == '/' ? "Z:" + path : path;
    const int size = static_cast<int>(full.size());
    std::wstring wide(
        static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, full.data(), size, nullptr, 0)), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, full.data(), size, wide.data(), static_cast<int>(wide.size()));
    return wide;
}

std::string utf8(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(size > 0 ? size - 1 : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, narrow.data(), size, nullptr, nullptr);
    return narrow;
}

// The POSIX code the backend explains, for the last Win32 error.
int lastErrorAsErrno() {
    switch (GetLastError()) {
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_WRITE_PROTECT:
            return EACCES;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_INVALID_DRIVE:
            return ENOENT;
        case ERROR_HANDLE_EOF:
            return 0;  // a short read
        case ERROR_DEV_NOT_EXIST:
        case ERROR_NOT_READY:
            return ENODEV;
        default:
            return EIO;
    }
}

bool underWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace

std::optional<std::string> outOfReachHere() {
    if (underWine()) return std::nullopt;
    return "This Portvex.dll reaches hardware only under Wine on Linux, through the kernel's PCI "
           "files; it reaches no port on Windows. Programs on Windows reach their devices through "
           "the Portvex.dll that comes with their port driver: put that one beside the program, "
           "or set PORTVEX=sim:C:\\path\\to\\rack.toml for the simulated PC.";
}

FileHandle openFile(const std::string& path, Access access) {
    const DWORD rights = access == Access::Read ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
    FileHandle file(CreateFileW(windowsPath(path).c_str(), rights,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        file.release();
        errno = lastErrorAsErrno();
        return {};
    }
    // Regular files only, as the kernel's are: a pipe or device would not answer a read
    // at an offset.
    if (GetFileType(file.get()) != FILE_TYPE_DISK) {
        errno = kNotRegularFile;
        return {};
    }
    return file;
}

bool mayReadAndWrite(const std::string& path) {
    return openFile(path, Access::ReadWrite).valid();
}

// The Linux group database is out of a Windows program's sight: the advice says what to
// check rather than guess.
advice::GroupView portvexGroupFor(const std::string&) {
    advice::GroupView unknown;
    unknown.known = false;
    return unknown;
}

std::optional<std::vector<std::string>> listFolder(const std::string& path) {
    WIN32_FIND_DATAW entry;
    const HANDLE search = FindFirstFileW((windowsPath(path) + L"\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) {
        errno = lastErrorAsErrno();
        return std::nullopt;
    }
    std::vector<std::string> names;
    do {
        names.push_back(utf8(entry.cFileName));
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return names;
}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
    if (this != &other) {
        if (fd_ != kNoFile) CloseHandle(fd_);
        fd_ = other.release();
    }
    return *this;
}

FileHandle::~FileHandle() {
    if (fd_ != kNoFile) CloseHandle(fd_);
}

namespace {

OVERLAPPED at(uint64_t offset) {
    OVERLAPPED where{};
    where.Offset = static_cast<DWORD>(offset);
    where.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return where;
}

}  // namespace

long readAt(const FileHandle& file, uint64_t offset, unsigned char* bytes, size_t size) {
    OVERLAPPED where = at(offset);
    DWORD got = 0;
    if (!ReadFile(file.get(), bytes, static_cast<DWORD>(size), &got, &where)) {
        if (GetLastError() == ERROR_HANDLE_EOF) return 0;
        errno = lastErrorAsErrno();
        return -1;
    }
    return static_cast<long>(got);
}

long writeAt(const FileHandle& file, uint64_t offset, const unsigned char* bytes, size_t size) {
    OVERLAPPED where = at(offset);
    DWORD put = 0;
    if (!WriteFile(file.get(), bytes, static_cast<DWORD>(size), &put, &where)) {
        errno = lastErrorAsErrno();
        return -1;
    }
    return static_cast<long>(put);
}

}  // namespace portvex::sysfs
