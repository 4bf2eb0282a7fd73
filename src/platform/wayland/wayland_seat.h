#pragma once
// The user's input (wl_seat): any key down, the pointer's buttons and where it is, told to the
// backend, which hands them to the windows from its event loop.
#include <wayland-util.h>

#include <cstdint>

#include "platform/wayland/wayland_handles.h"

namespace velloway::wayland {

class WaylandBackend;

class Seat {
 public:
  Seat(WaylandBackend& backend, wl_registry* registry, std::uint32_t name, std::uint32_t version);
  Seat(const Seat&) = delete;
  Seat& operator=(const Seat&) = delete;

  std::uint32_t GlobalName() const { return globalName_; }
  // The surface that has the keyboard; null when none of the program's has it.
  wl_surface* KeyboardFocus() const { return keyboardFocus_; }

 private:
  static void OnCapabilities(void* data, wl_seat* seat, std::uint32_t capabilities);
  static void OnName(void* data, wl_seat* seat, const char* name);
  static void OnKeymap(void* data, wl_keyboard* keyboard, std::uint32_t format, std::int32_t fd,
                       std::uint32_t size);
  static void OnKeyboardEnter(void* data, wl_keyboard* keyboard, std::uint32_t serial,
                              wl_surface* surface, wl_array* keys);
  static void OnKeyboardLeave(void* data, wl_keyboard* keyboard, std::uint32_t serial,
                              wl_surface* surface);
  static void OnKey(void* data, wl_keyboard* keyboard, std::uint32_t serial, std::uint32_t time,
                    std::uint32_t key, std::uint32_t state);
  static void OnModifiers(void* data, wl_keyboard* keyboard, std::uint32_t serial,
                          std::uint32_t depressed, std::uint32_t latched, std::uint32_t locked,
                          std::uint32_t group);
  static void OnRepeatInfo(void* data, wl_keyboard* keyboard, std::int32_t rate,
                           std::int32_t delay);
  static void OnPointerEnter(void* data, wl_pointer* pointer, std::uint32_t serial,
                             wl_surface* surface, wl_fixed_t x, wl_fixed_t y);
  static void OnPointerLeave(void* data, wl_pointer* pointer, std::uint32_t serial,
                             wl_surface* surface);
  static void OnMotion(void* data, wl_pointer* pointer, std::uint32_t time, wl_fixed_t x,
                       wl_fixed_t y);
  static void OnButton(void* data, wl_pointer* pointer, std::uint32_t serial, std::uint32_t time,
                       std::uint32_t button, std::uint32_t state);
  static void OnAxis(void* data, wl_pointer* pointer, std::uint32_t time, std::uint32_t axis,
                     wl_fixed_t value);
  static void OnFrame(void* data, wl_pointer* pointer);
  static void OnAxisSource(void* data, wl_pointer* pointer, std::uint32_t source);
  static void OnAxisStop(void* data, wl_pointer* pointer, std::uint32_t time, std::uint32_t axis);
  static void OnAxisDiscrete(void* data, wl_pointer* pointer, std::uint32_t axis,
                             std::int32_t discrete);
  static void OnAxisValue120(void* data, wl_pointer* pointer, std::uint32_t axis,
                             std::int32_t value120);

  WaylandBackend& backend_;
  std::uint32_t globalName_;
  Owned<wl_seat> seat_;
  Owned<wl_keyboard> keyboard_;
  Owned<wl_pointer> pointer_;
  wl_surface* keyboardFocus_ = nullptr;
  wl_surface* pointerFocus_ = nullptr;
};

}  // namespace velloway::wayland
