// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// The file operations of the sysfs backend on Linux: POSIX calls.
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "sysfs_files.h"

namespace portvex::sysfs {

std::optional<std::string> outOfReachHere() {
    return std::nullopt;
}

FileHandle openFile(const std::string& path, Access access) {
    // O_NONBLOCK: opening a FIFO does not wait for a writer. The kernel's files ignore it.
    FileHandle file(::open(path.c_str(),
                           (access == Access::Read ? O_RDONLY : O_RDWR) | O_CLOEXEC | O_NONBLOCK));
    if (!file.valid()) return file;
    struct stat status;
    if (::fstat(file.get(), &status) != 0) return {};
    if (!S_ISREG(status.st_mode)) {
        errno = S_ISDIR(status.st_mode) ? EISDIR : kNotRegularFile;
        return {};
    }
    return file;
}

bool mayReadAndWrite(const std::string& path) {
    return ::faccessat(AT_FDCWD, path.c_str(), R_OK | W_OK, AT_EACCESS) == 0;
}

advice::GroupView portvexGroupFor(const std::string& path) {
    advice::GroupView found;
    const group* portvex = ::getgrnam("portvex");
    if (portvex == nullptr) return found;
    found.exists = true;
    struct stat file;
    found.ownsFile = ::stat(path.c_str(), &file) == 0 && file.st_gid == portvex->gr_gid;
    const passwd* user = ::getpwuid(::geteuid());
    if (user == nullptr) return found;
    found.userListed = user->pw_gid == portvex->gr_gid;
    for (char** member = portvex->gr_mem; *member != nullptr; ++member) {
        found.userListed |= std::string_view(*member) == user->pw_name;
    }
    return found;
}

std::optional<std::vector<std::string>> listFolder(const std::string& path) {
    DIR* dir = ::opendir(path.c_str());
    if (dir == nullptr) {
        if (errno == 0) errno = ENOENT;
        return std::nullopt;
    }
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir)) names.emplace_back(entry->d_name);
    ::closedir(dir);
    return names;
}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = other.release();
    }
    return *this;
}

FileHandle::~FileHandle() {
    if (fd_ >= 0) ::close(fd_);
}

long readAt(const FileHandle& file, uint64_t offset, unsigned char* bytes, size_t size) {
    return ::pread(file.get(), bytes, size, static_cast<off_t>(offset));
}

long writeAt(const FileHandle& file, uint64_t offset, const unsigned char* bytes, size_t size) {
    return ::pwrite(file.get(), bytes, size, static_cast<off_t>(offset));
}

}  // namespace portvex::sysfs
