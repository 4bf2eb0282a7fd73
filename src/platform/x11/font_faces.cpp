#include "platform/x11/font_faces.h"

#include <fontconfig/fontconfig.h>

#include <memory>
#include <string>

namespace velloway::x11 {
namespace {

struct PatternDeleter {
  void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
using UniquePattern = std::unique_ptr<FcPattern, PatternDeleter>;

const FcChar8* Text(const std::string& text) {
  return reinterpret_cast<const FcChar8*>(text.c_str());
}

// Whether the configuration added `family` to the asked-for pattern as a metric-compatible alias:
// fontconfig's metric aliases ("same" binding) take the binding of the name they stand for, the
// first family, where other substitutes are weak.
bool MetricAlias(const FcPattern* substituted, const std::string& family) {
  FcValue value{};
  FcValueBinding asked = FcValueBindingWeak;
  if (FcPatternGetWithBinding(substituted, FC_FAMILY, 0, &value, &asked) != FcResultMatch) {
    return false;
  }
  FcValueBinding binding = FcValueBindingWeak;
  for (int i = 1;
       FcPatternGetWithBinding(substituted, FC_FAMILY, i, &value, &binding) == FcResultMatch; ++i) {
    if (value.type == FcTypeString && FcStrCmpIgnoreCase(value.u.s, Text(family)) == 0) {
      return binding == asked;
    }
  }
  return false;
}

}  // namespace

FaceMatch MatchFace(std::string_view family) {
  FaceMatch match;
  const std::string name(family);
  const UniquePattern pattern(FcPatternCreate());
  if (!pattern || !FcInit()) return match;
  FcPatternAddString(pattern.get(), FC_FAMILY, Text(name));
  FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
  FcDefaultSubstitute(pattern.get());
  FcResult result = FcResultNoMatch;
  const UniquePattern font(FcFontMatch(nullptr, pattern.get(), &result));
  if (!font) return match;
  FcChar8* found = nullptr;
  // A face may carry its family name in several languages: any of them is the family's.
  for (int i = 0; FcPatternGetString(font.get(), FC_FAMILY, i, &found) == FcResultMatch; ++i) {
    if (i == 0) match.ShownIn = reinterpret_cast<const char*>(found);
    if (FcStrCmpIgnoreCase(found, Text(name)) == 0) {
      match.Installed = true;
      match.ShownIn = name;
    }
  }
  if (!match.Installed) match.SameMetrics = MetricAlias(pattern.get(), match.ShownIn);
  return match;
}

}  // namespace velloway::x11
