#pragma once
// Font faces by the family names scripts write, as fontconfig finds them on this machine.
#include <string>
#include <string_view>

namespace velloway::x11 {

struct FaceMatch {
  // A face of this family is installed.
  bool Installed = false;
  // Not installed, the family is shown in a face fontconfig declares metric-compatible with it
  // ("Liberation Sans" for "Arial"): its lines take the same room.
  bool SameMetrics = false;
  // The family fontconfig shows the name in: the name's own, or the substitute it configures
  // ("Liberation Sans" for "Arial" where that is installed), or its default face.
  std::string ShownIn;
};

FaceMatch MatchFace(std::string_view family);

}  // namespace velloway::x11
