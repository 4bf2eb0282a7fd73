#pragma once
// Lines the compositor moves. Where a window's buffer is in the surface's own units (scale 1),
// each line's image is a buffer of its own, shown by a subsurface of the window's surface that
// the compositor places and lays over the background, as the X server composites a line's image
// on the X11 program's window. A frame then writes no pixels: it tells where each line is now,
// and which of its phases shows. The window's own buffer holds the background alone.
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

// A line's image in shared memory, premultiplied ARGB, as the compositor lays it over what lies
// beneath: the same pixels as the renderer's Picture lays it.
class SpriteBuffer {
 public:
  // Throws std::runtime_error when the memory cannot be had.
  SpriteBuffer(wl_shm* shm, const raster::RasterTextImage& image);
  wl_buffer* Get() const { return buffer_.get(); }
  platform::PixelSize Size() const { return size_; }

 private:
  platform::PixelSize size_;
  SharedMemory memory_;
  Owned<wl_buffer> buffer_;
};

// The Wayland backend's line image: the renderer's, which a window that draws its lines into its
// own buffer lays, made a buffer of its own the first time a sprite shows it.
class SpriteImage final : public raster::RasterTextImage {
 public:
  using RasterTextImage::RasterTextImage;
  // With the buffer's four bytes a pixel, which a window of scale 1 makes.
  std::size_t Bytes() const override;
  // Its buffer, made on first asking; null for an image without pixels.
  const std::shared_ptr<const SpriteBuffer>& Buffer(wl_shm* shm) const;

 private:
  mutable std::shared_ptr<const SpriteBuffer> buffer_;
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
// shows another of its buffers. Its changes show with the window's next commit.
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

  // For each line shown: the sprite that showed its image before, else one that showed the same
  // line at another phase, else any, else a new one.
  std::vector<Sprite*> Choose(const std::vector<Wanted>& wanted);
  void Update(Sprite& sprite, const Wanted& wanted);
  // Stacks the sprites in that order above the parent, when they are not so already.
  void Stack(const std::vector<Sprite*>& order);
  std::unique_ptr<Sprite> MakeSprite();

  Makers makers_;
  wl_surface* parent_;
  std::vector<std::unique_ptr<Sprite>> sprites_;  // as the compositor stacks them, lowest first
  // Buffers taken off a sprite, kept until the commit that takes them off has gone.
  std::vector<std::shared_ptr<const SpriteBuffer>> retired_;
};

}  // namespace velloway::wayland
