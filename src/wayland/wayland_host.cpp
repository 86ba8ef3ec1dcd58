// The Wayland host: one layer-shell surface per output, each with its own scene and frame
// clock, and the paced loop of the Linux hosts on the compositor's socket: every output's
// scene steps whether or not it is seen, and each output is drawn when its clock says and the
// compositor has asked it for a frame.
#include "wayland/wayland_host.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <poll.h>
#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "events/frame_log.h"
#include "gl_context/gl_driver.h"
#include "options/command_line.h"
#include "options/option_table.h"
#include "power/power_watch.h"
#include "random/random.h"
#include "run_loop/paced_loop.h"
#include "run_loop/signal_handling.h"
#include "wayland/layer_shell.h"
#include "wayland/wayland_input.h"
#include "wayland/wayland_options.h"
#include "wayland/wayland_output.h"

namespace roses {
namespace {

// The newest versions of the globals whose requests and events this host knows.
constexpr std::uint32_t compositor_version = 4;
constexpr std::uint32_t layer_shell_version = 4;
constexpr std::uint32_t output_version = 3;
constexpr std::uint32_t seat_version = 5;
constexpr std::uint32_t viewporter_version = 1;
constexpr std::uint32_t fractional_scale_version = 1;
constexpr std::uint32_t layer_shell_destroy_since = 3;

std::string display_name() {
    const char* name = std::getenv("WAYLAND_DISPLAY");
    return name != nullptr && *name != '\0' ? name : "from WAYLAND_SOCKET";
}

bool has_display() {
    for (const char* variable : {"WAYLAND_DISPLAY", "WAYLAND_SOCKET"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0') {
            return true;
        }
    }
    return false;
}

class wayland_client {
  public:
    explicit wayland_client(const wayland_options& options) : power(options.battery_fps) {
        globals.layer = options.layer;
        globals.max_fps = options.max_fps;
        globals.samples = options.samples;
        globals.log_frames = frame_log_wanted();
    }
    ~wayland_client();
    wayland_client(const wayland_client&) = delete;
    wayland_client& operator=(const wayland_client&) = delete;

    // Connects, finds the globals and sets EGL up; one line on failure.
    [[nodiscard]] std::string connect();
    // Draws until a stop signal or, for the saver, the user; one line on failure.
    [[nodiscard]] std::string run(int stop_fd);

  private:
    static void on_global(void* data, wl_registry* registry, std::uint32_t name,
                          const char* interface, std::uint32_t version);
    static void on_global_remove(void* data, wl_registry* registry, std::uint32_t name);
    // Steps and draws every output as its clock says; answers when the next is due.
    paced_clock::time_point run_due(paced_clock::time_point now);
    bool user_came_back() const;
    // Drops the outputs the compositor took away; says why an output could not draw.
    [[nodiscard]] std::string settle_outputs();
    // The loop's steps: false ends the loop, with the reason in failure when it failed.
    bool handle_events();
    bool flush_before_wait();
    bool read_after_wait(short revents);

    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    wayland_globals globals;
    // Outputs announced before the layer shell and EGL were known get their surface then.
    bool ready = false;
    std::vector<std::unique_ptr<wayland_output>> outputs;
    std::vector<std::unique_ptr<wayland_input>> inputs;
    power_watch power;
    std::string failure;
    // The stop signals' descriptor while the loop runs.
    int stop_fd = -1;
};

constexpr const char* lost_connection = "lost the connection to the Wayland compositor";

wayland_client::~wayland_client() {
    outputs.clear();
    inputs.clear();
    if (globals.fractional_scale_manager != nullptr) {
        wp_fractional_scale_manager_v1_destroy(globals.fractional_scale_manager);
    }
    if (globals.viewporter != nullptr) {
        wp_viewporter_destroy(globals.viewporter);
    }
    if (globals.layer_shell != nullptr) {
        if (globals.layer_shell_version >= layer_shell_destroy_since) {
            zwlr_layer_shell_v1_destroy(globals.layer_shell);
        } else {
            wl_proxy_destroy(reinterpret_cast<wl_proxy*>(globals.layer_shell));
        }
    }
    if (globals.compositor != nullptr) {
        wl_compositor_destroy(globals.compositor);
    }
    if (registry != nullptr) {
        wl_registry_destroy(registry);
    }
    if (display != nullptr) {
        wl_display_flush(display);
    }
    // The connection and EGL's display on it stay until the process ends: terminating EGL
    // unloads the driver, which then leaves memory behind that nothing can free, and EGL's
    // side of the connection must not outlive the connection.
    keep_until_exit(display);
}

void wayland_client::on_global(void* data, wl_registry* registry, std::uint32_t name,
                               const char* interface, std::uint32_t version) {
    auto& client = *static_cast<wayland_client*>(data);
    auto bind = [&](const wl_interface& wanted, std::uint32_t newest) {
        return wl_registry_bind(registry, name, &wanted, std::min(version, newest));
    };
    const std::string_view offered = interface;
    if (offered == wl_compositor_interface.name && client.globals.compositor == nullptr) {
        client.globals.compositor =
            static_cast<wl_compositor*>(bind(wl_compositor_interface, compositor_version));
    } else if (offered == zwlr_layer_shell_v1_interface.name &&
               client.globals.layer_shell == nullptr) {
        client.globals.layer_shell_version = std::min(version, layer_shell_version);
        client.globals.layer_shell = static_cast<zwlr_layer_shell_v1*>(
            bind(zwlr_layer_shell_v1_interface, layer_shell_version));
    } else if (offered == wp_viewporter_interface.name && client.globals.viewporter == nullptr) {
        client.globals.viewporter =
            static_cast<wp_viewporter*>(bind(wp_viewporter_interface, viewporter_version));
    } else if (offered == wp_fractional_scale_manager_v1_interface.name &&
               client.globals.fractional_scale_manager == nullptr) {
        client.globals.fractional_scale_manager = static_cast<wp_fractional_scale_manager_v1*>(
            bind(wp_fractional_scale_manager_v1_interface, fractional_scale_version));
    } else if (offered == wl_output_interface.name) {
        auto* output = static_cast<wl_output*>(bind(wl_output_interface, output_version));
        client.outputs.push_back(std::make_unique<wayland_output>(
            client.globals, name, output, std::min(version, output_version)));
        if (client.ready) {
            client.outputs.back()->create_surface();
        }
    } else if (offered == wl_seat_interface.name && client.globals.layer == wayland_layer::saver) {
        // The background never listens to input: it belongs to the windows above it.
        auto* seat = static_cast<wl_seat*>(bind(wl_seat_interface, seat_version));
        client.inputs.push_back(
            std::make_unique<wayland_input>(seat, std::min(version, seat_version), name));
    }
}

void wayland_client::on_global_remove(void* data, wl_registry*, std::uint32_t name) {
    auto& client = *static_cast<wayland_client*>(data);
    std::erase_if(client.outputs, [name](const auto& output) { return output->name() == name; });
    std::erase_if(client.inputs, [name](const auto& input) { return input->name() == name; });
}

std::string wayland_client::connect() {
    display = wl_display_connect(nullptr);
    if (display == nullptr) {
        return "cannot connect to the Wayland display \"" + display_name() +
               "\": " + std::strerror(errno);
    }
    static const wl_registry_listener listener = {
        .global = &wayland_client::on_global,
        .global_remove = &wayland_client::on_global_remove,
    };
    registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &listener, this);
    if (wl_display_roundtrip(display) < 0) {
        return "the Wayland compositor closed the connection";
    }
    if (globals.compositor == nullptr) {
        return "the Wayland compositor offers no wl_compositor";
    }
    if (globals.layer_shell == nullptr) {
        return "the Wayland compositor does not offer the layer-shell protocol "
               "(zwlr_layer_shell_v1), which wlroots-based compositors and KWin have";
    }
    // No alpha: the compositor would otherwise let the desktop show through the black.
    if (std::string failure =
            open_egl_display(EGL_PLATFORM_WAYLAND_KHR, display, EGL_WINDOW_BIT, 0, globals.egl);
        !failure.empty()) {
        return "EGL on Wayland: " + failure;
    }
    find_damage_extensions(globals);
    ready = true;
    for (auto& output : outputs) {
        output->create_surface();
    }
    return {};
}

bool wayland_client::user_came_back() const {
    return std::any_of(inputs.begin(), inputs.end(),
                       [](const auto& input) { return input->ended(); });
}

std::string wayland_client::settle_outputs() {
    std::erase_if(outputs, [](const auto& output) { return output->closed(); });
    for (const auto& output : outputs) {
        if (!output->failure().empty()) {
            return "EGL on Wayland: " + output->failure();
        }
    }
    return {};
}

paced_clock::time_point wayland_client::run_due(paced_clock::time_point time) {
    const std::int64_t now = paced_ticks(time);
    // The loop wakes at every step at least, which is soon enough for a change of power.
    if (power.update()) {
        globals.saving_fps = power.cap();
        for (auto& output : outputs) {
            output->follow_pacing();
        }
    }
    // Nothing to step or draw before an output has its scene: wake for events only, or a
    // step from now at the latest.
    std::int64_t wake = now + paced_ticks(step_period);
    for (auto& output : outputs) {
        if (const auto due = output->run_due(now)) {
            wake = std::min(wake, *due);
        }
    }
    return paced_time(std::max(wake, now));
}

bool wayland_client::handle_events() {
    // Events that an earlier read queued (the driver reads the socket while it swaps).
    if (failure.empty() && wl_display_dispatch_pending(display) < 0) {
        failure = lost_connection;
    }
    if (failure.empty()) {
        failure = settle_outputs();
    }
    return failure.empty() && !user_came_back();
}

bool wayland_client::flush_before_wait() {
    if (wl_display_prepare_read(display) != 0) {
        return false; // more events were queued meanwhile: dispatch them first
    }
    // A full socket takes the rest once the compositor has read some: wait for that rather
    // than sleep with requests unsent, which would leave a frame half committed. A stop
    // signal ends the wait, and the loop then ends.
    while (wl_display_flush(display) < 0) {
        if (errno != EAGAIN) {
            wl_display_cancel_read(display);
            failure = lost_connection;
            return false;
        }
        pollfd waits[2] = {{wl_display_get_fd(display), POLLOUT, 0}, {stop_fd, POLLIN, 0}};
        if (poll(waits, 2, -1) < 0 && errno != EINTR) {
            wl_display_cancel_read(display);
            failure = lost_connection;
            return false;
        }
        if ((waits[1].revents & POLLIN) != 0) {
            break;
        }
    }
    return true;
}

bool wayland_client::read_after_wait(short revents) {
    if ((revents & POLLIN) != 0) {
        if (wl_display_read_events(display) < 0) {
            failure = lost_connection;
        }
    } else {
        wl_display_cancel_read(display);
        if ((revents & (POLLERR | POLLHUP)) != 0) {
            failure = lost_connection;
        }
    }
    return failure.empty();
}

std::string wayland_client::run(int stop) {
    stop_fd = stop;
    paced_loop_steps steps;
    steps.handle_events = [this] { return handle_events(); };
    steps.run_due = [this](paced_clock::time_point now) { return run_due(now); };
    steps.before_wait = [this] { return flush_before_wait(); };
    steps.after_wait = [this](short revents) { return read_after_wait(revents); };
    run_paced_loop(wl_display_get_fd(display), stop_fd, steps);
    return failure;
}

} // namespace

int wayland_main(int argc, char** argv) {
    const auto parsed = parse_wayland_options(argc, argv);
    if (const auto settled = settle_command_line(parsed, options::wayland_command_line)) {
        return *settled;
    }
    const wayland_options& options = parsed.options;
    if (!has_display()) {
        return complain(exit_environment,
                        "no Wayland display: WAYLAND_DISPLAY is not set (is a compositor "
                        "running?)");
    }
    draw_on_calling_thread();
    if (options.seed) {
        reseed_random(*options.seed);
    }
    return with_stop_signals([&options](int stop_fd) {
        std::string failure;
        {
            wayland_client client(options);
            failure = client.connect();
            if (failure.empty()) {
                failure = client.run(stop_fd);
            }
        }
        return failure.empty() ? exit_ok : complain(exit_environment, failure);
    });
}

} // namespace roses
