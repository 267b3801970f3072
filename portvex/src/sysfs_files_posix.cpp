// The file operations of the sysfs backend on Linux: POSIX calls.
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>

#include "sysfs_files.h"

namespace portvex::sysfs {

std::optional<std::string> readTextFile(const std::string& path) {
    std::ifstream in(path);
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) return std::nullopt;
    return text.str();
}

std::optional<std::string> outOfReachHere() {
    return std::nullopt;
}

FileHandle openFile(const std::string& path, Access access) {
    return FileHandle(
        ::open(path.c_str(), (access == Access::Read ? O_RDONLY : O_RDWR) | O_CLOEXEC));
}

bool mayReadAndWrite(const std::string& path) {
    return ::faccessat(AT_FDCWD, path.c_str(), R_OK | W_OK, AT_EACCESS) == 0;
}

PortvexGroup portvexGroupFor(const std::string& path) {
    PortvexGroup found;
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

std::optional<uint32_t> readDword(const FileHandle& file, uint64_t offset) {
    unsigned char bytes[4] = {};
    const ssize_t got = ::pread(file.get(), bytes, sizeof bytes, static_cast<off_t>(offset));
    if (got != static_cast<ssize_t>(sizeof bytes)) {
        if (got >= 0) errno = 0;  // short read: past the end of what this user may read
        return std::nullopt;
    }
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

bool writeDword(const FileHandle& file, uint64_t offset, uint32_t value) {
    const unsigned char bytes[4] = {
        static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
        static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
    return ::pwrite(file.get(), bytes, sizeof bytes, static_cast<off_t>(offset)) ==
           static_cast<ssize_t>(sizeof bytes);
}

}  // namespace portvex::sysfs
