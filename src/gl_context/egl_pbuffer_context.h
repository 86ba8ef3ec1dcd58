// An OpenGL context with no display: Mesa's surfaceless EGL platform, a pbuffer and the
// desktop (compatibility) OpenGL API, as the renderer and the GL tests need it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace roses {

class egl_pbuffer_context {
  public:
    egl_pbuffer_context() = default;
    // Releases the surface and the context; the display stays initialised until the
    // process ends, since terminating it unloads the driver early.
    ~egl_pbuffer_context();
    egl_pbuffer_context(const egl_pbuffer_context&) = delete;
    egl_pbuffer_context& operator=(const egl_pbuffer_context&) = delete;

    // Creates a width x height pbuffer and makes the context current on this thread.
    // On failure returns false and says why in error().
    [[nodiscard]] bool create(std::int32_t width, std::int32_t height);
    const std::string& error() const { return failure; }

    // The current picture as rows of RGB bytes, top row first.
    std::vector<std::uint8_t> read_rgb() const;

    std::int32_t width() const { return surface_width; }
    std::int32_t height() const { return surface_height; }

  private:
    void* display = nullptr;
    void* surface = nullptr;
    void* context = nullptr;
    std::int32_t surface_width = 0;
    std::int32_t surface_height = 0;
    std::string failure;
};

} // namespace roses
