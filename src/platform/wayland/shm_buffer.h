#pragma once
// What a surface shows: buffers in shared memory (wl_shm, on a memfd), drawn by the renderer's
// Picture as its frames are. A surface has a few, each reused only once the compositor has
// released it; each repaints only what changed since it was last drawn.
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "platform/geometry.h"
#include "platform/raster/picture.h"
#include "platform/wayland/wayland_handles.h"

namespace velloway::wayland {

// Memory shared with the compositor: a memfd, mapped here.
class SharedMemory {
 public:
  // Throws std::runtime_error when the memory cannot be had.
  explicit SharedMemory(std::size_t bytes);
  ~SharedMemory();
  SharedMemory(const SharedMemory&) = delete;
  SharedMemory& operator=(const SharedMemory&) = delete;
  std::span<std::uint32_t> Pixels() const { return pixels_; }
  // The compositor's buffer of all of it, size's pixels in rows one after another, in format
  // (WL_SHM_FORMAT_...). The memfd is closed then: the compositor has its own, and a program with
  // many lines' buffers keeps no descriptor for each.
  Owned<wl_buffer> Share(wl_shm* shm, platform::PixelSize size, std::uint32_t format);

 private:
  int fd_ = -1;
  std::span<std::uint32_t> pixels_;
};

class ShmBuffer {
 public:
  // A buffer of that many pixels, XRGB8888; throws std::runtime_error when the memory cannot be
  // had.
  ShmBuffer(wl_shm* shm, platform::PixelSize size);
  ShmBuffer(const ShmBuffer&) = delete;
  ShmBuffer& operator=(const ShmBuffer&) = delete;

  wl_buffer* Get() const { return buffer_.get(); }
  platform::PixelSize Size() const { return size_; }
  raster::Picture& Canvas() { return picture_; }
  // The compositor holds it from when it is attached until it releases it.
  bool Held() const { return held_; }
  void Hold() { held_ = true; }
  // What changed since it was last drawn, and must be drawn before it shows again.
  void AddStale(const platform::PixelRect& area) { stale_.push_back(area); }
  std::vector<platform::PixelRect> TakeStale();

 private:
  static void OnRelease(void* data, wl_buffer* buffer);

  platform::PixelSize size_;
  SharedMemory memory_;
  Owned<wl_buffer> buffer_;
  raster::Picture picture_;
  std::vector<platform::PixelRect> stale_;
  bool held_ = false;
};

// A buffer to draw the next frame in, and what must be painted in it.
struct NextBuffer {
  ShmBuffer* Buffer = nullptr;
  std::vector<platform::PixelRect> ToPaint;
};

// The buffers of one surface.
class BufferSet {
 public:
  explicit BufferSet(wl_shm* shm) : shm_(shm) {}

  // area changed: every buffer draws it again before it next shows.
  void Invalidate(const platform::PixelRect& area);
  // A buffer of that size the compositor does not hold, brought up to date from the one shown
  // last but for changed (what changed since), which is left to paint; without one of that size
  // shown before, all that is stale in it (a new one is stale all over). Nothing while each buffer
  // is held.
  NextBuffer Next(platform::PixelSize size, std::vector<platform::PixelRect> changed);
  // The buffer attached and committed last.
  void Shown(ShmBuffer& buffer) { shown_ = &buffer; }

 private:
  // Enough for one shown, one on its way and one being drawn.
  static constexpr std::size_t kMostBuffers = 3;

  ShmBuffer* Free(platform::PixelSize size);

  wl_shm* shm_;
  std::vector<std::unique_ptr<ShmBuffer>> buffers_;
  ShmBuffer* shown_ = nullptr;
};

}  // namespace velloway::wayland
