#pragma once
// A monitor as the compositor tells of it (wl_output): its name, its mode and scale, as they are
// after each of its done events.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/geometry.h"
#include "platform/wayland/wayland_handles.h"

namespace velloway::wayland {

class Output {
 public:
  // Binds the output the registry announces as global `name`; changed runs after each done
  // event, from the listener: it may only take note.
  Output(wl_registry* registry, std::uint32_t name, std::uint32_t version,
         std::function<void()> changed);
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  std::uint32_t GlobalName() const { return globalName_; }
  wl_output* Get() const { return output_.get(); }
  // As the compositor names it ("HEADLESS-1", "DP-2"); empty before wl_output version 4.
  const std::string& Name() const { return current_.Name; }
  // Whether its first description is complete.
  bool Known() const { return known_; }
  std::int32_t Scale() const { return current_.Scale; }
  // Frames a second; 60 where it does not say.
  int RefreshHz() const;
  // Its size in the compositor's logical units: as the shell sized a surface covering it, else
  // its mode over its scale.
  platform::PixelSize Logical() const;
  // The scale the compositor prefers for surfaces on it, in 120ths, once one was told.
  std::optional<std::uint32_t> Preferred120() const { return preferred120_; }
  void SetPreferred120(std::uint32_t scale120) { preferred120_ = scale120; }
  // The shell sized a surface covering it; a new mode or scale forgets it.
  void SetShellSize(platform::PixelSize logical) { shellSize_ = logical; }

 private:
  struct State {
    std::string Name;
    platform::PixelSize Mode;  // pixels, before the transform
    std::int32_t RefreshMilliHz = 0;
    std::int32_t Scale = 1;
    std::int32_t Transform = 0;
  };

  static void OnGeometry(void* data, wl_output* output, std::int32_t x, std::int32_t y,
                         std::int32_t physicalWidth, std::int32_t physicalHeight,
                         std::int32_t subpixel, const char* make, const char* model,
                         std::int32_t transform);
  static void OnMode(void* data, wl_output* output, std::uint32_t flags, std::int32_t width,
                     std::int32_t height, std::int32_t refresh);
  static void OnDone(void* data, wl_output* output);
  static void OnScale(void* data, wl_output* output, std::int32_t factor);
  static void OnName(void* data, wl_output* output, const char* name);
  static void OnDescription(void* data, wl_output* output, const char* description);

  std::uint32_t globalName_;
  std::function<void()> changed_;
  Owned<wl_output> output_;
  State pending_;
  State current_;
  bool known_ = false;
  std::optional<platform::PixelSize> shellSize_;
  std::optional<std::uint32_t> preferred120_;
};

}  // namespace velloway::wayland
