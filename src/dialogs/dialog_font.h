#pragma once
#include "platform/text.h"

namespace velloway {

// The font of a dialog's control whose design asks for no other.
inline platform::FontSpec DialogFont() {
  return {"MS Sans Serif", 8.25f, false, false, platform::FontLanguage::Any};
}

}  // namespace velloway
