// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// The backend that reaches nothing: reads give 0xFFFFFFFF (what an empty bus returns),
// writes are lost, and the status says why. In a header, as every target needs it.
#pragma once

#include "advice.h"
#include "backend.h"

namespace portvex {

class UnavailableBackend final : public Backend {
  public:
    UnavailableBackend(std::string name, std::string why)
        : name_(std::move(name)), status_(std::move(why)) {}

    uint32_t read(uint32_t) override { return advice::kAllOnes; }
    void write(uint32_t, uint32_t) override {}
    const char* name() const override { return name_.c_str(); }
    bool ready() const override { return false; }
    const std::string& status() const override { return status_; }

  private:
    std::string name_;
    std::string status_;
};

inline std::unique_ptr<Backend> makeUnavailableBackend(std::string name, std::string why) {
    return std::make_unique<UnavailableBackend>(std::move(name), std::move(why));
}

}  // namespace portvex
