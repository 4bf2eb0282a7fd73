#pragma once
#include "platform/forms.h"

namespace velloway {

// The preview: a borderless window filled by one still picture, embedded in the host's pane.
class frmPrev : public forms::Form {
 public:
  explicit frmPrev(forms::Backend& backend);

  // Ends the program once the host window is gone, for platforms that do not destroy an
  // embedded window with its host (a host process that is killed, for instance).
  void WatchHost(forms::WindowId host);

 protected:
  void Form_Resize() override;

 private:
  void CheckHost();

  forms::PictureBox picPrev;
  forms::Timer hostWatch_;
  forms::WindowId host_ = 0;
};

}  // namespace velloway
