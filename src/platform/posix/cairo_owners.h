#pragma once
// Owners of cairo's and GLib's objects.
#include <cairo.h>
#include <glib-object.h>

#include <memory>

namespace velloway::posix {

struct CairoDeleter {
  void operator()(cairo_t* cairo) const { cairo_destroy(cairo); }
};
struct CairoSurfaceDeleter {
  void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
struct GObjectDeleter {
  void operator()(void* object) const { g_object_unref(object); }
};

// A line's image, rows a stride apart: coverage (CAIRO_FORMAT_A8, one byte a pixel) to be painted
// in the line's colour; or, where a colour font (an emoji's) shows some of its glyphs, the line in
// its colours, premultiplied by its coverage (CAIRO_FORMAT_ARGB32).
using LineImage = std::unique_ptr<cairo_surface_t, CairoSurfaceDeleter>;

}  // namespace velloway::posix
