#include "headless/headless.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <unistd.h>

#include "display/gl_headers.h"
#include "egl/egl_context.h"
#include "headless/events_log.h"
#include "headless/options.h"
#include "headless/png_file.h"
#include "random/random.h"
#include "scene/frame.h"
#include "scene/saver_scene.h"

namespace roses {
namespace {

constexpr int exit_ok = 0;
constexpr int exit_failure = 1;
constexpr int exit_usage = 2;
constexpr const char* default_png = "roses.png";

struct file_closer {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using file_handle = std::unique_ptr<std::FILE, file_closer>;

int complain(int code, const std::string& line) {
    std::fprintf(stderr, "roses: %s\n", line.c_str());
    return code;
}

std::string frame_path(const std::string& dir, std::int64_t step) {
    char name[32];
    std::snprintf(name, sizeof name, "%05lld.png", static_cast<long long>(step));
    return (std::filesystem::path(dir) / name).string();
}

std::string write_png_to(const std::string& path, const egl_context& gl) {
    file_handle file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        return "cannot write " + path;
    }
    const std::string failure = write_png(file.get(), gl.width(), gl.height(), gl.read_rgb());
    if (!failure.empty()) {
        return path + ": " + failure;
    }
    if (std::fclose(file.release()) != 0) {
        return "cannot write " + path;
    }
    return {};
}

} // namespace

int headless_main(int argc, char** argv) {
    headless_options options;
    const std::string bad = parse_headless_options(argc, argv, options);
    if (!bad.empty()) {
        return complain(exit_usage, bad);
    }
    if (options.help) {
        std::fputs(headless_usage, stdout);
        return exit_ok;
    }
    if (options.png.empty() && options.frames_dir.empty()) {
        options.png = default_png;
    }

    // Every output is opened or checked before rendering, so that a bad path costs no
    // rendering time.
    file_handle png;
    if (!options.png.empty()) {
        png.reset(std::fopen(options.png.c_str(), "wb"));
        if (!png) {
            return complain(exit_usage, "cannot write the picture " + options.png);
        }
    }
    file_handle events_file;
    if (!options.events.empty()) {
        events_file.reset(std::fopen(options.events.c_str(), "w"));
        if (!events_file) {
            return complain(exit_usage, "cannot write the events file " + options.events);
        }
    }
    if (!options.frames_dir.empty()) {
        std::error_code error;
        std::filesystem::create_directories(options.frames_dir, error);
        if (!std::filesystem::is_directory(options.frames_dir, error) ||
            access(options.frames_dir.c_str(), W_OK) != 0) {
            return complain(exit_usage, "cannot write frames into " + options.frames_dir);
        }
    }

    if (options.seed) {
        reseed_random(*options.seed);
    }
    egl_context gl;
    if (!gl.create(options.width, options.height)) {
        // Leave no empty files behind for a run that never rendered.
        std::error_code ignored;
        if (png) {
            png.reset();
            std::filesystem::remove(options.png, ignored);
        }
        if (events_file) {
            events_file.reset();
            std::filesystem::remove(options.events, ignored);
        }
        return complain(exit_failure, "cannot render without a display: " + gl.error());
    }

    events_log events(events_file.get());
    saver_scene scene(false);
    scene.garden.on_event = [&events](const garden_event& event) { events.record(event); };
    set_projection(scene, options.width, options.height);
    events.start(random_seed(), options.width, options.height,
                 projection_for(options.width, options.height));

    // Simulated time: each 50 ms step is one worker tick, then one frame.
    for (std::int64_t step = 1; step <= options.frames; ++step) {
        events.step = step;
        scene.garden.tick();
        render_frame(scene);
        if (!options.frames_dir.empty() && step % options.every == 0) {
            glFinish();
            const std::string failure = write_png_to(frame_path(options.frames_dir, step), gl);
            if (!failure.empty()) {
                return complain(exit_failure, failure);
            }
        }
    }
    glFinish();

    if (events_file && (std::fflush(events_file.get()) != 0 || std::ferror(events_file.get()))) {
        return complain(exit_failure, "cannot write the events file " + options.events);
    }
    if (png) {
        const std::string failure =
            write_png(png.get(), options.width, options.height, gl.read_rgb());
        if (!failure.empty() || std::fclose(png.release()) != 0) {
            return complain(exit_failure,
                            options.png + ": " + (failure.empty() ? "cannot write" : failure));
        }
        std::printf("roses: wrote %s (%dx%d, %lld frames)\n",
                    std::filesystem::absolute(options.png).string().c_str(), options.width,
                    options.height, static_cast<long long>(options.frames));
    }
    if (!options.frames_dir.empty()) {
        std::printf("roses: wrote %lld pictures into %s\n",
                    static_cast<long long>(options.frames / options.every),
                    std::filesystem::absolute(options.frames_dir).string().c_str());
    }
    return exit_ok;
}

} // namespace roses
