#include "wayland/wayland_input.h"

#include <unistd.h>

#include "wayland/unused_event.h"

namespace roses {
namespace {

constexpr std::uint32_t release_since = 3;
constexpr std::uint32_t seat_release_since = 5;

wayland_input& self(void* data) {
    return *static_cast<wayland_input*>(data);
}

} // namespace

wayland_input::wayland_input(wl_seat* seat, std::uint32_t version, std::uint32_t name)
    : seat(seat), version(version), global_name(name) {
    static const wl_seat_listener listener = {
        .capabilities = &wayland_input::on_capabilities,
        .name = &ignore<wl_seat*, const char*>,
    };
    wl_seat_add_listener(seat, &listener, this);
}

wayland_input::~wayland_input() {
    set_capabilities(0);
    if (version >= seat_release_since) {
        wl_seat_release(seat);
    } else {
        wl_seat_destroy(seat);
    }
}

void wayland_input::on_capabilities(void* data, wl_seat*, std::uint32_t capabilities) {
    static_cast<wayland_input*>(data)->set_capabilities(capabilities);
}

void wayland_input::on_pointer_enter(void* data, wl_pointer* pointer, std::uint32_t serial,
                                     wl_surface* surface, wl_fixed_t x, wl_fixed_t y) {
    auto& input = *static_cast<wayland_input*>(data);
    // No cursor over the saver.
    wl_pointer_set_cursor(pointer, serial, nullptr, 0, 0);
    if (!input.anchor) {
        input.anchor_surface = surface;
        input.anchor.emplace(wl_fixed_to_int(x), wl_fixed_to_int(y));
    } else if (surface != input.anchor_surface) {
        // The pointer crossed from one output onto another: that is travel, however short,
        // and the two surfaces' coordinates cannot be compared.
        input.user_came_back = true;
    } else if (input.anchor->moved_beyond_threshold(wl_fixed_to_int(x), wl_fixed_to_int(y))) {
        input.user_came_back = true;
    }
}

void wayland_input::on_pointer_motion(void* data, wl_pointer*, std::uint32_t, wl_fixed_t x,
                                      wl_fixed_t y) {
    auto& input = *static_cast<wayland_input*>(data);
    if (input.anchor &&
        input.anchor->moved_beyond_threshold(wl_fixed_to_int(x), wl_fixed_to_int(y))) {
        input.user_came_back = true;
    }
}

void wayland_input::on_keyboard_keymap(void*, wl_keyboard*, std::uint32_t, std::int32_t fd,
                                       std::uint32_t) {
    // Any key ends the saver, so which symbol it is does not matter.
    close(fd);
}

void wayland_input::set_capabilities(std::uint32_t capabilities) {
    static const wl_keyboard_listener keyboard_listener = {
        .keymap = &wayland_input::on_keyboard_keymap,
        // Keys already held when the saver took the keyboard (the Enter that started it)
        // arrive here and are no new press.
        .enter = &ignore<wl_keyboard*, std::uint32_t, wl_surface*, wl_array*>,
        .leave = &ignore<wl_keyboard*, std::uint32_t, wl_surface*>,
        .key =
            [](void* data, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t,
               std::uint32_t state) {
                if (state == WL_KEYBOARD_KEY_STATE_PRESSED) {
                    self(data).user_came_back = true;
                }
            },
        .modifiers = &ignore<wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t,
                             std::uint32_t, std::uint32_t>,
        .repeat_info = &ignore<wl_keyboard*, std::int32_t, std::int32_t>,
    };
    static const wl_pointer_listener pointer_listener = {
        .enter = &wayland_input::on_pointer_enter,
        .leave = &ignore<wl_pointer*, std::uint32_t, wl_surface*>,
        .motion = &wayland_input::on_pointer_motion,
        .button =
            [](void* data, wl_pointer*, std::uint32_t, std::uint32_t, std::uint32_t,
               std::uint32_t state) {
                if (state == WL_POINTER_BUTTON_STATE_PRESSED) {
                    self(data).user_came_back = true;
                }
            },
        // A turn of the wheel is a press of a button on X11 too.
        .axis = [](void* data, wl_pointer*, std::uint32_t, std::uint32_t,
                   wl_fixed_t) { self(data).user_came_back = true; },
        .frame = &ignore<wl_pointer*>,
        .axis_source = &ignore<wl_pointer*, std::uint32_t>,
        .axis_stop = &ignore<wl_pointer*, std::uint32_t, std::uint32_t>,
        .axis_discrete = &ignore<wl_pointer*, std::uint32_t, std::int32_t>,
        .axis_value120 = &ignore<wl_pointer*, std::uint32_t, std::int32_t>,
#ifdef WL_POINTER_AXIS_RELATIVE_DIRECTION_SINCE_VERSION
        // Newer protocol headers (Debian 13's) add the wheel's physical direction.
        .axis_relative_direction = &ignore<wl_pointer*, std::uint32_t, std::uint32_t>,
#endif
    };
    static const wl_touch_listener touch_listener = {
        .down = [](void* data, wl_touch*, std::uint32_t, std::uint32_t, wl_surface*, std::int32_t,
                   wl_fixed_t, wl_fixed_t) { self(data).user_came_back = true; },
        .up = &ignore<wl_touch*, std::uint32_t, std::uint32_t, std::int32_t>,
        .motion = &ignore<wl_touch*, std::uint32_t, std::int32_t, wl_fixed_t, wl_fixed_t>,
        .frame = &ignore<wl_touch*>,
        .cancel = &ignore<wl_touch*>,
        .shape = &ignore<wl_touch*, std::int32_t, wl_fixed_t, wl_fixed_t>,
        .orientation = &ignore<wl_touch*, std::int32_t, wl_fixed_t>,
    };

    const bool wants_keyboard = (capabilities & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
    if (wants_keyboard && keyboard == nullptr) {
        keyboard = wl_seat_get_keyboard(seat);
        wl_keyboard_add_listener(keyboard, &keyboard_listener, this);
    } else if (!wants_keyboard && keyboard != nullptr) {
        version >= release_since ? wl_keyboard_release(keyboard) : wl_keyboard_destroy(keyboard);
        keyboard = nullptr;
    }
    const bool wants_pointer = (capabilities & WL_SEAT_CAPABILITY_POINTER) != 0;
    if (wants_pointer && pointer == nullptr) {
        pointer = wl_seat_get_pointer(seat);
        wl_pointer_add_listener(pointer, &pointer_listener, this);
    } else if (!wants_pointer && pointer != nullptr) {
        version >= release_since ? wl_pointer_release(pointer) : wl_pointer_destroy(pointer);
        pointer = nullptr;
    }
    const bool wants_touch = (capabilities & WL_SEAT_CAPABILITY_TOUCH) != 0;
    if (wants_touch && touch == nullptr) {
        touch = wl_seat_get_touch(seat);
        wl_touch_add_listener(touch, &touch_listener, this);
    } else if (!wants_touch && touch != nullptr) {
        version >= release_since ? wl_touch_release(touch) : wl_touch_destroy(touch);
        touch = nullptr;
    }
}

} // namespace roses
