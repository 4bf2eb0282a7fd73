#pragma once
// Font faces by the family names scripts write, as fontconfig finds them on this machine: one
// way of asking for them, for the Linux program's text and the checker alike; and the characters
// the installed faces show between them, the checker's.
#include <string>
#include <string_view>
#include <vector>

#include "base/code_point_set.h"

namespace velloway::posix {

struct FaceMatch {
  // A face of this family is installed.
  bool Installed = false;
  // Not installed, the family is shown in a face fontconfig declares metric-compatible with it
  // ("Liberation Sans" for "Arial"): its lines take the same room.
  bool SameMetrics = false;
  // Not installed, a Windows Japanese face ("MS Gothic") is shown in a Japanese face of this
  // machine ("IPAGothic"), as Windows draws the whole line in a Japanese face.
  bool JapaneseStandIn = false;
  // The family fontconfig shows the name in: the name's own, or the substitute it configures
  // ("Liberation Sans" for "Arial" where that is installed), or its default face.
  std::string ShownIn;
};

// How the saver asks for a family a script names: the families in order of preference, and
// whether with the Japanese language. A Windows Japanese face (MS Gothic, ＭＳ Ｐゴシック,
// Meiryo...) is asked for with the Japanese language and its kind, Gothic or Mincho: where it is
// missing a Japanese face of that kind stands in, rather than a Latin one with Japanese
// characters from another.
struct FamilyRequest {
  std::vector<std::string> Families;
  bool Japanese = false;
};
FamilyRequest RequestFamily(std::string_view family);

FaceMatch MatchFace(std::string_view family);

// The characters some installed face shows: a line falls back through every face Pango can draw
// with for the characters its own face lacks. Reads every face's character set: ask once.
CodePointSet InstalledCharacters();

}  // namespace velloway::posix
