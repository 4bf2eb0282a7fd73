#pragma once
#include "forms/controls.h"
#include "forms/timer.h"
#include "platform/desktop.h"

namespace velloway {

// The preview: a borderless window filled by one still picture, embedded in the host's pane.
class PreviewWindow : public forms::Form {
 public:
  // desktop tells whether the host is still there.
  PreviewWindow(platform::Backend& backend, platform::Desktop& desktop);

  // Ends the program once the host window is gone, for platforms that do not destroy an
  // embedded window with its host (a host process that is killed, for instance).
  void WatchHost(platform::WindowId host);

 protected:
  void OnResize() override;

 private:
  void CheckHost();

  forms::PictureBox picture_;
  forms::Timer hostWatch_;
  platform::Desktop& desktop_;
  platform::WindowId host_ = 0;
};

}  // namespace velloway
