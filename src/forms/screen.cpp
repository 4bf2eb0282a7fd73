#include "forms/screen.h"

#include <cmath>

namespace velloway::forms {

int ToPixels(Twips twips, float twipsPerPixel) {
  return static_cast<int>(std::lround(twips / twipsPerPixel));
}

}  // namespace velloway::forms
