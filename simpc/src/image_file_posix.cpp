#include <fcntl.h>
#include <fmt/format.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "image_file.h"

namespace simpc::image_file {

namespace fs = std::filesystem;

namespace {

std::string errnoText() {
    return std::strerror(errno);
}

// Owns a file descriptor.
class Fd {
  public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    void reset() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

  private:
    int fd_;
};

FileIdentity identityFrom(const struct stat& st) {
    return FileIdentity{true, static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino),
                        static_cast<uint64_t>(st.st_size),
                        int64_t{st.st_mtim.tv_sec} * 1'000'000'000 + st.st_mtim.tv_nsec};
}

bool writeAll(int fd, const std::string& text) {
    const char* p = text.data();
    size_t left = text.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        p += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

Lock::Lock(const fs::path& lockFile, Mode mode) {
    int fd = mode == Mode::Shared ? ::open(lockFile.c_str(), O_RDONLY | O_CLOEXEC)
                                  : ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        error_ = fmt::format("cannot open lock file {}: {}", lockFile.string(), errnoText());
        return;
    }
    int op = mode == Mode::Shared ? LOCK_SH : LOCK_EX;
    while (::flock(fd, op) != 0) {
        if (errno != EINTR) {
            error_ = fmt::format("cannot lock {}: {}", lockFile.string(), errnoText());
            ::close(fd);
            return;
        }
    }
    handle_ = fd;
}

Lock::~Lock() {
    if (held()) ::close(static_cast<int>(handle_));  // closing releases the flock
}

ReadResult readWhole(const fs::path& file, std::string& text, FileIdentity& identity,
                     std::string& error) {
    auto failed = [&] {
        error = fmt::format("cannot read EEPROM image {}: {}", file.string(), errnoText());
        return ReadResult::Failed;
    };
    Fd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) return errno == ENOENT ? ReadResult::Missing : failed();
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return failed();
    identity = identityFrom(st);
    text.clear();
    char buffer[16384];
    for (;;) {
        ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n == 0) return ReadResult::Ok;
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return failed();
        text.append(buffer, static_cast<size_t>(n));
    }
}

FileIdentity identityOf(const fs::path& file) {
    struct stat st {};
    return ::stat(file.c_str(), &st) == 0 ? identityFrom(st) : FileIdentity{};
}

bool replace(const fs::path& file, const std::string& text, std::string& error) {
    fs::path folder = file.parent_path().empty() ? fs::path(".") : file.parent_path();
    std::string name = file.string() + ".XXXXXX";
    std::vector<char> temp(name.begin(), name.end());
    temp.push_back('\0');
    Fd out(::mkostemp(temp.data(), O_CLOEXEC));
    if (!out) {
        error = fmt::format("cannot create a file in {}: {}", folder.string(), errnoText());
        return false;
    }
    auto abandon = [&](const char* step) {
        error = fmt::format("{} failed: {}", step, errnoText());
        out.reset();
        ::unlink(temp.data());
        return false;
    };
    struct stat old {};
    mode_t mode = ::stat(file.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
    if (!writeAll(out.get(), text)) return abandon("write");
    if (::fchmod(out.get(), mode) != 0) return abandon("chmod");
    if (::fsync(out.get()) != 0) return abandon("fsync");
    out.reset();
    if (::rename(temp.data(), file.c_str()) != 0) return abandon("rename");

    // The rename is durable once the folder is; some file systems cannot sync a folder.
    Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir || (::fsync(dir.get()) != 0 && errno != EINVAL)) {
        error = fmt::format("saved, but syncing {} failed: {}", folder.string(), errnoText());
        return false;
    }
    return true;
}

}  // namespace simpc::image_file
