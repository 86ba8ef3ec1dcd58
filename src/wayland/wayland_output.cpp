#include "wayland/wayland_output.h"

#include <algorithm>
#include <string>
#include <vector>

#include "display/gl_renderer.h"
#include "events/frame_log.h"
#include "scene/software_renderer.h"
#include "wayland/unused_event.h"

namespace roses {
namespace {

constexpr std::uint32_t all_edges =
    ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
    ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT;
// Cover panels and bars too, rather than the area they leave free.
constexpr std::int32_t ignore_exclusive_zones = -1;
constexpr std::uint32_t wl_output_release_since = 3;
constexpr std::uint32_t buffer_scale_since = 3;
// Fractional scales are sent as the numerator over this.
constexpr std::uint32_t fractional_scale_denominator = 120;

// A length in the compositor's units at a fractional scale, in pixels: rounded half away from
// zero, as the compositor rounds it too.
std::int32_t scaled_length(std::int32_t length, std::uint32_t scale) {
    return static_cast<std::int32_t>(
        (static_cast<std::int64_t>(length) * scale + fractional_scale_denominator / 2) /
        fractional_scale_denominator);
}

} // namespace

void find_damage_extensions(wayland_globals& globals) {
    const char* offered = eglQueryString(globals.egl.display, EGL_EXTENSIONS);
    const auto has = [offered](const char* name) { return names_extension(offered, name); };
    globals.buffer_age = has("EGL_EXT_buffer_age");
    // The two extensions' swaps take the same arguments.
    for (const char* name :
         {"EGL_KHR_swap_buffers_with_damage", "EGL_EXT_swap_buffers_with_damage"}) {
        if (globals.swap_with_damage == nullptr && has(name)) {
            const std::string function =
                std::string("eglSwapBuffersWithDamage") +
                (std::string(name).find("KHR") != std::string::npos ? "KHR" : "EXT");
            globals.swap_with_damage = reinterpret_cast<PFNEGLSWAPBUFFERSWITHDAMAGEKHRPROC>(
                eglGetProcAddress(function.c_str()));
        }
    }
}

wayland_output::wayland_output(const wayland_globals& globals, std::uint32_t name,
                               wl_output* output, std::uint32_t version)
    : globals(globals), global_name(name), output(output), output_version(version) {
    static const wl_output_listener listener = {
        .geometry = &ignore<wl_output*, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                            std::int32_t, const char*, const char*, std::int32_t>,
        .mode = &wayland_output::on_mode,
        .done = &wayland_output::on_done,
        .scale = &wayland_output::on_scale,
        .name = &ignore<wl_output*, const char*>,
        .description = &ignore<wl_output*, const char*>,
    };
    wl_output_add_listener(output, &listener, this);
}

wayland_output::~wayland_output() {
    if (frame_callback != nullptr) {
        wl_callback_destroy(frame_callback);
    }
    if (fractional_scale != nullptr) {
        wp_fractional_scale_v1_destroy(fractional_scale);
        wp_viewport_destroy(viewport);
    }
    // The scene's worker stops before the context it draws for goes.
    frames.reset();
    const EGLDisplay display = globals.egl.display;
    if (context != EGL_NO_CONTEXT || egl_surface != EGL_NO_SURFACE) {
        eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    }
    if (egl_surface != EGL_NO_SURFACE) {
        eglDestroySurface(display, egl_surface);
    }
    if (context != EGL_NO_CONTEXT) {
        eglDestroyContext(display, context);
    }
    if (egl_window != nullptr) {
        wl_egl_window_destroy(egl_window);
    }
    if (layer_surface != nullptr) {
        zwlr_layer_surface_v1_destroy(layer_surface);
    }
    if (wl_surface_ != nullptr) {
        wl_surface_destroy(wl_surface_);
    }
    if (output_version >= wl_output_release_since) {
        wl_output_release(output);
    } else {
        wl_output_destroy(output);
    }
}

void wayland_output::create_surface() {
    static const zwlr_layer_surface_v1_listener listener = {
        .configure = &wayland_output::on_configure,
        .closed = &wayland_output::on_closed,
    };
    const bool saver = globals.layer == wayland_layer::saver;
    wl_surface_ = wl_compositor_create_surface(globals.compositor);
    layer_surface = zwlr_layer_shell_v1_get_layer_surface(
        globals.layer_shell, wl_surface_, output,
        saver ? ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY : ZWLR_LAYER_SHELL_V1_LAYER_BACKGROUND, "roses");
    zwlr_layer_surface_v1_add_listener(layer_surface, &listener, this);
    if (globals.viewporter != nullptr && globals.fractional_scale_manager != nullptr) {
        static const wp_fractional_scale_v1_listener scale_listener = {
            .preferred_scale = &wayland_output::on_preferred_scale,
        };
        viewport = wp_viewporter_get_viewport(globals.viewporter, wl_surface_);
        fractional_scale = wp_fractional_scale_manager_v1_get_fractional_scale(
            globals.fractional_scale_manager, wl_surface_);
        wp_fractional_scale_v1_add_listener(fractional_scale, &scale_listener, this);
    }
    // A size of 0 on both axes with all edges anchored: the compositor gives the output's.
    zwlr_layer_surface_v1_set_size(layer_surface, 0, 0);
    zwlr_layer_surface_v1_set_anchor(layer_surface, all_edges);
    zwlr_layer_surface_v1_set_exclusive_zone(layer_surface, ignore_exclusive_zones);
    zwlr_layer_surface_v1_set_keyboard_interactivity(
        layer_surface, saver ? ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_EXCLUSIVE
                             : ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_NONE);
    wl_surface_commit(wl_surface_);
}

void wayland_output::on_configure(void* data, zwlr_layer_surface_v1* layer_surface,
                                  std::uint32_t serial, std::uint32_t width, std::uint32_t height) {
    zwlr_layer_surface_v1_ack_configure(layer_surface, serial);
    auto& self = *static_cast<wayland_output*>(data);
    self.logical_width = static_cast<std::int32_t>(width);
    self.logical_height = static_cast<std::int32_t>(height);
    self.resize();
}

void wayland_output::on_mode(void* data, wl_output*, std::uint32_t flags, std::int32_t,
                             std::int32_t, std::int32_t refresh) {
    // Millihertz; 0 where the output cannot tell.
    if ((flags & WL_OUTPUT_MODE_CURRENT) != 0 && refresh > 0) {
        static_cast<wayland_output*>(data)->display_period =
            paced_ticks_per_second * 1000 / refresh;
    }
}

void wayland_output::on_scale(void* data, wl_output*, std::int32_t factor) {
    auto& self = *static_cast<wayland_output*>(data);
    // Surfaces of an older compositor cannot say that their buffer is scaled.
    if (wl_proxy_get_version(reinterpret_cast<wl_proxy*>(self.globals.compositor)) >=
        buffer_scale_since) {
        self.pending_scale = factor;
    }
}

void wayland_output::on_done(void* data, wl_output*) {
    auto& self = *static_cast<wayland_output*>(data);
    if (self.pending_scale == self.scale || self.pending_scale < 1) {
        return;
    }
    self.scale = self.pending_scale;
    self.resize();
}

void wayland_output::on_preferred_scale(void* data, wp_fractional_scale_v1*, std::uint32_t scale) {
    auto& self = *static_cast<wayland_output*>(data);
    if (scale == 0 || scale == self.preferred_scale) {
        return;
    }
    self.preferred_scale = scale;
    self.resize();
}

void wayland_output::on_closed(void* data, zwlr_layer_surface_v1*) {
    static_cast<wayland_output*>(data)->was_closed = true;
}

void wayland_output::resize() {
    // The output's whole-number scale until the compositor says which fractional scale it
    // prefers for the surface.
    const bool fractional = preferred_scale != 0;
    const std::int32_t new_width =
        fractional ? scaled_length(logical_width, preferred_scale) : logical_width * scale;
    const std::int32_t new_height =
        fractional ? scaled_length(logical_height, preferred_scale) : logical_height * scale;
    const double new_scale =
        fractional ? static_cast<double>(preferred_scale) / fractional_scale_denominator : scale;
    if (new_width <= 0 || new_height <= 0 || !gl_failure.empty()) {
        return;
    }
    // Even where the pixels stay (scale 2 becoming 240/120), the buffer scale and the
    // viewport may change.
    surface_scale_due = true;
    if (new_width == width && new_height == height && new_scale == pixel_scale) {
        return;
    }
    auto take_size = [&] {
        width = new_width;
        height = new_height;
        pixel_scale = new_scale;
    };
    if (!frames) {
        take_size();
        gl_failure = start_gl(width, height);
        return;
    }
    // The output changed its size or its scale: the next buffer takes the new size, and the
    // scene lays its roses and its projection out again. The size is kept only once the
    // layout has it: after a failed eglMakeCurrent the next configure tries again, rather than
    // find nothing changed.
    wl_egl_window_resize(egl_window, new_width, new_height, 0, 0);
    if (!make_current()) {
        return;
    }
    take_size();
    samples.resize(width, height);
    lay_out();
}

std::string wayland_output::start_gl(std::int32_t first_width, std::int32_t first_height) {
    const EGLDisplay display = globals.egl.display;
    egl_window = wl_egl_window_create(wl_surface_, first_width, first_height);
    if (egl_window == nullptr) {
        return "wl_egl_window_create failed";
    }
    egl_surface = eglCreatePlatformWindowSurface(display, globals.egl.config, egl_window, nullptr);
    if (egl_surface == EGL_NO_SURFACE) {
        return egl_failure("eglCreatePlatformWindowSurface");
    }
    if (std::string failure = create_egl_context(globals.egl, context); !failure.empty()) {
        return failure;
    }
    if (!make_current()) {
        return egl_failure("eglMakeCurrent");
    }
    // EGL's own wait for the frame callback would block this surface's swap for as long
    // as the compositor does not show it (a background under full-screen windows, a screen
    // switched off), and with it every other output and the steps. The host asks for the
    // callbacks itself, polls them all on the one socket, and swaps only a surface whose
    // callback has come, so the swap never waits.
    eglSwapInterval(display, 0);
    // Frames come at the compositor's callbacks: the clock only says which of them to use.
    renderer = gl_renderer_name();
    frames = std::make_unique<frame_step>(true, paced_ticks(step_period), pacing());
    frames->start(paced_ticks(paced_clock::now()));
    samples.create(choose_samples(globals.samples, renderer), first_width, first_height);
    lay_out();
    return {};
}

frame_pacing wayland_output::pacing() const {
    // Frames come at the compositor's callbacks: the clock only says which of them to use.
    return choose_pacing(globals.max_fps, renderer, paced_ticks_per_second, 0.0,
                         globals.saving_fps);
}

void wayland_output::follow_pacing() {
    if (frames) {
        frames->set_pacing(pacing());
    }
}

void wayland_output::lay_out() {
    // The buffer has the output's pixels, so the strips widen by the output's scale.
    frames->lay_out({}, {width, height, pixel_scale});
}

bool wayland_output::make_current() {
    return eglMakeCurrent(globals.egl.display, egl_surface, egl_surface, context) == EGL_TRUE;
}

std::optional<std::int64_t> wayland_output::run_due(std::int64_t now) {
    if (!frames) {
        return std::nullopt;
    }
    // The compositor asked for a frame: one drawn now shows at its next one.
    const bool asked = !was_closed && frame_callback == nullptr;
    // Made current and asked how old its buffer is only for a frame that is due.
    EGLint age = 0;
    const frame_step::buffer_age buffer = [&]() -> std::optional<int> {
        if (!make_current()) {
            return std::nullopt;
        }
        if (globals.buffer_age) {
            eglQuerySurface(globals.egl.display, egl_surface, EGL_BUFFER_AGE_EXT, &age);
        }
        // The samples' buffer keeps each frame until the next.
        return samples.active() ? 1 : age;
    };
    const frame_step::woken woke = frames->wake(
        now, [asked] { return asked; }, buffer);
    const frame_clock& clock = frames->clock();
    // The next frame comes with the compositor's callback, not with a wake of ours.
    std::int64_t wake = clock.next_step();
    if (!asked || woke.f) {
        if (woke.drawn) {
            present(*woke.changed, age);
        }
        return wake;
    }
    // A frame not due yet is asked for again a display frame before it is, rather than
    // dropped until the next step, so that a cap below the display's rate still draws between
    // the steps.
    if (const auto due = clock.next_frame(); due && !clock.pacing().once_a_step) {
        if (now >= *due - display_period) {
            // The request alone, on the buffer shown already.
            ask_for_frame();
            wl_surface_commit(wl_surface_);
        } else {
            wake = std::min(wake, *due - display_period);
        }
    }
    return wake;
}

void wayland_output::on_frame(void* data, wl_callback* callback, std::uint32_t) {
    auto& self = *static_cast<wayland_output*>(data);
    wl_callback_destroy(callback);
    self.frame_callback = nullptr;
}

void wayland_output::ask_for_frame() {
    static const wl_callback_listener listener = {.done = &wayland_output::on_frame};
    frame_callback = wl_surface_frame(wl_surface_);
    wl_callback_add_listener(frame_callback, &listener, this);
}

void wayland_output::set_surface_scale() {
    // At a fractional scale the buffer's pixels are the output's own: a buffer scale of 1,
    // and the viewport shows the buffer at the surface's size.
    const bool fractional = preferred_scale != 0;
    const std::int32_t wanted = fractional ? 1 : scale;
    if (wanted != buffer_scale) {
        wl_surface_set_buffer_scale(wl_surface_, wanted);
        buffer_scale = wanted;
    }
    if (fractional) {
        wp_viewport_set_destination(viewport, logical_width, logical_height);
    }
}

void wayland_output::present(const std::vector<pixel_box>& changed, EGLint age) {
    // The surface's own buffer takes what changed where it holds the frame before, and all of
    // it otherwise.
    if (age == 1) {
        samples.resolve(changed);
    } else {
        samples.resolve();
    }
    if (surface_scale_due) {
        // Goes with the first buffer of the new size, which this swap commits.
        set_surface_scale();
        surface_scale_due = false;
    }
    // Asked before the swap, so that the swap's commit carries the request.
    ask_for_frame();
    if (globals.swap_with_damage != nullptr) {
        // Boxes as x, y, width and height from the bottom-left corner, as GL counts; one
        // empty box says that nothing changed, where none would mean all.
        std::vector<EGLint> boxes;
        for (const pixel_box& box : changed) {
            boxes.insert(boxes.end(),
                         {box.left, box.bottom, box.right - box.left, box.top - box.bottom});
        }
        if (boxes.empty()) {
            boxes.assign(4, 0);
        }
        globals.swap_with_damage(globals.egl.display, egl_surface, boxes.data(),
                                 static_cast<EGLint>(boxes.size() / 4));
    } else {
        eglSwapBuffers(globals.egl.display, egl_surface);
    }
    if (globals.log_frames) {
        log_frame(width, height, pixel_scale, frames->steps());
    }
}

} // namespace roses
