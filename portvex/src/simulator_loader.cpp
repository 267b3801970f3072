// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// PORTVEX=sim: on Linux: the simulated PC, with its rack parser and image files, lives in
// a module of its own in a private folder beside libportvex.so.1, loaded at the first port
// access of a process that asks for it. The build names the module and its folder
// (PORTVEX_SIMULATOR_MODULE, portvex/CMakeLists.txt).
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "backend.h"
#include "unavailable_backend.h"

namespace portvex {
namespace {

// No module is anywhere near this size; a larger file is not one.
constexpr off_t kModuleLimit = off_t{256} << 20;

// PORTVEX_SIMULATOR names the module itself; otherwise it sits in its folder beside this
// library (the build tree's lib/, or the installed library folder).
std::string modulePath() {
    if (const char* path = std::getenv("PORTVEX_SIMULATOR"); path != nullptr && *path != '\0') {
        return path;
    }
    Dl_info self{};
    std::string folder = ".";
    if (dladdr(reinterpret_cast<void*>(&modulePath), &self) != 0 && self.dli_fname != nullptr) {
        const std::string library = self.dli_fname;
        const size_t slash = library.rfind('/');
        if (slash != std::string::npos) folder = library.substr(0, slash);
    }
    return folder + "/" + PORTVEX_SIMULATOR_MODULE;
}

// Why `path` is no file to load, if it is none: checked without waiting (a FIFO would hold
// dlopen forever) before the loader reads it.
std::optional<std::string> notLoadable(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return std::string(std::strerror(errno));
    struct stat status;
    const int statError = ::fstat(fd, &status) == 0 ? 0 : errno;
    ::close(fd);
    if (statError != 0) return std::string(std::strerror(statError));
    if (!S_ISREG(status.st_mode)) return std::string("it is not a regular file");
    if (status.st_size > kModuleLimit) {
        return "it is larger than " + std::to_string(kModuleLimit >> 20) + " MiB";
    }
    return std::nullopt;
}

}  // namespace

std::unique_ptr<Backend> loadSimulatorModule(const std::string& rackFile) {
    const std::string path = modulePath();
    std::string why;
    void* module = nullptr;
    if (auto problem = notLoadable(path)) {
        why = "cannot be loaded (" + *problem + ")";
    } else {
        // Kept loaded for the life of the process, like the backend it makes.
        module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        const char* error = module == nullptr ? dlerror() : nullptr;
        if (module == nullptr) why = "cannot be loaded (" + std::string(error ? error : "") + ")";
    }
    auto entry = module != nullptr
                     ? reinterpret_cast<SimulatorEntry>(dlsym(module, kSimulatorEntryName))
                     : nullptr;
    if (module != nullptr && entry == nullptr) why = std::string("lacks ") + kSimulatorEntryName;
    if (entry == nullptr) {
        return makeUnavailableBackend(
            "sim", "PORTVEX=sim: needs the simulated PC module " + path + ", which " + why +
                       ". It is built and installed with the tools (into the folder beside "
                       "libportvex.so.1); PORTVEX_SIMULATOR may name it elsewhere.");
    }
    return std::unique_ptr<Backend>(entry(rackFile.c_str()));
}

}  // namespace portvex
