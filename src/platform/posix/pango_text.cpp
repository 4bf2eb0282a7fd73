#include "platform/posix/pango_text.h"

#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>
#include <pango/pangofc-font.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/posix/font_faces.h"

namespace velloway::posix {
namespace {

struct FontDescriptionDeleter {
  void operator()(PangoFontDescription* description) const {
    pango_font_description_free(description);
  }
};
struct AttributesDeleter {
  void operator()(PangoAttrList* attributes) const { pango_attr_list_unref(attributes); }
};

std::unique_ptr<PangoFontDescription, FontDescriptionDeleter> Description(
    const platform::FontSpec& font, const posix::FamilyRequest& request, int dpiY) {
  std::unique_ptr<PangoFontDescription, FontDescriptionDeleter> description(
      pango_font_description_new());
  std::string families;
  for (const std::string& family : request.Families) {
    families += (families.empty() ? "" : ",") + family;
  }
  pango_font_description_set_family(description.get(), families.c_str());
  pango_font_description_set_weight(description.get(),
                                    font.Bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
  pango_font_description_set_style(description.get(),
                                   font.Italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
  // As Windows sizes a font by its character height: the em in pixels.
  const double pixels = std::max(1.0, std::round(static_cast<double>(font.Size) * dpiY / 72.0));
  pango_font_description_set_absolute_size(description.get(), pixels * PANGO_SCALE);
  return description;
}

// A line's runs of glyphs, one face each, in the order they are shown from left to right.
template <typename Each>
void ForEachRun(PangoLayout* layout, Each each) {
  PangoLayoutLine* line = pango_layout_get_line_readonly(layout, 0);
  if (line == nullptr) return;
  for (GSList* run = line->runs; run != nullptr; run = run->next) {
    each(*static_cast<PangoGlyphItem*>(run->data));
  }
}

// The line's width in Pango units, summed here: Pango's own sums are ints of 1/1024 pixel, and a
// line may be wider than they hold.
std::int64_t Width(PangoLayout* layout) {
  std::int64_t width = 0;
  ForEachRun(layout, [&](const PangoGlyphItem& run) {
    for (int i = 0; i < run.glyphs->num_glyphs; ++i) width += run.glyphs->glyphs[i].geometry.width;
  });
  return width;
}

// Whether the face draws its glyphs in colours of its own (a colour emoji font), as fontconfig
// found when it read the face (FreeType's FT_HAS_COLOR).
bool IsColourFace(PangoFont* font) {
  if (!PANGO_IS_FC_FONT(font)) return false;
  FcBool colour = FcFalse;
  return FcPatternGetBool(pango_fc_font_get_pattern(PANGO_FC_FONT(font)), FC_COLOR, 0, &colour) ==
             FcResultMatch &&
         colour == FcTrue;
}

bool ShowsColourGlyphs(PangoLayout* layout) {
  bool colour = false;
  ForEachRun(layout, [&](const PangoGlyphItem& run) {
    colour = colour || IsColourFace(run.item->analysis.font);
  });
  return colour;
}

// How far the line's box reaches above and below its baseline, in pixels: as far as the tallest
// face it uses, so that a glyph drawn in a fallback face never reaches outside it.
struct LineBox {
  int Ascent;
  int Descent;
};

LineBox Box(PangoLayout* layout) {
  PangoLayoutLine* line = pango_layout_get_line_readonly(layout, 0);
  if (line == nullptr) return {0, 0};
  PangoRectangle logical{};
  pango_layout_line_get_extents(line, nullptr, &logical);
  const auto pixels = [](int units) {
    return static_cast<int>(std::ceil(static_cast<double>(units) / PANGO_SCALE));
  };
  return {pixels(-logical.y), pixels(logical.y + logical.height)};
}

// The line's columns an image shows, in Pango units: the image's left edge stands at Origin, and
// the glyphs whose advance lies within [From, To) are drawn.
struct Columns {
  std::int64_t Origin;
  std::int64_t From;
  std::int64_t To;
};

// Shows glyphs with the first one's origin at (x, baseline + shift), shift a fraction of a pixel.
// Cairo puts glyphs on whole pixels, so between pixels the glyphs' outlines are filled, exactly
// where they fall; a colour face's glyphs are pictures, drawn on the pixel and then moved as one.
void ShowGlyphs(cairo_t* cairo, PangoFont* font, PangoGlyphString& glyphs, double x,
                double baseline, double shift) {
  if (shift == 0) {
    cairo_move_to(cairo, x, baseline);
    pango_cairo_show_glyph_string(cairo, font, &glyphs);
  } else if (!IsColourFace(font)) {
    cairo_move_to(cairo, x, baseline + shift);
    pango_cairo_glyph_string_path(cairo, font, &glyphs);
    cairo_fill(cairo);
  } else {
    cairo_push_group(cairo);
    cairo_move_to(cairo, x, baseline);
    pango_cairo_show_glyph_string(cairo, font, &glyphs);
    cairo_pattern_t* drawn = cairo_pop_group(cairo);
    cairo_matrix_t moved{};
    cairo_matrix_init_translate(&moved, 0, -shift);
    cairo_pattern_set_matrix(drawn, &moved);
    cairo_pattern_set_filter(drawn, CAIRO_FILTER_BILINEAR);
    cairo_save(cairo);
    cairo_set_source(cairo, drawn);
    cairo_paint(cairo);
    cairo_restore(cairo);
    cairo_pattern_destroy(drawn);
  }
}

// Calls each(font, glyphs, x) for each run's glyphs whose advance lies within columns, x the first
// one's origin in pixels from the image's left edge.
template <typename Each>
void ForEachShownPart(PangoLayout* layout, const Columns& columns, Each each) {
  std::int64_t pen = 0;
  ForEachRun(layout, [&](const PangoGlyphItem& run) {
    const PangoGlyphString& glyphs = *run.glyphs;
    int first = glyphs.num_glyphs;
    int last = -1;
    std::int64_t firstPen = 0;
    for (int i = 0; i < glyphs.num_glyphs; ++i) {
      const std::int64_t advance = glyphs.glyphs[i].geometry.width;
      if (pen + advance > columns.From && pen < columns.To) {
        if (first == glyphs.num_glyphs) {
          first = i;
          firstPen = pen;
        }
        last = i;
      }
      pen += advance;
    }
    if (last < first) return;
    PangoGlyphString part = glyphs;
    part.glyphs += first;
    part.log_clusters += first;
    part.num_glyphs = last - first + 1;
    each(run.item->analysis.font, part,
         static_cast<double>(firstPen - columns.Origin) / PANGO_SCALE);
  });
}

// The columns an image of the span draws: the glyphs whose advance lies within an image's height
// of it, as their ink may reach into it.
Columns ColumnsOf(platform::TextImageSpan span, int height) {
  const std::int64_t margin = static_cast<std::int64_t>(height) * PANGO_SCALE;
  const std::int64_t origin = static_cast<std::int64_t>(span.Skip) * PANGO_SCALE;
  const std::int64_t end = origin + static_cast<std::int64_t>(span.Width) * PANGO_SCALE;
  return {origin, origin - margin, end + margin};
}

// The span of the line at a phase, drawn by cairo: coverage, or colour where colour is set.
LineImage DrawPhase(PangoLayout* layout, const LineBox& box, platform::TextImageSpan span,
                    int phase, Color color, bool colour) {
  const int lineHeight = box.Ascent + box.Descent;
  // Between pixels, a row more holds the ink moved down.
  const int height = phase > 0 ? lineHeight + 1 : lineHeight;
  const double shift = static_cast<double>(phase) / platform::kSubpixelSteps;
  LineImage image(cairo_image_surface_create(colour ? CAIRO_FORMAT_ARGB32 : CAIRO_FORMAT_A8,
                                             span.Width, height));
  if (cairo_surface_status(image.get()) != CAIRO_STATUS_SUCCESS) return nullptr;
  const std::unique_ptr<cairo_t, CairoDeleter> cairo(cairo_create(image.get()));
  const Channels ink = ChannelsOf(color);
  cairo_set_source_rgb(cairo.get(), ink.Red / 255.0, ink.Green / 255.0, ink.Blue / 255.0);
  ForEachShownPart(layout, ColumnsOf(span, height),
                   [&](PangoFont* font, PangoGlyphString& glyphs, double x) {
                     ShowGlyphs(cairo.get(), font, glyphs, x, box.Ascent, shift);
                   });
  cairo_surface_flush(image.get());
  return image;
}

// The span's coverage kSubpixelSteps times as tall, laid out of glyphs drawn that tall once each.
LineImage DrawTall(TallGlyphs& tallGlyphs, PangoLayout* layout, const LineBox& box,
                   platform::TextImageSpan span) {
  const int lineHeight = box.Ascent + box.Descent;
  LineImage tall(cairo_image_surface_create(CAIRO_FORMAT_A8, span.Width,
                                            lineHeight * platform::kSubpixelSteps));
  if (cairo_surface_status(tall.get()) != CAIRO_STATUS_SUCCESS) return nullptr;
  cairo_surface_flush(tall.get());
  ForEachShownPart(layout, ColumnsOf(span, lineHeight + 1),
                   [&](PangoFont* font, PangoGlyphString& glyphs, double x) {
                     tallGlyphs.Show(tall.get(), font, glyphs, x, box.Ascent);
                   });
  cairo_surface_mark_dirty(tall.get());
  return tall;
}

void AddRow(std::uint16_t* __restrict sum, const unsigned char* __restrict row, int width) {
  for (int x = 0; x < width; ++x) sum[x] = static_cast<std::uint16_t>(sum[x] + row[x]);
}
void SubtractRow(std::uint16_t* __restrict sum, const unsigned char* __restrict row, int width) {
  for (int x = 0; x < width; ++x) sum[x] = static_cast<std::uint16_t>(sum[x] - row[x]);
}
void PutMean(unsigned char* __restrict out, const std::uint16_t* __restrict sum, int width) {
  for (int x = 0; x < width; ++x) {
    out[x] = static_cast<unsigned char>((sum[x] + platform::kSubpixelSteps / 2) /
                                        platform::kSubpixelSteps);
  }
}

// The line at each phase above 0 of phases, from its tall coverage, into images a row taller than
// the line: each row the rounded mean of the tall rows PhaseRowFrom names, all phases made in one
// pass down the tall image.
void PutLowered(cairo_surface_t* tall, platform::PhaseSet phases, PhaseLineImages& images) {
  constexpr int kSteps = platform::kSubpixelSteps;
  const int width = cairo_image_surface_get_width(tall);
  const int tallRows = cairo_image_surface_get_height(tall);
  const int rows = tallRows / kSteps + 1;
  for (std::size_t phase = 1; phase < images.size(); ++phase) {
    if (!phases.test(phase)) continue;
    images[phase].reset(cairo_image_surface_create(CAIRO_FORMAT_A8, width, rows));
    if (cairo_surface_status(images[phase].get()) != CAIRO_STATUS_SUCCESS) images[phase].reset();
  }
  const unsigned char* from = cairo_image_surface_get_data(tall);
  const auto tallRow = [&](int row) {
    return from + static_cast<std::ptrdiff_t>(row) * cairo_image_surface_get_stride(tall);
  };
  std::vector<std::uint16_t> sum(static_cast<std::size_t>(width));
  // The sum of kSteps rows from `first` on, counting kSteps - 1 empty rows above the image.
  for (int first = 0; first < rows * kSteps; ++first) {
    if (first < tallRows) AddRow(sum.data(), tallRow(first), width);
    if (first >= kSteps) SubtractRow(sum.data(), tallRow(first - kSteps), width);
    const platform::PhaseRow at = platform::PhaseRowFrom(first);
    cairo_surface_t* image = images[static_cast<std::size_t>(at.Phase)].get();
    if (at.Phase == 0 || image == nullptr) continue;
    PutMean(cairo_image_surface_get_data(image) +
                static_cast<std::ptrdiff_t>(at.Row) * cairo_image_surface_get_stride(image),
            sum.data(), width);
  }
  for (std::size_t phase = 1; phase < images.size(); ++phase) {
    if (images[phase]) cairo_surface_mark_dirty(images[phase].get());
  }
}

}  // namespace

PangoText::PangoText(int dpiY)
    : dpiY_(dpiY),
      fontMap_(pango_cairo_font_map_new()),
      context_(pango_font_map_create_context(fontMap_.get())) {
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
  pango_cairo_context_set_font_options(context_.get(), options);
  cairo_font_options_destroy(options);
}

std::unique_ptr<PangoLayout, GObjectDeleter> PangoText::Layout(const platform::FontSpec& font,
                                                               std::string_view text) {
  std::unique_ptr<PangoLayout, GObjectDeleter> layout(pango_layout_new(context_.get()));
  const posix::FamilyRequest request = posix::RequestFamily(font.Name);
  pango_layout_set_font_description(layout.get(), Description(font, request, dpiY_).get());
  if (request.Japanese || font.Language == platform::FontLanguage::Japanese) {
    const std::unique_ptr<PangoAttrList, AttributesDeleter> attributes(pango_attr_list_new());
    pango_attr_list_insert(attributes.get(),
                           pango_attr_language_new(pango_language_from_string("ja")));
    pango_layout_set_attributes(layout.get(), attributes.get());
  }
  // One line, whatever it holds: a line break character is shown, not obeyed.
  pango_layout_set_single_paragraph_mode(layout.get(), TRUE);
  pango_layout_set_text(layout.get(), text.data(), static_cast<int>(text.size()));
  return layout;
}

platform::TextExtent PangoText::Measure(const platform::FontSpec& font, std::string_view text) {
  const auto layout = Layout(font, text);
  const LineBox box = Box(layout.get());
  const std::int64_t width = (Width(layout.get()) + PANGO_SCALE - 1) / PANGO_SCALE;
  return {static_cast<int>(std::min<std::int64_t>(width, INT32_MAX)), box.Ascent + box.Descent};
}

PhaseLineImages PangoText::Draw(const platform::FontSpec& font, std::string_view text,
                                platform::TextImageSpan span, platform::PhaseSet phases,
                                Color color) {
  PhaseLineImages images;
  const auto layout = Layout(font, text);
  const LineBox box = Box(layout.get());
  if (span.Width <= 0 || box.Ascent + box.Descent <= 0) return images;
  // A colour glyph keeps its colours only in a colour image; every other line is coverage, a
  // quarter of the bytes to make, put and composite, and its phases come from one tall drawing.
  const bool colour = ShowsColourGlyphs(layout.get());
  const bool moving = (phases & ~platform::PhaseSet(1)).any();
  const LineImage tall =
      moving && !colour ? DrawTall(tallGlyphs_, layout.get(), box, span) : nullptr;
  if (tall) PutLowered(tall.get(), phases, images);
  for (std::size_t phase = 0; phase < images.size(); ++phase) {
    if (phases.test(phase) && !(phase > 0 && tall)) {
      images[phase] = DrawPhase(layout.get(), box, span, static_cast<int>(phase), color, colour);
    }
  }
  return images;
}

}  // namespace velloway::posix
