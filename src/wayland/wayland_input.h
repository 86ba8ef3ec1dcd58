// The saver's input on one seat: any key, any button or scroll, any touch, or the pointer
// travelling beyond the threshold that the X11 saver uses ends it. The cursor is hidden over
// the saver's surfaces.
#pragma once

#include <wayland-client.h>

#include <cstdint>
#include <optional>

#include "common/pointer_travel.h"

namespace roses {

class wayland_input {
  public:
    // Takes over the bound seat; its global's name identifies it when it goes away.
    wayland_input(wl_seat* seat, std::uint32_t version, std::uint32_t name);
    ~wayland_input();
    wayland_input(const wayland_input&) = delete;
    wayland_input& operator=(const wayland_input&) = delete;

    std::uint32_t name() const { return global_name; }
    // True once the user has done anything that ends the saver.
    bool ended() const { return user_came_back; }

  private:
    static void on_capabilities(void* data, wl_seat* seat, std::uint32_t capabilities);
    static void on_pointer_enter(void* data, wl_pointer* pointer, std::uint32_t serial,
                                 wl_surface* surface, wl_fixed_t x, wl_fixed_t y);
    static void on_pointer_motion(void* data, wl_pointer* pointer, std::uint32_t time, wl_fixed_t x,
                                  wl_fixed_t y);
    static void on_keyboard_keymap(void* data, wl_keyboard* keyboard, std::uint32_t format,
                                   std::int32_t fd, std::uint32_t size);
    void set_capabilities(std::uint32_t capabilities);

    wl_seat* seat;
    std::uint32_t version;
    std::uint32_t global_name;
    wl_keyboard* keyboard = nullptr;
    wl_pointer* pointer = nullptr;
    wl_touch* touch = nullptr;
    // Where the pointer first entered one of the saver's surfaces, in that surface's
    // coordinates.
    wl_surface* anchor_surface = nullptr;
    std::optional<pointer_anchor> anchor;
    bool user_came_back = false;
};

} // namespace roses
