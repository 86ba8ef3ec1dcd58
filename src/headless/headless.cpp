#include "headless/headless.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "display/gl_headers.h"
#include "events/recorded_run.h"
#include "gl_context/egl_pbuffer_context.h"
#include "gl_context/multisample_buffer.h"
#include "headless/options.h"
#include "headless/output_file.h"
#include "headless/png_file.h"
#include "options/command_line.h"
#include "options/option_table.h"
#include "run_loop/signal_handling.h"
#include "scene/frame_clock.h"

namespace roses {
namespace {

constexpr const char* default_png = "roses.png";

// The one line for an output that cannot be written: what, where and the system's reason.
int cannot_write(const std::string& what, const std::string& path, const std::string& reason) {
    return complain(exit_environment, "cannot write " + what + " " + path + ": " + reason);
}

std::string frame_path(const std::string& dir, std::int64_t step) {
    char name[32];
    std::snprintf(name, sizeof name, "%05lld.png", static_cast<long long>(step));
    return (std::filesystem::path(dir) / name).string();
}

// Writes the picture last drawn, resolved from its samples; returns an empty string or why
// not.
[[nodiscard]] std::string write_picture(output_file& file, const egl_pbuffer_context& gl,
                                        const multisample_buffer& samples) {
    samples.resolve();
    std::vector<std::uint8_t> png;
    if (std::string failure = encode_png(gl.width(), gl.height(), gl.read_rgb(), png);
        !failure.empty()) {
        return failure;
    }
    return file.write(png.data(), png.size());
}

[[nodiscard]] std::string write_frame(const std::string& path, const egl_pbuffer_context& gl,
                                      const multisample_buffer& samples) {
    output_file file;
    std::string failure = file.open(path);
    if (failure.empty()) {
        failure = write_picture(file, gl, samples);
    }
    return failure.empty() ? file.finish() : failure;
}

// Renders and writes the outputs; returns the exit code. A stop signal ends the run early:
// stopped_by tells which, and every output not yet in place is gone once this returns.
int render(headless_options options, int stop_fd, int& stopped_by) {
    if (options.png.empty() && options.frames_dir.empty()) {
        options.png = default_png;
    }

    // Every output is opened or checked before rendering, so that a bad path costs no
    // rendering time. Each is written under a temporary name and put in place only when
    // the whole run has succeeded.
    output_file png;
    if (!options.png.empty()) {
        if (std::string reason = png.open(options.png); !reason.empty()) {
            return cannot_write("the picture", options.png, reason);
        }
    }
    output_file events_file;
    if (!options.events.empty()) {
        if (std::string reason = events_file.open(options.events); !reason.empty()) {
            return cannot_write("the events file", options.events, reason);
        }
    }
    if (!options.frames_dir.empty()) {
        std::error_code error;
        std::filesystem::create_directories(options.frames_dir, error);
        std::string reason = error ? error.message() : std::string();
        if (reason.empty()) {
            // A trial file finds a folder that cannot be written before the first frame.
            output_file trial;
            reason = trial.open(frame_path(options.frames_dir, options.every));
        }
        if (!reason.empty()) {
            return cannot_write("frames into", options.frames_dir, reason);
        }
    }

    egl_pbuffer_context gl;
    if (!gl.create(options.width, options.height)) {
        return complain(exit_environment, "cannot render without a display: " + gl.error());
    }
    // Made before the scenes are laid out, so that their first clear is of the samples.
    multisample_buffer samples;
    samples.create(options.samples, options.width, options.height);

    // Every monitor of the picture has the one scale of the command line. Simulated time in
    // ticks of 1 / (20 fps) s: the steps are fps ticks apart and the frames 20, so both fall
    // on whole ticks and every frame's f comes out exact.
    recorded_run run(events_file.stream(), options.seed, options.monitors,
                     {options.width, options.height, options.scale}, options.fps,
                     {.once_a_step = false, .frame_period = 0});
    const std::int64_t frame_ticks = steps_per_second;
    std::int64_t next_frame = frame_ticks;
    bool at_step = true;
    for (;;) {
        const std::int64_t now = std::min(next_frame, run.next_step());
        // A frame at the very tick a step falls due shows the step before it whole (f = 1),
        // the frame a once-a-step host draws; then comes the step. So the renderer takes the
        // frame step's two halves in that order, where a display host's wake steps first.
        if (now == next_frame) {
            next_frame += frame_ticks;
            if (const auto f = run.take_frame(now)) {
                at_step = *f >= 1.0;
                const std::int64_t number = now / frame_ticks;
                if (!options.frames_dir.empty() && number % options.every == 0) {
                    glFinish();
                    const std::string path = frame_path(options.frames_dir, number);
                    if (std::string reason = write_frame(path, gl, samples); !reason.empty()) {
                        return cannot_write("the frame", path, reason);
                    }
                }
            }
        }
        if (now == run.next_step()) {
            if (run.steps() == options.frames) {
                break;
            }
            if ((stopped_by = take_stop_signal(stop_fd)) != 0) {
                return exit_environment;
            }
            run.take_step(now);
            if (run.write_error() != 0) {
                return cannot_write("the events file", options.events,
                                    system_reason(run.write_error()));
            }
            at_step = false;
        }
    }
    // The picture is the last step's own frame, whatever the frames between showed.
    if (!at_step) {
        run.draw(1.0);
    }
    glFinish();
    if ((stopped_by = take_stop_signal(stop_fd)) != 0) {
        return exit_environment;
    }

    // Both files are whole before either replaces what their paths held.
    if (png.is_open()) {
        if (std::string reason = write_picture(png, gl, samples); !reason.empty()) {
            return cannot_write("the picture", options.png, reason);
        }
        if (std::string reason = png.close(); !reason.empty()) {
            return cannot_write("the picture", options.png, reason);
        }
    }
    if (events_file.is_open()) {
        std::string reason =
            run.write_error() != 0 ? system_reason(run.write_error()) : events_file.close();
        if (!reason.empty()) {
            return cannot_write("the events file", options.events, reason);
        }
    }
    if (std::string reason = events_file.finish(); !reason.empty()) {
        return cannot_write("the events file", options.events, reason);
    }
    if (std::string reason = png.finish(); !reason.empty()) {
        return cannot_write("the picture", options.png, reason);
    }
    if (!options.png.empty()) {
        std::printf("roses: wrote %s (%dx%d, %lld frames)\n",
                    std::filesystem::absolute(options.png).string().c_str(), options.width,
                    options.height, static_cast<long long>(options.frames));
    }
    if (!options.frames_dir.empty()) {
        std::printf(
            "roses: wrote %lld pictures into %s\n",
            static_cast<long long>(frames_in_steps(options.frames, options.fps) / options.every),
            std::filesystem::absolute(options.frames_dir).string().c_str());
    }
    return exit_ok;
}

} // namespace

int headless_main(int argc, char** argv) {
    const auto parsed = parse_headless_options(argc, argv);
    if (const auto settled = settle_command_line(parsed, options::headless_command_line)) {
        return *settled;
    }
    // SIGTERM and SIGINT are read between frames, so that a stopped run removes its
    // temporary files before it ends the way the signal ends a process.
    int stopped_by = 0;
    const int code =
        with_stop_signals([&](int stop_fd) { return render(parsed.options, stop_fd, stopped_by); });
    if (stopped_by != 0) {
        end_by_signal(stopped_by);
    }
    return code;
}

} // namespace roses
