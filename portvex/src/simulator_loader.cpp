// PORTVEX=sim: on Linux: the simulated PC, with its rack parser and image files, lives in
// a module of its own in the private folder slotscan/ beside libportvex.so.1, loaded at
// the first port access of a process that asks for it.
#include <dlfcn.h>

#include <cstdlib>
#include <string>

#include "backend.h"

namespace portvex {
namespace {

// PORTVEX_SIMULATOR names the module itself; otherwise it sits in slotscan/ in the folder
// this library was loaded from (the build tree's lib/, or the installed library folder).
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
    return folder + "/slotscan/" + kSimulatorModuleName;
}

}  // namespace

std::unique_ptr<Backend> makeSimulatorBackend(const std::string& rackFile) {
    const std::string path = modulePath();
    // Kept loaded for the life of the process, like the backend it makes.
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    const char* why = module == nullptr ? dlerror() : nullptr;
    auto entry = module != nullptr
                     ? reinterpret_cast<SimulatorEntry>(dlsym(module, kSimulatorEntryName))
                     : nullptr;
    if (entry == nullptr) {
        return makeUnavailableBackend(
            "sim", "PORTVEX=sim: needs the simulated PC module " + path + ", which " +
                       (module == nullptr ? "cannot be loaded (" + std::string(why ? why : "") + ")"
                                          : std::string("lacks ") + kSimulatorEntryName) +
                       ". It is built and installed with the tools (into the slotscan/ folder "
                       "beside libportvex.so.1); PORTVEX_SIMULATOR may name it elsewhere.");
    }
    return std::unique_ptr<Backend>(entry(rackFile.c_str()));
}

}  // namespace portvex
