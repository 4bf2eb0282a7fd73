#include "platform/wayland/wayland_output.h"

#include <wayland-client.h>

#include <algorithm>
#include <utility>

namespace velloway::wayland {
namespace {

// Version 4 tells the output's name, which --output names.
constexpr std::uint32_t kOutputVersion = 4;
constexpr int kDefaultRefreshHz = 60;

bool Turned(std::int32_t transform) {
  switch (transform) {
    case WL_OUTPUT_TRANSFORM_90:
    case WL_OUTPUT_TRANSFORM_270:
    case WL_OUTPUT_TRANSFORM_FLIPPED_90:
    case WL_OUTPUT_TRANSFORM_FLIPPED_270:
      return true;
    default:
      return false;
  }
}

}  // namespace

Output::Output(wl_registry* registry, std::uint32_t name, std::uint32_t version,
               std::function<void()> changed)
    : globalName_(name),
      changed_(std::move(changed)),
      output_(static_cast<wl_output*>(wl_registry_bind(registry, name, &wl_output_interface,
                                                       std::min(version, kOutputVersion)))) {
  static const wl_output_listener listener = {OnGeometry, OnMode, OnDone,
                                              OnScale,    OnName, OnDescription};
  wl_output_add_listener(output_.get(), &listener, this);
}

int Output::RefreshHz() const {
  if (current_.RefreshMilliHz <= 0) return kDefaultRefreshHz;
  return std::max((current_.RefreshMilliHz + 500) / 1000, 1);
}

platform::PixelSize Output::Logical() const {
  if (shellSize_) return *shellSize_;
  platform::PixelSize pixels = current_.Mode;
  if (Turned(current_.Transform)) std::swap(pixels.Width, pixels.Height);
  const int scale = std::max(current_.Scale, 1);
  return {std::max(pixels.Width / scale, 1), std::max(pixels.Height / scale, 1)};
}

void Output::OnGeometry(void* data, wl_output*, std::int32_t, std::int32_t, std::int32_t,
                        std::int32_t, std::int32_t, const char*, const char*,
                        std::int32_t transform) {
  static_cast<Output*>(data)->pending_.Transform = transform;
}

void Output::OnMode(void* data, wl_output*, std::uint32_t flags, std::int32_t width,
                    std::int32_t height, std::int32_t refresh) {
  if ((flags & WL_OUTPUT_MODE_CURRENT) == 0) return;
  auto& pending = static_cast<Output*>(data)->pending_;
  pending.Mode = {width, height};
  pending.RefreshMilliHz = refresh;
}

void Output::OnScale(void* data, wl_output*, std::int32_t factor) {
  static_cast<Output*>(data)->pending_.Scale = factor;
}

void Output::OnName(void* data, wl_output*, const char* name) {
  static_cast<Output*>(data)->pending_.Name = name;
}

void Output::OnDescription(void*, wl_output*, const char*) {}

void Output::OnDone(void* data, wl_output*) {
  auto& output = *static_cast<Output*>(data);
  const State& pending = output.pending_;
  // The shell sizes the surfaces anew for a new mode or scale: until it has, the mode tells.
  if (!(pending.Mode == output.current_.Mode) || pending.Scale != output.current_.Scale ||
      pending.Transform != output.current_.Transform) {
    output.shellSize_.reset();
  }
  output.current_ = pending;
  output.known_ = true;
  output.changed_();
}

}  // namespace velloway::wayland
