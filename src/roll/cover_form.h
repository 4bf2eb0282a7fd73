#pragma once
#include <functional>

#include "platform/forms.h"

namespace velloway {

// A plain window over a monitor the roll does not play on: the script's background colour, the
// invisible pointer, and a click, a character key or a minimise ends the saver like the saver
// window's own.
class CoverForm : public forms::Form {
 public:
  CoverForm(forms::Backend& backend, forms::Color backColor, std::function<void()> dismiss);

 protected:
  void Form_Click() override { dismiss_(); }
  void Form_KeyPress(std::int16_t&) override { dismiss_(); }
  void Form_Minimized() override { dismiss_(); }

 private:
  std::function<void()> dismiss_;
};

}  // namespace velloway
