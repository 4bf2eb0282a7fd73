#pragma once
// Owners of GLib's objects, errors and values.
#include <glib-object.h>

#include <memory>

namespace velloway::posix {

struct GObjectDeleter {
  void operator()(void* object) const { g_object_unref(object); }
};
struct GErrorDeleter {
  void operator()(GError* error) const { g_error_free(error); }
};
struct GVariantDeleter {
  void operator()(GVariant* variant) const { g_variant_unref(variant); }
};

}  // namespace velloway::posix
