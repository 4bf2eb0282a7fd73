#pragma once
// The handler of a timer or frame driver, which may destroy its own driver while it runs (a
// window closing in its tick): the function is kept alive until it returns.
#include <functional>
#include <memory>
#include <utility>

namespace velloway::platform {

template <typename... Args>
class DriverHandler {
 public:
  explicit DriverHandler(std::function<void(Args...)> handler)
      : handler_(std::make_shared<const std::function<void(Args...)>>(std::move(handler))) {}

  // Runs the handler; the object holding this one may be gone when it returns.
  void operator()(Args... args) const {
    const auto kept = handler_;
    (*kept)(args...);
  }

 private:
  std::shared_ptr<const std::function<void(Args...)>> handler_;
};

}  // namespace velloway::platform
