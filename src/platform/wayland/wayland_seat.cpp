#include "platform/wayland/wayland_seat.h"

#include <linux/input-event-codes.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <optional>

#include "platform/wayland/wayland_backend.h"
#include "platform/wayland/wayland_window.h"

namespace velloway::wayland {
namespace {

// Version 5 brings the pointer's frames and axis events, which are read and left alone.
constexpr std::uint32_t kSeatVersion = 5;

std::optional<platform::MouseButton> ToMouseButton(std::uint32_t button) {
  switch (button) {
    case BTN_LEFT:
      return platform::MouseButton::Left;
    case BTN_RIGHT:
      return platform::MouseButton::Right;
    case BTN_MIDDLE:
      return platform::MouseButton::Middle;
    case BTN_SIDE:
      return platform::MouseButton::X1;
    case BTN_EXTRA:
      return platform::MouseButton::X2;
    default:
      return std::nullopt;
  }
}

}  // namespace

Seat::Seat(WaylandBackend& backend, wl_registry* registry, std::uint32_t name,
           std::uint32_t version)
    : backend_(backend),
      globalName_(name),
      seat_(static_cast<wl_seat*>(
          wl_registry_bind(registry, name, &wl_seat_interface, std::min(version, kSeatVersion)))) {
  static const wl_seat_listener listener = {OnCapabilities, OnName};
  wl_seat_add_listener(seat_.get(), &listener, this);
}

void Seat::OnCapabilities(void* data, wl_seat* seat, std::uint32_t capabilities) {
  auto& self = *static_cast<Seat*>(data);
  const bool keyboard = (capabilities & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
  if (keyboard && !self.keyboard_) {
    self.keyboard_.reset(wl_seat_get_keyboard(seat));
    static const wl_keyboard_listener listener = {OnKeymap, OnKeyboardEnter, OnKeyboardLeave,
                                                  OnKey,    OnModifiers,     OnRepeatInfo};
    wl_keyboard_add_listener(self.keyboard_.get(), &listener, data);
  } else if (!keyboard && self.keyboard_) {
    self.keyboard_.reset();
    self.keyboardFocus_ = nullptr;
  }
  const bool pointer = (capabilities & WL_SEAT_CAPABILITY_POINTER) != 0;
  if (pointer && !self.pointer_) {
    self.pointer_.reset(wl_seat_get_pointer(seat));
    static const wl_pointer_listener listener = {
        OnPointerEnter, OnPointerLeave, OnMotion,   OnButton,       OnAxis,
        OnFrame,        OnAxisSource,   OnAxisStop, OnAxisDiscrete, OnAxisValue120};
    wl_pointer_add_listener(self.pointer_.get(), &listener, data);
  } else if (!pointer && self.pointer_) {
    self.pointer_.reset();
    self.pointerFocus_ = nullptr;
  }
}

void Seat::OnName(void*, wl_seat*, const char*) {}

void Seat::OnKeymap(void*, wl_keyboard*, std::uint32_t, std::int32_t fd, std::uint32_t) {
  // Any key ends the saver, whatever it types: the keymap is not needed.
  close(fd);
}

void Seat::OnKeyboardEnter(void* data, wl_keyboard*, std::uint32_t, wl_surface* surface,
                           wl_array*) {
  // Keys already down as the surface gets the keyboard were pressed before it showed: only keys
  // pressed from now on count.
  static_cast<Seat*>(data)->keyboardFocus_ = surface;
}

void Seat::OnKeyboardLeave(void* data, wl_keyboard*, std::uint32_t, wl_surface* surface) {
  auto& self = *static_cast<Seat*>(data);
  if (self.keyboardFocus_ == surface) self.keyboardFocus_ = nullptr;
  self.backend_.KeyboardLeft(surface);
}

void Seat::OnKey(void* data, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t,
                 std::uint32_t state) {
  auto& self = *static_cast<Seat*>(data);
  if (state == WL_KEYBOARD_KEY_STATE_PRESSED) self.backend_.KeyDown(self.keyboardFocus_);
}

void Seat::OnModifiers(void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t,
                       std::uint32_t, std::uint32_t) {}

void Seat::OnRepeatInfo(void*, wl_keyboard*, std::int32_t, std::int32_t) {}

void Seat::OnPointerEnter(void* data, wl_pointer* pointer, std::uint32_t serial,
                          wl_surface* surface, wl_fixed_t x, wl_fixed_t y) {
  auto& self = *static_cast<Seat*>(data);
  self.pointerFocus_ = surface;
  if (const WaylandWindow* window = self.backend_.WindowOf(surface);
      window != nullptr && window->HidesPointer()) {
    wl_pointer_set_cursor(pointer, serial, nullptr, 0, 0);
  }
  self.backend_.PointerAt(surface, wl_fixed_to_double(x), wl_fixed_to_double(y));
}

void Seat::OnPointerLeave(void* data, wl_pointer*, std::uint32_t, wl_surface* surface) {
  auto& self = *static_cast<Seat*>(data);
  if (self.pointerFocus_ == surface) self.pointerFocus_ = nullptr;
}

void Seat::OnMotion(void* data, wl_pointer*, std::uint32_t, wl_fixed_t x, wl_fixed_t y) {
  auto& self = *static_cast<Seat*>(data);
  self.backend_.PointerAt(self.pointerFocus_, wl_fixed_to_double(x), wl_fixed_to_double(y));
}

void Seat::OnButton(void* data, wl_pointer*, std::uint32_t, std::uint32_t, std::uint32_t button,
                    std::uint32_t state) {
  auto& self = *static_cast<Seat*>(data);
  if (const auto pressed = ToMouseButton(button)) {
    self.backend_.Button(self.pointerFocus_, *pressed, state == WL_POINTER_BUTTON_STATE_PRESSED);
  }
}

// The wheel's steps are no buttons, as on X11 and Windows.
void Seat::OnAxis(void*, wl_pointer*, std::uint32_t, std::uint32_t, wl_fixed_t) {}
void Seat::OnFrame(void*, wl_pointer*) {}
void Seat::OnAxisSource(void*, wl_pointer*, std::uint32_t) {}
void Seat::OnAxisStop(void*, wl_pointer*, std::uint32_t, std::uint32_t) {}
void Seat::OnAxisDiscrete(void*, wl_pointer*, std::uint32_t, std::int32_t) {}
void Seat::OnAxisValue120(void*, wl_pointer*, std::uint32_t, std::int32_t) {}

}  // namespace velloway::wayland
