#pragma once
// Owners of cairo's objects; GLib's are glib_owners.h's.
#include <cairo.h>

#include <memory>

#include "platform/posix/glib_owners.h"

namespace velloway::posix {

struct CairoDeleter {
  void operator()(cairo_t* cairo) const { cairo_destroy(cairo); }
};
struct CairoSurfaceDeleter {
  void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};

// A line's image, rows a stride apart: coverage (CAIRO_FORMAT_A8, one byte a pixel) to be painted
// in the line's colour; or, where a colour font (an emoji's) shows some of its glyphs, the line in
// its colours, premultiplied by its coverage (CAIRO_FORMAT_ARGB32).
using LineImage = std::unique_ptr<cairo_surface_t, CairoSurfaceDeleter>;

}  // namespace velloway::posix
