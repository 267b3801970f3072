#include "backend.h"

namespace portvex {
namespace {

class UnavailableBackend final : public Backend {
  public:
    UnavailableBackend(std::string name, std::string why)
        : name_(std::move(name)), status_(std::move(why)) {}

    uint32_t read(uint32_t) override { return 0xFFFFFFFF; }
    void write(uint32_t, uint32_t) override {}
    const char* name() const override { return name_.c_str(); }
    bool ready() const override { return false; }
    const std::string& status() const override { return status_; }

  private:
    std::string name_;
    std::string status_;
};

}  // namespace

std::unique_ptr<Backend> makeUnavailableBackend(std::string name, std::string why) {
    return std::make_unique<UnavailableBackend>(std::move(name), std::move(why));
}

}  // namespace portvex
