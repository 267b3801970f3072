#include "atomic_file.h"

#if defined(_WIN32)
#include <windows.h>

#include <fstream>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

namespace cardnum {
namespace {

namespace fs = std::filesystem;

[[noreturn]] void fail(const fs::path& target, const std::string& what, int error) {
    throw std::runtime_error("cannot write " + target.string() + ": " + what + ": " +
                             std::strerror(error));
}

#if !defined(_WIN32)
bool writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

#endif

}  // namespace

#if defined(_WIN32)

// Windows: the whole text into a temporary file beside the target, flushed, then moved
// over it in one step (MoveFileEx replaces the file, writing through to the disk).
void replaceFileAtomically(const fs::path& target, std::string_view text) {
    if (!target.has_filename()) fail(target, "the path names a folder, not a file", EISDIR);
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::string name = ".";
    name += target.filename().string();
    name += ".tmp-";
    name += std::to_string(GetCurrentProcessId());
    const fs::path temporary = folder / name;
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) fail(target, "cannot create a temporary file in " + folder.string(), EACCES);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.flush();
        if (!out) {
            out.close();
            fs::remove(temporary);
            fail(target, "cannot write the temporary file", EIO);
        }
    }
    if (MoveFileExW(temporary.wstring().c_str(), target.wstring().c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
        fs::remove(temporary);
        fail(target, "cannot move the temporary file over it", EACCES);
    }
}

#else

void replaceFileAtomically(const fs::path& target, std::string_view text) {
    if (!target.has_filename()) fail(target, "the path names a folder, not a file", EISDIR);
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::string temporary = (folder / ("." + target.filename().string() + ".tmp-XXXXXX")).string();

    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) fail(target, "cannot create a temporary file in " + folder.string(), errno);
    const char* step = nullptr;
    if (::fchmod(fd, 0644) != 0) {
        step = "cannot set the temporary file's mode";
    } else if (!writeAll(fd, text)) {
        step = "cannot write the temporary file";
    } else if (::fsync(fd) != 0) {
        step = "cannot flush the temporary file to disk";
    }
    int error = errno;
    if (::close(fd) != 0 && step == nullptr) {
        step = "cannot write the temporary file";
        error = errno;
    }
    if (step == nullptr && ::rename(temporary.c_str(), target.c_str()) != 0) {
        step = "cannot rename the temporary file over it";
        error = errno;
    }
    if (step != nullptr) {
        ::unlink(temporary.c_str());
        fail(target, step, error);
    }
    // The rename is on disk once the folder is; a folder that cannot be synced still holds
    // the whole new file.
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

#endif

}  // namespace cardnum
