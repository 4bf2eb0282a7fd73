#pragma once
// Which characters the fonts installed on this system show, as GDI and the fonts' own tables
// tell.
#include "base/code_point_set.h"

namespace velloway::win32 {

// The characters some installed font shows, whatever face a line asks for: the union of every
// installed family's characters. Selects each family in turn: ask once.
CodePointSet InstalledCharacters();

}  // namespace velloway::win32
