#include "platform/wayland/line_sprites.h"

#include <wayland-client.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>

#include "viewporter-client-protocol.h"

namespace velloway::wayland {
namespace {

constexpr std::size_t kBytesPerPixel = 4;

std::size_t PixelCount(platform::PixelSize size) {
  return static_cast<std::size_t>(size.Width) * static_cast<std::size_t>(size.Height);
}

// One row of a line's coverage in its colour, premultiplied: the colour at each pixel's
// coverage, as Picture::Over lays it over black, and the coverage as alpha.
void Premultiply(const unsigned char* alphas, std::uint32_t ink, std::uint32_t* row, int width) {
  for (int column = 0; column < width; ++column) {
    const std::uint32_t alpha = alphas[column];
    row[column] = (alpha << 24) | (raster::Picture::Over(ink, 0, alpha) & 0x00FFFFFFu);
  }
}

}  // namespace

std::size_t SpriteSheet::Add(const raster::RasterTextImage& image) {
  for (std::size_t y = 0; y < image.Rows.size(); ++y) {
    const raster::RasterTextImage::InkedColumns& row = image.Rows[y];
    const auto top = static_cast<int>(y);
    inked_ = inked_.Union({row.Left, top, row.Right, top + 1});
  }
  drawn_.push_back({posix::LineImage(cairo_surface_reference(image.Image.get())),
                    raster::Picture::PixelOf(image.Ink)});
  return count_++;
}

SheetPart SpriteSheet::Part(std::size_t image) const {
  const auto top = static_cast<int>(image) * inked_.Height();
  return {inked_, {0, top, inked_.Width(), top + inked_.Height()}};
}

wl_buffer* SpriteSheet::Buffer(wl_shm* shm) {
  if (buffer_ || inked_.IsEmpty()) return buffer_.get();
  const platform::PixelSize size{inked_.Width(), inked_.Height() * static_cast<int>(count_)};
  memory_.emplace(PixelCount(size) * kBytesPerPixel);
  for (std::size_t number = 0; number < drawn_.size(); ++number) {
    cairo_surface_t* image = drawn_[number].Image.get();
    cairo_surface_flush(image);
    const unsigned char* data = cairo_image_surface_get_data(image);
    const int stride = cairo_image_surface_get_stride(image);
    const bool coverage = cairo_image_surface_get_format(image) == CAIRO_FORMAT_A8;
    // The sheet's rectangle of this image, which may be smaller than the others.
    const platform::PixelRect part = inked_.Intersect(
        {0, 0, cairo_image_surface_get_width(image), cairo_image_surface_get_height(image)});
    const int top = Part(number).InSheet.Top;
    for (int y = part.Top; y < part.Bottom; ++y) {
      const unsigned char* row = data + static_cast<std::ptrdiff_t>(y) * stride;
      std::uint32_t* to = memory_->Pixels().data() +
                          static_cast<std::ptrdiff_t>(top + y - inked_.Top) * size.Width +
                          (part.Left - inked_.Left);
      // A line in colours is premultiplied already, as the compositor takes it.
      if (coverage) {
        Premultiply(row + part.Left, drawn_[number].Ink, to, part.Width());
      } else {
        std::memcpy(to, row + static_cast<std::size_t>(part.Left) * kBytesPerPixel,
                    static_cast<std::size_t>(part.Width()) * kBytesPerPixel);
      }
    }
  }
  buffer_ = memory_->Share(shm, size, WL_SHM_FORMAT_ARGB8888);
  drawn_.clear();
  return buffer_.get();
}

SpriteImage::SpriteImage(posix::LineImage image, Color color, std::shared_ptr<SpriteSheet> sheet)
    : RasterTextImage(std::move(image), color),
      sheet_(std::move(sheet)),
      number_(sheet_->Add(*this)) {}

std::size_t SpriteImage::Bytes() const {
  cairo_surface_t* image = Image.get();
  return RasterTextImage::Bytes() +
         PixelCount({cairo_image_surface_get_width(image), cairo_image_surface_get_height(image)}) *
             kBytesPerPixel;
}

void Scene::FillRect(const platform::PixelRect& rect, Color color) {
  const bool whole = rect.Intersect({0, 0, size_.Width, size_.Height}) ==
                     platform::PixelRect{0, 0, size_.Width, size_.Height};
  if (plain_ && !background_ && lines_.empty() && whole) {
    background_ = color;
  } else {
    plain_ = false;
  }
}

void Scene::DrawImage(const platform::TextImage& image, int x, int y) {
  lines_.push_back({&static_cast<const SpriteImage&>(image), x, y});
}

struct SpriteLayer::Sprite {
  Owned<wl_surface> Surface;
  Owned<wl_subsurface> Place;
  Owned<wp_viewport> Crop;
  std::shared_ptr<SpriteSheet> Sheet;  // attached
  platform::PixelRect Box;             // where its image's inked part lies on the parent
  platform::PixelRect Source;          // the part of the sheet shown
  std::optional<platform::PixelPoint> Position;
};

struct SpriteLayer::Wanted {
  std::shared_ptr<SpriteSheet> Sheet;
  platform::PixelRect Box;
  platform::PixelRect Source;  // the part of the sheet shown: of its image, the part of Box on
                               // the parent
  platform::PixelPoint Position;
};

SpriteLayer::SpriteLayer(const Makers& makers, wl_surface* parent)
    : makers_(makers), parent_(parent) {}

// Here, where a Sprite is whole.
SpriteLayer::~SpriteLayer() = default;

void SpriteLayer::Show(const Scene& scene, platform::PixelSize size) {
  // What the last frame took off is the compositor's no longer.
  retired_.clear();
  const platform::PixelRect whole{0, 0, size.Width, size.Height};
  std::vector<Wanted> wanted;
  for (const Scene::Line& line : scene.Lines()) {
    const SheetPart part = line.Image->Part();
    const platform::PixelRect box{line.X + part.Inked.Left, line.Y + part.Inked.Top,
                                  line.X + part.Inked.Right, line.Y + part.Inked.Bottom};
    const platform::PixelRect shown = box.Intersect(whole);
    if (shown.IsEmpty() || line.Image->Sheet()->Buffer(makers_.Shm) == nullptr) continue;
    const platform::PixelRect& sheet = part.InSheet;
    const platform::PixelRect source{
        sheet.Left + shown.Left - box.Left, sheet.Top + shown.Top - box.Top,
        sheet.Left + shown.Right - box.Left, sheet.Top + shown.Bottom - box.Top};
    wanted.push_back({line.Image->Sheet(), box, source, {shown.Left, shown.Top}});
  }
  const std::vector<Sprite*> chosen = Choose(wanted);
  for (std::size_t i = 0; i < wanted.size(); ++i) Update(*chosen[i], wanted[i]);
  Stack(chosen);
  // Kept lowest first; those left over show nothing now (a subsurface destroyed is gone at once).
  std::vector<std::unique_ptr<Sprite>> kept(chosen.size());
  for (std::unique_ptr<Sprite>& sprite : sprites_) {
    const auto at = std::find(chosen.begin(), chosen.end(), sprite.get());
    if (at != chosen.end()) {
      kept[static_cast<std::size_t>(at - chosen.begin())] = std::move(sprite);
    } else if (sprite->Sheet) {
      retired_.push_back(std::move(sprite->Sheet));
    }
  }
  sprites_ = std::move(kept);
}

std::vector<SpriteLayer::Sprite*> SpriteLayer::Choose(const std::vector<Wanted>& wanted) {
  std::vector<Sprite*> chosen(wanted.size(), nullptr);
  std::vector<bool> taken(sprites_.size(), false);
  const auto pick = [&](std::size_t line, auto fits, auto cost) {
    std::size_t best = sprites_.size();
    for (std::size_t i = 0; i < sprites_.size(); ++i) {
      if (taken[i] || !fits(*sprites_[i])) continue;
      if (best == sprites_.size() || cost(*sprites_[i]) < cost(*sprites_[best])) best = i;
    }
    if (best == sprites_.size()) return;
    taken[best] = true;
    chosen[line] = sprites_[best].get();
  };
  const auto any = [](const Sprite&) { return true; };
  const auto none = [](const Sprite&) { return 0; };
  for (std::size_t line = 0; line < wanted.size(); ++line) {
    pick(
        line, [&](const Sprite& sprite) { return sprite.Sheet == wanted[line].Sheet; }, none);
  }
  for (std::size_t line = 0; line < wanted.size(); ++line) {
    if (chosen[line] != nullptr) continue;
    const platform::PixelRect& box = wanted[line].Box;
    pick(
        line,
        [&](const Sprite& sprite) {
          return sprite.Box.Left == box.Left && sprite.Box.Width() == box.Width();
        },
        [&](const Sprite& sprite) { return std::abs(sprite.Box.Top - box.Top); });
  }
  for (std::size_t line = 0; line < wanted.size(); ++line) {
    if (chosen[line] != nullptr) continue;
    pick(line, any, none);
    if (chosen[line] != nullptr) continue;
    // A new subsurface goes on top of its siblings.
    sprites_.push_back(MakeSprite());
    taken.push_back(true);
    chosen[line] = sprites_.back().get();
  }
  return chosen;
}

std::unique_ptr<SpriteLayer::Sprite> SpriteLayer::MakeSprite() {
  auto sprite = std::make_unique<Sprite>();
  sprite->Surface.reset(wl_compositor_create_surface(makers_.Compositor));
  sprite->Place.reset(
      wl_subcompositor_get_subsurface(makers_.Subcompositor, sprite->Surface.get(), parent_));
  sprite->Crop.reset(wp_viewporter_get_viewport(makers_.Viewporter, sprite->Surface.get()));
  // The pointer and the keyboard are the window's, over a line too.
  wl_region* nowhere = wl_compositor_create_region(makers_.Compositor);
  wl_surface_set_input_region(sprite->Surface.get(), nowhere);
  wl_region_destroy(nowhere);
  return sprite;
}

void SpriteLayer::Update(Sprite& sprite, const Wanted& wanted) {
  wl_surface* surface = sprite.Surface.get();
  bool changed = false;
  if (sprite.Sheet != wanted.Sheet) {
    wl_surface_attach(surface, wanted.Sheet->Buffer(makers_.Shm), 0, 0);
    wl_surface_damage_buffer(surface, 0, 0, std::numeric_limits<std::int32_t>::max(),
                             std::numeric_limits<std::int32_t>::max());
    if (sprite.Sheet) retired_.push_back(std::move(sprite.Sheet));
    sprite.Sheet = wanted.Sheet;
    changed = true;
  }
  // Its own image, and of that only the part on the parent: a line entering at the bottom would
  // show on an output below.
  const platform::PixelRect& source = wanted.Source;
  if (!(sprite.Source == source)) {
    wp_viewport_set_source(sprite.Crop.get(), wl_fixed_from_int(source.Left),
                           wl_fixed_from_int(source.Top), wl_fixed_from_int(source.Width()),
                           wl_fixed_from_int(source.Height()));
    wp_viewport_set_destination(sprite.Crop.get(), source.Width(), source.Height());
    wl_surface_damage_buffer(surface, source.Left, source.Top, source.Width(), source.Height());
    sprite.Source = source;
    changed = true;
  }
  if (sprite.Position != wanted.Position) {
    wl_subsurface_set_position(sprite.Place.get(), wanted.Position.X, wanted.Position.Y);
    sprite.Position = wanted.Position;
  }
  sprite.Box = wanted.Box;
  if (changed) wl_surface_commit(surface);
}

void SpriteLayer::Stack(const std::vector<Sprite*>& order) {
  std::vector<Sprite*> stacked;
  for (const std::unique_ptr<Sprite>& sprite : sprites_) {
    if (std::find(order.begin(), order.end(), sprite.get()) != order.end()) {
      stacked.push_back(sprite.get());
    }
  }
  if (stacked == order) return;
  wl_surface* below = parent_;
  for (Sprite* sprite : order) {
    wl_subsurface_place_above(sprite->Place.get(), below);
    below = sprite->Surface.get();
  }
}

}  // namespace velloway::wayland
