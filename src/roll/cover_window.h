#pragma once
#include <functional>
#include <utility>

#include "forms/form.h"

namespace velloway {

// A plain window over a monitor the roll does not play on: the script's background colour, the
// invisible pointer, and a click, a key or a minimise ends the saver like the saver
// window's own.
class CoverWindow : public forms::Form {
 public:
  CoverWindow(platform::Backend& backend, forms::FormDesign design, std::function<void()> dismiss)
      : forms::Form(backend, std::move(design)), dismiss_(std::move(dismiss)) {}

 protected:
  void OnClick() override { dismiss_(); }
  void OnKeyDown() override { dismiss_(); }
  void OnMinimized() override { dismiss_(); }

 private:
  std::function<void()> dismiss_;
};

}  // namespace velloway
