#include "dialogs/preview_window.h"

#include "base/program_identity.h"
#include "dialogs/dialog_font.h"

namespace velloway {
namespace {

// How often the preview looks at its host: it ends within this time of the host's end, and
// takes a new size of its pane within it.
constexpr std::int32_t kHostCheckInterval = 500;
// The window's design size; embedded, it takes its host's size.
constexpr forms::Twips kDesignWidth = 2340;
constexpr forms::Twips kDesignHeight = 1665;

forms::FormDesign PreviewDesign() {
  forms::FormDesign design;
  design.Caption = identity::kPreviewCaption;
  design.Border = platform::BorderStyle::None;
  design.ShowInTaskbar = false;
  design.StartUp = forms::StartUpPosition::Manual;
  design.Width = kDesignWidth;
  design.Height = kDesignHeight;
  return design;
}

// The picture fills the window.
forms::ControlDesign PictureDesign() {
  forms::ControlDesign design;
  design.Width = kDesignWidth;
  design.Height = kDesignHeight;
  design.Font = DialogFont();
  design.Picture = "PREVIEW";
  return design;
}

}  // namespace

PreviewWindow::PreviewWindow(platform::Backend& backend, platform::Desktop& desktop)
    : forms::Form(backend, PreviewDesign()),
      picture_(*this, PictureDesign()),
      hostWatch_(*this, kHostCheckInterval, false, [this] { CheckHost(); }),
      desktop_(desktop) {}

void PreviewWindow::WatchHost(platform::WindowId host) {
  host_ = host;
  hostWatch_.SetEnabled(true);
}

void PreviewWindow::OnResize() {
  picture_.Move(0, 0, Width(), Height());
}

// The host's pane may change size, and a size the system did not take is asked for again.
void PreviewWindow::CheckHost() {
  if (!desktop_.HostExists(host_)) {
    App().End();
    return;
  }
  FillHost();
}

}  // namespace velloway
