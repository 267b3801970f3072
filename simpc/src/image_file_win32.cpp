#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <fmt/format.h>
#include <windows.h>

#include <atomic>

#include "image_file.h"

namespace simpc::image_file {

namespace fs = std::filesystem;

namespace {

std::string lastErrorText() {
    return fmt::format("Windows error {}", ::GetLastError());
}

// Owns a file handle.
class Handle {
  public:
    explicit Handle(HANDLE h) : h_(h) {}
    ~Handle() { reset(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return h_; }
    explicit operator bool() const { return h_ != INVALID_HANDLE_VALUE; }
    HANDLE release() {
        HANDLE h = h_;
        h_ = INVALID_HANDLE_VALUE;
        return h;
    }
    void reset() {
        if (h_ != INVALID_HANDLE_VALUE) ::CloseHandle(h_);
        h_ = INVALID_HANDLE_VALUE;
    }

  private:
    HANDLE h_;
};

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE openFile(const fs::path& file, DWORD access, DWORD disposition) {
    return ::CreateFileW(file.c_str(), access, kShareAll, nullptr, disposition,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

uint64_t join(DWORD high, DWORD low) {
    return (uint64_t{high} << 32) | low;
}

// Size and last write time only: what one attribute query gives, cheap enough to ask at every
// scan. A replaced image always has a new write time.
FileIdentity identityFrom(DWORD sizeHigh, DWORD sizeLow, const FILETIME& written) {
    return FileIdentity{true, 0, 0, join(sizeHigh, sizeLow),
                        static_cast<int64_t>(join(written.dwHighDateTime, written.dwLowDateTime))};
}

bool identityFrom(HANDLE h, FileIdentity& identity) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(h, &info)) return false;
    identity = identityFrom(info.nFileSizeHigh, info.nFileSizeLow, info.ftLastWriteTime);
    return true;
}

bool missing(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

}  // namespace

Lock::Lock(const fs::path& lockFile, Mode mode) {
    Handle h(openFile(lockFile, GENERIC_READ | GENERIC_WRITE,
                      mode == Mode::Shared ? OPEN_EXISTING : OPEN_ALWAYS));
    if (!h) {
        error_ = fmt::format("cannot open lock file {}: {}", lockFile.string(), lastErrorText());
        return;
    }
    OVERLAPPED whole{};
    DWORD flags = mode == Mode::Exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0;
    if (!::LockFileEx(h.get(), flags, 0, 1, 0, &whole)) {
        error_ = fmt::format("cannot lock {}: {}", lockFile.string(), lastErrorText());
        return;
    }
    handle_ = reinterpret_cast<intptr_t>(h.release());
}

Lock::~Lock() {
    if (held()) ::CloseHandle(reinterpret_cast<HANDLE>(handle_));  // closing releases the lock
}

ReadResult readWhole(const fs::path& file, std::string& text, FileIdentity& identity,
                     std::string& error) {
    auto failed = [&] {
        error = fmt::format("cannot read EEPROM image {}: {}", file.string(), lastErrorText());
        return ReadResult::Failed;
    };
    Handle h(openFile(file, GENERIC_READ, OPEN_EXISTING));
    if (!h) return missing(::GetLastError()) ? ReadResult::Missing : failed();
    if (!identityFrom(h.get(), identity)) return failed();
    text.clear();
    char buffer[16384];
    for (;;) {
        DWORD n = 0;
        if (!::ReadFile(h.get(), buffer, sizeof buffer, &n, nullptr)) return failed();
        if (n == 0) return ReadResult::Ok;
        text.append(buffer, n);
    }
}

FileIdentity identityOf(const fs::path& file) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data)) return FileIdentity{};
    return identityFrom(data.nFileSizeHigh, data.nFileSizeLow, data.ftLastWriteTime);
}

bool replace(const fs::path& file, const std::string& text, std::string& error) {
    static std::atomic<unsigned> counter{0};
    fs::path temp = file;
    temp += fmt::format(".{}-{}", ::GetCurrentProcessId(), counter++);
    Handle out(openFile(temp, GENERIC_WRITE, CREATE_NEW));
    if (!out) {
        error = fmt::format("cannot create {}: {}", temp.string(), lastErrorText());
        return false;
    }
    auto abandon = [&](const char* step) {
        error = fmt::format("{} failed: {}", step, lastErrorText());
        out.reset();
        ::DeleteFileW(temp.c_str());
        return false;
    };
    DWORD written = 0;
    if (!::WriteFile(out.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
        written != text.size()) {
        return abandon("write");
    }
    if (!::FlushFileBuffers(out.get())) return abandon("flush");
    out.reset();
    if (!::MoveFileExW(temp.c_str(), file.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return abandon("rename");
    }
    return true;
}

}  // namespace simpc::image_file
