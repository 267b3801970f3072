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
           "files; it reaches no port on Windows. Programs on Windows reach their cards through "
           "the Portvex.dll that comes with their port driver: put that one beside Slotscan.dll, "
           "or set PORTVEX=sim:C:\\path\\to\\rack.toml for the simulated PC.";
}

std::optional<std::string> readTextFile(const std::string& path) {
    const FileHandle file = openFile(path, Access::Read);
    if (!file.valid()) return std::nullopt;
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0)
        text.append(buffer, got);
    if (GetLastError() != ERROR_SUCCESS && GetLastError() != ERROR_HANDLE_EOF && got != 0)
        return std::nullopt;
    return text;
}

FileHandle openFile(const std::string& path, Access access) {
    const DWORD rights = access == Access::Read ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
    const HANDLE file =
        CreateFileW(windowsPath(path).c_str(), rights, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        errno = lastErrorAsErrno();
        return {};
    }
    return FileHandle(file);
}

bool mayReadAndWrite(const std::string& path) {
    return openFile(path, Access::ReadWrite).valid();
}

// The Linux group database is out of a Windows program's sight: treat the file as the
// group's and the user as outside it, so that the advice is to join the group.
PortvexGroup portvexGroupFor(const std::string&) {
    return PortvexGroup{true, true, false};
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

std::optional<uint32_t> readDword(const FileHandle& file, uint64_t offset) {
    unsigned char bytes[4] = {};
    OVERLAPPED where = at(offset);
    DWORD got = 0;
    if (!ReadFile(file.get(), bytes, sizeof bytes, &got, &where)) {
        errno = lastErrorAsErrno();
        return std::nullopt;
    }
    if (got != sizeof bytes) {
        errno = 0;  // short read: past the end of what this user may read
        return std::nullopt;
    }
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

bool writeDword(const FileHandle& file, uint64_t offset, uint32_t value) {
    const unsigned char bytes[4] = {
        static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
        static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
    OVERLAPPED where = at(offset);
    DWORD put = 0;
    if (!WriteFile(file.get(), bytes, sizeof bytes, &put, &where)) {
        errno = lastErrorAsErrno();
        return false;
    }
    return put == sizeof bytes;
}

}  // namespace portvex::sysfs
