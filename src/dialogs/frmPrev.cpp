#include "dialogs/frmPrev.h"

namespace velloway {
namespace {

// How often the preview looks for its host: it ends within this time of the host's end.
constexpr std::int32_t kHostCheckInterval = 500;

forms::FormDesign PreviewDesign() {
  forms::FormDesign design;
  design.Caption = "Preview(Velloway)";
  design.Border = forms::BorderStyle::None;
  design.ShowInTaskbar = false;
  design.StartUp = forms::StartUpPosition::Manual;
  design.Width = 2340;
  design.Height = 1665;
  return design;
}

forms::ControlDesign PictureDesign() {
  forms::ControlDesign design;
  design.Width = 2325;  // the picture's own size, 155 x 115 pixels
  design.Height = 1725;
  design.Picture = "PREVIEW";
  return design;
}

}  // namespace

frmPrev::frmPrev(forms::Backend& backend)
    : forms::Form(backend, PreviewDesign()),
      picPrev(*this, PictureDesign()),
      hostWatch_(*this, kHostCheckInterval, false, [this] { CheckHost(); }) {}

void frmPrev::WatchHost(WindowHandle host) {
  host_ = host;
  hostWatch_.SetEnabled(true);
}

void frmPrev::CheckHost() {
  if (Api().IsWindow(host_) == 0) App().End();
}

}  // namespace velloway
