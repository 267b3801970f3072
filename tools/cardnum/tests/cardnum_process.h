// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// Runs the cardnum program as a separate process against a simulated rack.
#pragma once

#include <filesystem>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

namespace cardnum_test {

struct Run {
    int exitCode = -1;
    std::string out;
    std::string err;

    nlohmann::json json() const { return nlohmann::json::parse(out); }
};

// Exit status and both outputs, for failure messages.
std::ostream& operator<<(std::ostream& out, const Run& run);

// A temporary folder holding copies of rack files, so that EEPROM images written by the
// simulated PC stay out of the source tree. Removed with everything in it.
class Workspace {
  public:
    Workspace();
    ~Workspace();
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    // Copies a rack from tests/racks (or an absolute path) and returns the PORTVEX value
    // that selects it.
    std::string rack(const std::string& name);

    // Runs cardnum with PORTVEX set to `portvex` (never unset: no run may reach hardware),
    // and with `extraEnvironment` entries ("NAME=value") added. Standard output goes to
    // `stdoutTo` when it is given (Run::out is then empty).
    Run cardnum(const std::string& portvex, const std::vector<std::string>& args,
                const std::vector<std::string>& extraEnvironment = {},
                const std::filesystem::path& stdoutTo = {}) const;

    // The same for another program of the build.
    Run program(const std::string& binary, const std::string& portvex,
                const std::vector<std::string>& args,
                const std::vector<std::string>& extraEnvironment = {},
                const std::filesystem::path& stdoutTo = {}) const;

    const std::filesystem::path& dir() const { return dir_; }

  private:
    std::filesystem::path dir_;
};

}  // namespace cardnum_test
