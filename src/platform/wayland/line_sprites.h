#pragma once
// Lines the compositor moves. Where a window's buffer is in the surface's own units (scale 1),
// each line is shown by a subsurface of the window's surface, its images in a buffer of their
// own, which the compositor places and lays over the background, as the X server composites a
// line's image on the X11 program's window. A frame then writes no pixels: it tells where each
// line is now, and which of its phases shows. The window's own buffer holds the background alone.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "platform/geometry.h"
#include "platform/raster/raster_backend.h"
#include "platform/wayland/shm_buffer.h"
#include "platform/wayland/wayland_handles.h"

namespace velloway::wayland {

// Where a line's image lies in its sheet: the rectangle of it that holds ink in any image of the
// sheet (the compositor lays every pixel it shows, clear or not), the same in each, so that the
// line's edges stay put from phase to phase.
struct SheetPart {
  platform::PixelRect Inked;    // in the image
  platform::PixelRect InSheet;  // as large
};

// The images of a line drawn together (the phases it moves through), one under another in one
// buffer in shared memory, premultiplied ARGB, as the compositor lays them over what lies
// beneath: the same pixels as the renderer's Picture lays. A line that moves by a sixteenth
// shows another part of the buffer it shows, and the compositor takes its pixels once.
class SpriteSheet {
 public:
  // Takes an image drawn with the others, to be copied when the buffer is made: its number in
  // the sheet.
  std::size_t Add(const raster::RasterTextImage& image);
  // The buffer of all the images added, made on first asking; null when none has ink. Throws
  // std::runtime_error when the memory cannot be had.
  wl_buffer* Buffer(wl_shm* shm);
  SheetPart Part(std::size_t image) const;

 private:
  struct Drawn {
    posix::LineImage Image;
    std::uint32_t Ink;
  };

  std::vector<Drawn> drawn_;  // their pixels, until the buffer is made
  std::size_t count_ = 0;
  platform::PixelRect inked_;
  std::optional<SharedMemory> memory_;
  Owned<wl_buffer> buffer_;
};

// The Wayland backend's line image: the renderer's, which a window that draws its lines into its
// own buffer lays, and a part of its sheet, which a sprite shows.
class SpriteImage final : public raster::RasterTextImage {
 public:
  SpriteImage(posix::LineImage image, Color color, std::shared_ptr<SpriteSheet> sheet);
  // With its part of the sheet, at most four bytes a pixel, which a window of scale 1 makes.
  std::size_t Bytes() const override;
  const std::shared_ptr<SpriteSheet>& Sheet() const { return sheet_; }
  SheetPart Part() const { return sheet_->Part(number_); }

 private:
  std::shared_ptr<SpriteSheet> sheet_;
  std::size_t number_;
};

// What a form paints, kept instead of drawn: where each line's image lies, and whether beneath
// them is the background alone.
class Scene final : public platform::Canvas {
 public:
  struct Line {
    const SpriteImage* Image;
    int X;
    int Y;
  };

  explicit Scene(platform::PixelSize size) : size_(size) {}
  void FillRect(const platform::PixelRect& rect, Color color) override;
  void DrawImage(const platform::TextImage& image, int x, int y) override;

  // The colour the form filled all of it with before it laid its lines; nothing when it painted
  // anything else.
  std::optional<Color> Background() const { return plain_ ? background_ : std::nullopt; }
  // In the order drawn: the first lowest.
  const std::vector<Line>& Lines() const { return lines_; }

 private:
  platform::PixelSize size_;
  std::optional<Color> background_;
  bool plain_ = true;
  std::vector<Line> lines_;
};

// The subsurfaces of a window's surface that show its lines: one for each line, kept from frame
// to frame so that a line that moves is only placed anew, and one that moves by a sixteenth
// shows another part of its sheet. Its changes show with the window's next commit.
class SpriteLayer {
 public:
  struct Makers {
    wl_compositor* Compositor;
    wl_subcompositor* Subcompositor;
    wl_shm* Shm;
    wp_viewporter* Viewporter;
  };

  SpriteLayer(const Makers& makers, wl_surface* parent);
  SpriteLayer(const SpriteLayer&) = delete;
  SpriteLayer& operator=(const SpriteLayer&) = delete;
  ~SpriteLayer();

  // Shows the scene's lines over a surface of size's pixels, each cropped to it, the first
  // lowest.
  void Show(const Scene& scene, platform::PixelSize size);

 private:
  struct Sprite;
  struct Wanted;

  // For each line shown: the sprite that showed its sheet before, else one that showed the
  // same line from another sheet (its left edge and width the same), else any, else a new one.
  std::vector<Sprite*> Choose(const std::vector<Wanted>& wanted);
  void Update(Sprite& sprite, const Wanted& wanted);
  // Stacks the sprites in that order above the parent, when they are not so already.
  void Stack(const std::vector<Sprite*>& order);
  std::unique_ptr<Sprite> MakeSprite();

  Makers makers_;
  wl_surface* parent_;
  std::vector<std::unique_ptr<Sprite>> sprites_;  // as the compositor stacks them, lowest first
  // Sheets taken off a sprite, kept until the commit that takes them off has gone.
  std::vector<std::shared_ptr<SpriteSheet>> retired_;
};

}  // namespace velloway::wayland
