#include "platform/wayland/shm_buffer.h"

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>

namespace velloway::wayland {
namespace {

constexpr int kBytesPerPixel = 4;

std::runtime_error MemoryError(const char* what) {
  return std::runtime_error(std::string("cannot share a buffer with the compositor (") + what +
                            "): " + std::strerror(errno));
}

}  // namespace

SharedMemory::SharedMemory(std::size_t bytes) {
  fd_ = memfd_create("velloway-buffer", MFD_CLOEXEC);
  if (fd_ < 0) throw MemoryError("memfd_create");
  void* mapped = MAP_FAILED;
  if (ftruncate(fd_, static_cast<off_t>(bytes)) == 0) {
    mapped = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, 0);
  }
  if (mapped == MAP_FAILED) {
    const std::runtime_error error = MemoryError("mmap");
    close(fd_);
    throw error;
  }
  pixels_ = {static_cast<std::uint32_t*>(mapped), bytes / sizeof(std::uint32_t)};
}

SharedMemory::~SharedMemory() {
  munmap(pixels_.data(), pixels_.size_bytes());
  if (fd_ >= 0) close(fd_);
}

Owned<wl_buffer> SharedMemory::Share(wl_shm* shm, platform::PixelSize size, std::uint32_t format) {
  wl_shm_pool* pool = wl_shm_create_pool(shm, fd_, static_cast<std::int32_t>(pixels_.size_bytes()));
  // libwayland sends a copy of the descriptor.
  close(std::exchange(fd_, -1));
  Owned<wl_buffer> buffer(wl_shm_pool_create_buffer(pool, 0, size.Width, size.Height,
                                                    size.Width * kBytesPerPixel, format));
  // The buffer keeps the pool's memory for as long as it lives.
  wl_shm_pool_destroy(pool);
  return buffer;
}

ShmBuffer::ShmBuffer(wl_shm* shm, platform::PixelSize size)
    : size_(size),
      memory_(static_cast<std::size_t>(size.Width) * static_cast<std::size_t>(size.Height) *
              kBytesPerPixel),
      buffer_(memory_.Share(shm, size, WL_SHM_FORMAT_XRGB8888)),
      picture_(memory_.Pixels(), size.Width, size.Height),
      stale_{{0, 0, size.Width, size.Height}} {
  static const wl_buffer_listener listener = {OnRelease};
  wl_buffer_add_listener(buffer_.get(), &listener, this);
}

void ShmBuffer::OnRelease(void* data, wl_buffer*) {
  static_cast<ShmBuffer*>(data)->held_ = false;
}

std::vector<platform::PixelRect> ShmBuffer::TakeStale() {
  return platform::MergeAreas(std::exchange(stale_, {}));
}

void BufferSet::Invalidate(const platform::PixelRect& area) {
  for (const auto& buffer : buffers_) buffer->AddStale(area);
}

ShmBuffer* BufferSet::Free(platform::PixelSize size) {
  // Buffers of another size are of no more use once the compositor lets them go.
  std::erase_if(buffers_, [&](const auto& buffer) {
    const bool gone = !buffer->Held() && !(buffer->Size() == size);
    if (gone && buffer.get() == shown_) shown_ = nullptr;
    return gone;
  });
  const auto free = std::find_if(buffers_.begin(), buffers_.end(),
                                 [](const auto& buffer) { return !buffer->Held(); });
  if (free != buffers_.end()) return free->get();
  if (buffers_.size() >= kMostBuffers) return nullptr;
  buffers_.push_back(std::make_unique<ShmBuffer>(shm_, size));
  return buffers_.back().get();
}

NextBuffer BufferSet::Next(platform::PixelSize size, std::vector<platform::PixelRect> changed) {
  ShmBuffer* buffer = Free(size);
  if (buffer == nullptr) return {};
  std::vector<platform::PixelRect> stale = buffer->TakeStale();
  const platform::PixelRect whole{0, 0, size.Width, size.Height};
  const bool redrawn = std::any_of(changed.begin(), changed.end(), [&](const auto& area) {
    return area.Intersect(whole) == whole;
  });
  if (shown_ == nullptr || shown_ == buffer || !(shown_->Size() == size) || redrawn) {
    return {buffer, std::move(stale)};
  }
  // Copying what the last frame showed costs far less than painting it again; what changed since
  // is painted, not copied.
  std::vector<platform::PixelRect> toPaint = platform::MergeAreas(std::move(changed));
  for (const platform::PixelRect& painted : toPaint) {
    std::vector<platform::PixelRect> left;
    for (const platform::PixelRect& area : stale) {
      for (const platform::PixelRect& part : platform::Outside(area, painted)) left.push_back(part);
    }
    stale = std::move(left);
  }
  for (const platform::PixelRect& area : stale) buffer->Canvas().CopyFrom(shown_->Canvas(), area);
  return {buffer, std::move(toPaint)};
}

}  // namespace velloway::wayland
