#include "platform/posix/tall_glyphs.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <functional>

namespace velloway::posix {
namespace {

// Glyphs kept at most: a roll's dozen faces and sizes of names take far less. A glyph of more
// than a sixteenth of it (a huge size) is drawn for its line and not kept.
constexpr std::size_t kGlyphBytes = std::size_t{32} << 20;
constexpr std::size_t kKeptGlyphBytes = kGlyphBytes / 16;

struct PathDeleter {
  void operator()(cairo_path_t* path) const { cairo_path_destroy(path); }
};
struct GlyphStringDeleter {
  void operator()(PangoGlyphString* glyphs) const { pango_glyph_string_free(glyphs); }
};

int Round(double value) {
  return static_cast<int>(std::floor(value + 0.5));
}

void AddSaturated(unsigned char* __restrict to, const unsigned char* __restrict from, int width) {
  for (int x = 0; x < width; ++x)
    to[x] = static_cast<unsigned char>(std::min(255, to[x] + from[x]));
}

// Adds mask's coverage into image with its corner at (left, top), as cairo adds glyphs together:
// where two glyphs' edges meet, their coverage sums.
void AddMask(cairo_surface_t* image, cairo_surface_t* mask, int left, int top) {
  const int fromX = std::max(0, -left);
  const int fromY = std::max(0, -top);
  const int toX =
      std::min(cairo_image_surface_get_width(mask), cairo_image_surface_get_width(image) - left);
  const int toY =
      std::min(cairo_image_surface_get_height(mask), cairo_image_surface_get_height(image) - top);
  if (toX <= fromX) return;
  const int imageStride = cairo_image_surface_get_stride(image);
  const int maskStride = cairo_image_surface_get_stride(mask);
  for (int y = fromY; y < toY; ++y) {
    AddSaturated(
        cairo_image_surface_get_data(image) + static_cast<std::ptrdiff_t>(top + y) * imageStride +
            left + fromX,
        cairo_image_surface_get_data(mask) + static_cast<std::ptrdiff_t>(y) * maskStride + fromX,
        toX - fromX);
  }
}

}  // namespace

std::size_t TallGlyphs::KeyHash::operator()(const Key& key) const {
  return std::hash<const void*>{}(key.Font) ^ (std::hash<PangoGlyph>{}(key.Glyph) * 31);
}

void TallGlyphs::Show(cairo_surface_t* tall, PangoFont* font, const PangoGlyphString& glyphs,
                      double x, int baseline) {
  std::int64_t pen = 0;
  for (int i = 0; i < glyphs.num_glyphs; ++i) {
    const PangoGlyphInfo& info = glyphs.glyphs[i];
    const std::int64_t advance = info.geometry.width;
    const double originX = x + static_cast<double>(pen + info.geometry.x_offset) / PANGO_SCALE;
    const double originY = baseline + static_cast<double>(info.geometry.y_offset) / PANGO_SCALE;
    pen += advance;
    if (info.glyph == PANGO_GLYPH_EMPTY) continue;
    const Drawn& drawn = Glyph(font, info.glyph);
    if (!drawn.Mask) continue;
    AddMask(tall, drawn.Mask.get(), Round(originX) + drawn.Left,
            Round(originY * platform::kSubpixelSteps) + drawn.Top);
  }
}

const TallGlyphs::Drawn& TallGlyphs::Glyph(PangoFont* font, PangoGlyph glyph) {
  const Key key{font, glyph};
  if (const auto found = glyphs_.find(key); found != glyphs_.end()) return found->second;
  if (bytes_ > kGlyphBytes) {
    glyphs_.clear();
    fonts_.clear();
    bytes_ = 0;
  }
  Drawn drawn = Draw(font, glyph);
  const std::size_t bytes =
      drawn.Mask ? static_cast<std::size_t>(cairo_image_surface_get_stride(drawn.Mask.get())) *
                       static_cast<std::size_t>(cairo_image_surface_get_height(drawn.Mask.get()))
                 : 0;
  if (bytes > kKeptGlyphBytes) {
    oversized_ = std::move(drawn);
    return oversized_;
  }
  if (!fonts_.contains(font)) {
    fonts_.emplace(font, std::unique_ptr<PangoFont, GObjectDeleter>(
                             static_cast<PangoFont*>(g_object_ref(font))));
  }
  bytes_ += bytes;
  return glyphs_.emplace(key, std::move(drawn)).first->second;
}

TallGlyphs::Drawn TallGlyphs::Draw(PangoFont* font, PangoGlyph glyph) {
  // The outline as Pango draws it (a glyph the face lacks is its box), at its own size.
  const LineImage scratch(cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1));
  const std::unique_ptr<cairo_t, CairoDeleter> outline(cairo_create(scratch.get()));
  const std::unique_ptr<PangoGlyphString, GlyphStringDeleter> one(pango_glyph_string_new());
  pango_glyph_string_set_size(one.get(), 1);
  one->glyphs[0] = PangoGlyphInfo{glyph, {}, {}};
  cairo_move_to(outline.get(), 0, 0);
  pango_cairo_glyph_string_path(outline.get(), font, one.get());
  double left = 0;
  double top = 0;
  double right = 0;
  double bottom = 0;
  cairo_path_extents(outline.get(), &left, &top, &right, &bottom);
  if (right <= left || bottom <= top) return {};
  constexpr int kSteps = platform::kSubpixelSteps;
  Drawn drawn;
  drawn.Left = static_cast<int>(std::floor(left));
  drawn.Top = static_cast<int>(std::floor(top * kSteps));
  const int width = static_cast<int>(std::ceil(right)) - drawn.Left;
  const int height = static_cast<int>(std::ceil(bottom * kSteps)) - drawn.Top;
  drawn.Mask.reset(cairo_image_surface_create(CAIRO_FORMAT_A8, width, height));
  if (cairo_surface_status(drawn.Mask.get()) != CAIRO_STATUS_SUCCESS) return {};
  const std::unique_ptr<cairo_path_t, PathDeleter> path(cairo_copy_path(outline.get()));
  const std::unique_ptr<cairo_t, CairoDeleter> cairo(cairo_create(drawn.Mask.get()));
  cairo_translate(cairo.get(), -drawn.Left, -drawn.Top);
  cairo_scale(cairo.get(), 1, kSteps);
  cairo_append_path(cairo.get(), path.get());
  cairo_fill(cairo.get());
  cairo_surface_flush(drawn.Mask.get());
  return drawn;
}

}  // namespace velloway::posix
